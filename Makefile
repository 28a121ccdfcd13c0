# Wrapper around CMake. `make` builds the program at build/kelo_filter.
BUILD_DIR ?= build
SAN_DIR   ?= build-san
FUZZ_DIR  ?= build-fuzz
# Seconds of fuzzing per target for `make fuzz` (0: replay the seeds only);
# FUZZ_TARGETS narrows the run to some targets (fuzz_numio ...).
FUZZ_SECONDS ?= 0
FUZZ_TARGETS ?=
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE     ?= cmake

.PHONY: all configure test test-san bench demo fuzz clean

all: configure
	$(CMAKE) --build $(BUILD_DIR) -j $(JOBS)

configure:
	$(CMAKE) -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DKELO_BUILD_TESTS=ON

test: all
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-san:
	$(CMAKE) -S . -B $(SAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELO_SANITIZE=ON -DKELO_BUILD_TESTS=ON
	$(CMAKE) --build $(SAN_DIR) -j $(JOBS)
	cd $(SAN_DIR) && ctest --output-on-failure -j $(JOBS)

bench:
	$(CMAKE) -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DKELO_BUILD_BENCH=ON
	$(CMAKE) --build $(BUILD_DIR) -j $(JOBS)
	@for b in $(BUILD_DIR)/bench/*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done

demo: all
	@if [ -x tools/demo.sh ]; then tools/demo.sh $(BUILD_DIR); \
	else echo "kelo_filter does not exist yet: nothing to demonstrate."; fi

# libFuzzer targets of tests/fuzz, built with clang in $(FUZZ_DIR).
fuzz:
	$(CMAKE) -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DKELO_FUZZ=ON -DKELO_BUILD_TESTS=OFF
	$(CMAKE) --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets
	tests/fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(FUZZ_DIR)
