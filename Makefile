# Entry points for people and CI. Everything goes through CMake with Ninja.
BUILD_DIR ?= build/release
JOBS ?= 2

.PHONY: deps configure build test clean

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

clean:
	rm -rf build

# Further targets (demo, sanitize, fuzz, bench) live in their own fragments.
-include mk/*.mk
