# Thin wrapper over CMake. `make test` and `make demo` install what is missing first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# make fuzz: seconds per target, and the targets (all when empty).
FUZZ_SECONDS ?= 180
FUZZ_TARGETS ?=
# make sanitize: the unit and widget tests again, with address and undefined-behaviour checks.
ASAN_DIR ?= $(BUILD_DIR)-asan
# The build's own progress lines stay; make's "Entering directory" lines for each of
# CMake's nested makes do not.
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build test demo package fuzz bench release clean format-check tidy sanitize

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) > $(BUILD_DIR).configure.log 2>&1 \
		|| (cat $(BUILD_DIR).configure.log; exit 1)

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The format first (seconds), the build, clang-tidy over src/ (it reads the build's
# compile commands), then every test (failing on any that skips: a skipped guard
# checks nothing), then the unit and widget tests again under the sanitizers.
test: format-check build tidy
	@scripts/run-tests.sh $(BUILD_DIR) $(JOBS)
	@$(MAKE) sanitize

# Every tracked C++ file as the repository's .clang-format lays it out.
format-check: deps
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror \
		&& echo "format-check: every tracked C++ file is formatted"

# The unit and widget tests once more, built with VT_SANITIZE=ON in $(ASAN_DIR)/.
# Only those tests and what they need are built (target vt_fast_tests).
sanitize: deps
	@cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DVT_SANITIZE=ON -DVT_BUILD_BENCH=OFF $(CMAKE_FLAGS) \
		> $(ASAN_DIR).configure.log 2>&1 || (cat $(ASAN_DIR).configure.log; exit 1)
	@cmake --build $(ASAN_DIR) -j $(JOBS) --target vt_fast_tests
	@cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS) -L '^(unit|gui)$$'

# clang-tidy with the repository's .clang-tidy over every source file of src/.
tidy: configure
	@run-clang-tidy -quiet -p $(BUILD_DIR) -j $(JOBS) '$(CURDIR)/src/.*\.cpp$$'

# The demo's build speaks only when it fails; the demo itself says where things are.
demo: configure
	@echo "demo: building (log in $(BUILD_DIR).build.log) ..."
	@cmake --build $(BUILD_DIR) -j $(JOBS) > $(BUILD_DIR).build.log 2>&1 \
		|| (tail -n 40 $(BUILD_DIR).build.log; echo "demo: the build failed; the whole log is $(BUILD_DIR).build.log"; exit 1)
	@scripts/demo.sh $(BUILD_DIR)

# build-rel/: the product in Release, its debug information split off into
# bin/VantobelPlayTray.debug; the demo stand-ins and benchmarks beside it, no tests.
release: deps
	@cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF $(CMAKE_FLAGS) > build-rel.configure.log 2>&1 \
		|| (cat build-rel.configure.log; exit 1)

# build-rel/vantobel-play-tray_<version>_<arch>.deb, from the Release build
package: release
	@cmake --build build-rel -j $(JOBS) --target package

# A separate clang build with libFuzzer and the sanitizers; make test needs none of it.
fuzz:
	@scripts/install-deps.sh fuzz
	@tests/fuzz/run.sh $(BUILD_DIR)-fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Release build in build-rel/: the store benchmark, then the tray against a bare Qt tray.
# BENCH_RUNS (7) starts of each program; BENCH_IDLE_SECONDS (20) of idle CPU per start.
bench: release
	@cmake --build build-rel -j $(JOBS) --target VantobelPlayTray bare-tray bench_store bench_messagebox vantobel-vendor-service xwatch
	@build-rel/bench/bench_store
	@build-rel/bench/bench_messagebox
	@bench/tray/bench-tray.sh build-rel

clean:
	rm -rf build-rel build-rel.configure.log $(BUILD_DIR) $(BUILD_DIR).configure.log $(BUILD_DIR).build.log \
		$(BUILD_DIR)-fuzz $(BUILD_DIR)-fuzz.configure.log $(ASAN_DIR) $(ASAN_DIR).configure.log
