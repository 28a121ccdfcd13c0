# Wrapper around CMake. `make` builds the program at build/kelo_filter.
BUILD_DIR ?= build
SAN_DIR   ?= build-san
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
	@for b in $(BUILD_DIR)/bench/*; do [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done

demo: all
	@if [ -x tools/demo.sh ]; then tools/demo.sh $(BUILD_DIR); \
	else echo "kelo_filter does not exist yet: nothing to demonstrate."; fi

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR)
