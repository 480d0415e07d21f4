# Thin wrapper over CMake. `make test` and `make demo` install what is missing first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# make fuzz: seconds per target, and the targets (all when empty).
FUZZ_SECONDS ?= 180
FUZZ_TARGETS ?=

.PHONY: all deps configure build test demo package fuzz bench release clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) > $(BUILD_DIR).configure.log 2>&1 \
		|| (cat $(BUILD_DIR).configure.log; exit 1)

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Fails on any test that skips: a skipped guard checks nothing.
test: build
	@scripts/run-tests.sh $(BUILD_DIR) $(JOBS)

demo: build
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
	rm -rf build-rel build-rel.configure.log $(BUILD_DIR) $(BUILD_DIR).configure.log $(BUILD_DIR)-fuzz $(BUILD_DIR)-fuzz.configure.log
