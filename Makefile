# The two commands of the README, and the rest of the developer's loop.
#   make test   install what is missing, build with ASan/UBSan, run every test
#   make run    install what is missing, build, start Glyptika
#   make bench  Release build of the benchmarks, run them
#   make fuzz SECONDS=N   run the fuzz targets for N seconds each
#   make format check the formatting (make format-fix rewrites it)

SHELL := /bin/bash
JOBS ?= $(shell nproc)
SECONDS ?= 60
TEST_DIR := build/test
REL_DIR := build/release
FUZZ_DIR := build/fuzz
CMAKE_GEN := -G Ninja
# The developer's and CI's builds treat warnings as errors; a plain cmake does not.
WERROR := -DGLYPTIKA_WERROR=ON

.PHONY: all deps test build-test build-fuzz run build-release bench fuzz format format-fix clean

all: build-release

deps:
	@scripts/install-deps

build-test: deps
	@cmake -S . -B $(TEST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DGLYPTIKA_SANITIZE=ON -DGLYPTIKA_TESTS=ON $(WERROR) >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)

# The fuzz targets are built too, so that ctest runs each briefly (last, it prints the summary).
test: build-test build-fuzz
	@cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

build-release: deps
	@cmake -S . -B $(REL_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DGLYPTIKA_TESTS=OFF -DGLYPTIKA_BENCH=ON $(WERROR) >/dev/null
	@cmake --build $(REL_DIR) -j $(JOBS)

run: build-release
	@scripts/run $(REL_DIR)

bench: build-release
	@scripts/run-bench $(REL_DIR)

build-fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link" \
	  -DGLYPTIKA_FUZZ=ON -DGLYPTIKA_TESTS=OFF $(WERROR) >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets

fuzz: build-fuzz
	@scripts/run-fuzz $(FUZZ_DIR) $(SECONDS)

FORMAT_FILES = $(shell git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'fuzz/*.cpp')
format:
	@clang-format --dry-run --Werror $(FORMAT_FILES)

format-fix:
	@clang-format -i $(FORMAT_FILES)

clean:
	rm -rf build
