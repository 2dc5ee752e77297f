#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer in
# build-asan/ and runs it. Zero reports is the bar: every report fails the test it comes from.
# Library-owned allocations that live until the process ends are listed in tools/lsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."

flags="-fsanitize=address,undefined -fno-omit-frame-pointer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVALO_BUILD_BENCHMARKS=OFF -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
    -DCMAKE_MODULE_LINKER_FLAGS="$flags" >/dev/null
cmake --build build-asan -j"$(nproc)"

# Suppressions match function names, also inside the C library (libc6-dbg has its symbols), so the
# reports must be symbolized the same way on every machine: clang's symbolizer.
symbolizer=$(command -v llvm-symbolizer || ls /usr/lib/llvm-*/bin/llvm-symbolizer 2>/dev/null | tail -n 1 || true)
[ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH=$symbolizer
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
# The install check is left to the plain build: sanitized code carries the paths of its sources,
# generated ones in the build tree among them, for its reports.
ctest --test-dir build-asan --output-on-failure --timeout 900 -j2 --exclude-regex '^install$'
