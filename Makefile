# The two everyday commands are `make test` and `make demo`; see README.md.

BUILD    ?= build
CMAKE_OPTS ?=
JOBS     ?= 2

.PHONY: all build test demo bench fuzz coverage sanitize clean

all: build

build:
	cmake -S . -B $(BUILD) $(CMAKE_OPTS) >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

# Every unit test and every scenario under tests/scenarios/.
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# A walk through the module in the simulated server, with a transcript.
demo: build
	$(BUILD)/kestrom-sim examples/demo.scenario

# Google Benchmark figures (not part of `make test`).
bench:
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DKESTROM_BENCH=ON >/dev/null
	cmake --build $(BUILD)-bench -j$(JOBS) --target kestrom-bench
	$(BUILD)-bench/kestrom-bench $(BENCH_ARGS)

# The test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=$(BUILD)-asan CMAKE_OPTS="-DKESTROM_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug $(CMAKE_OPTS)"

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-bench $(BUILD)-fuzz $(BUILD)-coverage
