# make sanitize: the whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (g++), run so that the first report of either aborts the test that triggered it. Tests that
# start the binary pass these settings on to it through the environment.
SANITIZE_DIR ?= build/sanitize

SANITIZE_ENV = \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1:print_stacktrace=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1 \
  UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
  LSAN_OPTIONS=print_suppressions=0

.PHONY: sanitize
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON
	$(SANITIZE_ENV) cmake --build $(SANITIZE_DIR) -j $(JOBS)
	$(SANITIZE_ENV) ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)
