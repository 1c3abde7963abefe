# make fuzz: builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer included) and runs each for FUZZ_SECONDS seconds. Any crash,
# leak, reproducible timeout or out-of-memory fails the run, after the remaining targets
# have had their turn. Corpora grow in $(FUZZ_DIR)/fuzz/work/<target>/corpus across runs;
# the inputs of findings land in .../artifacts.
#
#   make fuzz                        every target, 60 s each
#   make fuzz FUZZ_SECONDS=600       longer
#   make fuzz FUZZ_TARGETS="lrs bsp" some of them
FUZZ_DIR ?= build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++
FUZZ_PACKAGES ?= clang libclang-rt-14-dev
FUZZ_TARGETS ?=

.PHONY: fuzz fuzz-build
fuzz-build:
	./scripts/install-deps.sh $(FUZZ_PACKAGES)
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DQV_FUZZ=ON -DQV_BUILD_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)

fuzz: fuzz-build
	@targets="$(FUZZ_TARGETS)"; \
	if [ -z "$$targets" ]; then \
	  for t in $(FUZZ_DIR)/fuzz/fuzz_*; do targets="$$targets $${t##*/fuzz_}"; done; \
	fi; \
	failed=; \
	for name in $$targets; do \
	  sh fuzz/run-fuzzer.sh $(FUZZ_DIR)/fuzz/fuzz_$$name $(FUZZ_DIR)/fuzz/seeds/$$name \
	    $(FUZZ_DIR)/fuzz/work/$$name -seconds=$(FUZZ_SECONDS) || failed="$$failed $$name"; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzz: findings in:$$failed" >&2; exit 1; fi; \
	echo "fuzz: no findings"
