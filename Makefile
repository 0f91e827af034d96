# The two commands of the README, and the rest of the developer's loop.
#   make test   install what is missing, build with ASan/UBSan, run every test
#   make run    install what building and running need, build, start Glyptika
#   make install [PREFIX=/usr/local] [DESTDIR=]  Release build, installed under
#               $(DESTDIR)$(PREFIX): programs, manual pages, desktop entry, icon
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
PREFIX ?= /usr/local
DESTDIR ?=
# The developer's and CI's builds treat warnings as errors; a plain cmake does not.
WERROR := -DGLYPTIKA_WERROR=ON

.PHONY: all deps deps-run test build-test build-fuzz run build-release build-bench bench install \
	fuzz format format-fix clean

all: build-release

# Everything the tests, benchmarks and fuzzer need; deps-run only what
# building and running do.
deps:
	@scripts/install-deps test

deps-run:
	@scripts/install-deps run

build-test: deps
	@cmake -S . -B $(TEST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DGLYPTIKA_SANITIZE=ON -DGLYPTIKA_TESTS=ON $(WERROR) >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)

# The fuzz targets are built too, so that ctest runs each briefly (last, it prints the summary);
# so is the optimised build of make run and make bench, whose -O3 warnings the tests' build never sees.
test: build-test build-fuzz build-bench
	@cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

build-release: deps-run
	@cmake -S . -B $(REL_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DGLYPTIKA_TESTS=OFF -DGLYPTIKA_BENCH=OFF $(WERROR) >/dev/null
	@cmake --build $(REL_DIR) -j $(JOBS)

run: build-release
	@scripts/run $(REL_DIR)

install: build-release
	@DESTDIR="$(DESTDIR)" cmake --install $(REL_DIR) --prefix "$(PREFIX)"

# The same folder as the program's Release build, with the benchmarks added.
build-bench: deps
	@cmake -S . -B $(REL_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DGLYPTIKA_TESTS=OFF -DGLYPTIKA_BENCH=ON $(WERROR) >/dev/null
	@cmake --build $(REL_DIR) -j $(JOBS)

bench: build-bench
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
