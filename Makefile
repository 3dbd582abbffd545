# The everyday commands are `make test`, `make demo` and `make play`; see README.md.

BUILD    ?= build
CMAKE_OPTS ?=
JOBS     ?= 2

.PHONY: all build test demo play bench fuzz fuzz-run coverage memcheck sanitize clean

# Stops with one line naming the Debian package when TEST fails:
#     @$(call need,TEST,WHAT,PACKAGE)
need = $(1) >/dev/null 2>&1 || { echo "make $@ needs $(2): apt-get install $(3)"; exit 1; }

all: build

build:
	cmake -S . -B $(BUILD) $(CMAKE_OPTS) >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

# Every unit test and every scenario under tests/scenarios/.
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# A walk through the module in the simulated server, with a transcript.  It
# builds only the module and the simulator, quietly: the build's output goes
# to $(BUILD)/demo-build.log and is shown only when the build fails.
demo:
	@echo "== building the module and the simulator (output in $(BUILD)/demo-build.log)"
	@mkdir -p $(BUILD) && { cmake -S . -B $(BUILD) $(CMAKE_OPTS) && \
	    cmake --build $(BUILD) -j$(JOBS) --target kestrom-sim; } >$(BUILD)/demo-build.log 2>&1 || \
	    { cat $(BUILD)/demo-build.log; exit 1; }
	@$(BUILD)/kestrom-sim examples/demo.scenario

# The playground: the demo world in a browser (kestrom-sim --web).  It
# builds the simulator and the checker quietly (output in
# $(BUILD)/play-build.log), prints the page's URL and opens it when a
# browser can be opened here; Ctrl-C stops it.  It plays copies of the
# examples in $(BUILD)/play/, made once, so that edits in the page stay
# there and the examples stay as they are.
PLAY_PORT ?= 8017
play:
	@echo "== building the simulator and the checker (output in $(BUILD)/play-build.log)"
	@mkdir -p $(BUILD) && { cmake -S . -B $(BUILD) $(CMAKE_OPTS) && \
	    cmake --build $(BUILD) -j$(JOBS) --target kestrom-sim kestrom-check; } >$(BUILD)/play-build.log 2>&1 || \
	    { cat $(BUILD)/play-build.log; exit 1; }
	@if command -v xdg-open >/dev/null 2>&1 && [ -n "$${DISPLAY}$${WAYLAND_DISPLAY}" ]; then \
	    (sleep 1 && xdg-open http://127.0.0.1:$(PLAY_PORT)/ >/dev/null 2>&1) & \
	fi; \
	mkdir -p $(BUILD)/play && cp -n examples/*.scenario examples/*.params $(BUILD)/play/; \
	exec $(BUILD)/kestrom-sim --web --port $(PLAY_PORT) $(BUILD)/play/playground.scenario

# Google Benchmark figures (not part of `make test`).
bench:
	@$(call need,printf '#include <benchmark/benchmark.h>\n' | $${CXX:-c++} -E -x c++ -,Google Benchmark,libbenchmark-dev)
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DKESTROM_BENCH=ON $(CMAKE_OPTS) >/dev/null
	cmake --build $(BUILD)-bench -j$(JOBS) --target kestrom-bench
	$(BUILD)-bench/kestrom-bench $(BENCH_ARGS)

# The test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=$(BUILD)-asan CMAKE_OPTS="-DKESTROM_SANITIZE=address,undefined,float-cast-overflow -DCMAKE_BUILD_TYPE=Debug $(CMAKE_OPTS)"

# The libFuzzer targets, built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (LeakSanitizer comes with AddressSanitizer).
FUZZ_TARGETS = handle_message parameter_file
FUZZ_SECONDS ?= 60
FUZZ_BUILD = $(BUILD)-fuzz

fuzz:
	@$(call need,command -v clang++,clang,clang)
	@$(call need,test -f "$$(clang++ -print-file-name=libclang_rt.fuzzer-$$(uname -m).a)",the fuzzer runtime of clang,libclang-rt-$$(clang++ -dumpversion | cut -d. -f1)-dev)
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	      -DKESTROM_FUZZ=ON -DKESTROM_SANITIZE=address,undefined $(CMAKE_OPTS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(subst _,-,$(addprefix fuzz-,$(FUZZ_TARGETS)))

# Each target for FUZZ_SECONDS seconds, from the committed seeds; what it
# learns stays in $(FUZZ_BUILD)/corpus/, findings go to $(FUZZ_BUILD)/findings/.
# Copy a finding into fuzz/regressions/TARGET/ once it is fixed.
fuzz-run: fuzz
	@for t in $(FUZZ_TARGETS); do \
	    mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/findings/$$t && \
	    echo "== fuzz $$t for $(FUZZ_SECONDS) s" && \
	    $(FUZZ_BUILD)/fuzz-$$(echo $$t | tr _ -) -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	        -rss_limit_mb=2048 -print_final_stats=1 -dict=fuzz/kestrom.dict \
	        -artifact_prefix=$(FUZZ_BUILD)/findings/$$t/ $(FUZZ_ARGS) \
	        $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t $$(ls -d fuzz/regressions/$$t 2>/dev/null) \
	        2>$(FUZZ_BUILD)/findings/$$t.log || { tail -n 60 $(FUZZ_BUILD)/findings/$$t.log; exit 1; }; \
	    grep -E '^(stat::|Done|INFO: Seed)' $(FUZZ_BUILD)/findings/$$t.log || true; \
	done

# Every scenario under valgrind's memcheck; a module block still out after
# stop fails too.
memcheck:
	@$(call need,command -v valgrind,valgrind,valgrind)
	@$(MAKE) --no-print-directory build
	valgrind -q --leak-check=full --error-exitcode=1 $(BUILD)/kestrom-sim --quiet --check-leaks \
	    tests/scenarios/*.scenario tests/crowds/*.scenario examples/*.scenario

# Line and branch coverage of the module over the whole test suite; fails
# below 95% of lines or 85% of branches in any of the module's folders.
coverage:
	@$(call need,command -v gcovr,gcovr,gcovr)
	cmake -S . -B $(BUILD)-coverage -DKESTROM_COVERAGE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_OPTS) >/dev/null
	cmake --build $(BUILD)-coverage -j$(JOBS)
	find $(BUILD)-coverage -name '*.gcda' -delete
	cd $(BUILD)-coverage && ctest --output-on-failure -j$(JOBS)
	python3 tools/coverage_report.py $(BUILD)-coverage

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-bench $(BUILD)-fuzz $(BUILD)-coverage
