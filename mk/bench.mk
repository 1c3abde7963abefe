# make bench: builds the optimised binary with the benchmark programs, makes the benchmark
# worlds where they are absent (git-ignored, in bench-world/), then measures and prints one
# table, also written as JSON. The benchmark's extra packages (Abseil, libsquish) are installed
# here only; `make test` does not need them.
#
#   make bench                      everything, with the quarter and half worlds for scaling
#   make bench BENCH_SCALING=0      the full world only
#   make bench BENCH_RUNS=9         more rounds (at least 5 are advised on a shared machine)

BENCH_BUILD_DIR ?= build/bench
BENCH_WORLD ?= bench-world
BENCH_RUNS ?= 7
BENCH_MICRO_MIN_TIME ?= 0.2
BENCH_SCALING ?= 1
BENCH_JSON ?= $(BENCH_WORLD)/results.json

BENCH_GEN := $(BENCH_BUILD_DIR)/bench/qv-bench-world
BENCH_DRIVER := $(BENCH_BUILD_DIR)/bench/qv-bench
BENCH_TOOL := $(BENCH_BUILD_DIR)/quorvane-tools
BENCH_SCALES := full $(if $(filter 1,$(BENCH_SCALING)),quarter half)

.PHONY: bench bench-deps bench-build bench-worlds

bench-deps:
	./scripts/install-deps.sh libabsl-dev libsquish-dev

bench-build: bench-deps
	cmake -S . -B $(BENCH_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_BENCH=ON -DQV_BUILD_TESTS=OFF
	cmake --build $(BENCH_BUILD_DIR) -j $(JOBS)

# A world is whole once its manifest exists (the generator writes it last).
$(BENCH_WORLD)/%/world.txt: | bench-build
	$(BENCH_GEN) --out $(BENCH_WORLD)/$* --scale $*

bench-worlds: $(foreach s,$(BENCH_SCALES),$(BENCH_WORLD)/$(s)/world.txt)

bench: bench-build bench-worlds
	OMP_NUM_THREADS=1 $(BENCH_DRIVER) --world $(BENCH_WORLD)/full --tool $(BENCH_TOOL) \
	  --runs $(BENCH_RUNS) --micro-min-time $(BENCH_MICRO_MIN_TIME) --json $(BENCH_JSON) \
	  $(if $(filter 1,$(BENCH_SCALING)),--scaling $(BENCH_WORLD)/quarter$(,)$(BENCH_WORLD)/half)

, := ,
