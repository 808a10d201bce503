#!/bin/sh
# The test command: installs what is missing, builds, runs every test.
#   scripts/test.sh            format check, then the normal build in build/ with
#                              warnings as errors (-Wall -Wextra -Wshadow
#                              -Wnon-virtual-dtor -Werror)
#   scripts/test.sh --sanitize AddressSanitizer + UBSan build (clang) in build-asan/,
#                              with the plain POSIX paths (-DKX_PORTABLE=ON): the
#                              same tests, then every fuzz target for a bounded time
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
mode=${1:-normal}

if [ "$mode" = "--sanitize" ]; then
    build=${KX_BUILD_DIR:-build-asan}
    CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_SANITIZE=ON -DKX_FUZZ=ON -DKX_PORTABLE=ON >/dev/null
    cmake --build "$build" -j "$jobs"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
    scripts/run-fuzzers.sh "$build" "${KX_FUZZ_SECONDS:-60}"
else
    build=${KX_BUILD_DIR:-build}
    # One style, kept by the formatter; every warning is an error.
    scripts/check-format.sh
    cmake -S . -B "$build" -G Ninja -DKX_WERROR=ON >/dev/null
    cmake --build "$build" -j "$jobs"
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
fi
