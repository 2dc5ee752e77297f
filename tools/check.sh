#!/usr/bin/env bash
# Sets up, builds and runs every test; then the whole suite again under the sanitizers
# (tools/sanitize.sh), then the engine fuzzer for a minute. Ends with each stage's time and the
# test summaries, the normal suite's last.
set -euo pipefail
cd "$(dirname "$0")/.."

times=()
stage() { # name command...
    local name=$1 start=$SECONDS
    shift
    echo "=== $name"
    "$@"
    times+=("$name: $((SECONDS - start)) s")
}

run_tests() {
    ctest --test-dir build --output-on-failure --timeout 600 -j2 | tee build/ctest.log
}

run_sanitized() {
    bash tools/sanitize.sh | tee build-asan/ctest.log
}

# libFuzzer keeps what it finds in build-fuzz/found; the committed seeds stay as they are.
run_fuzzer() {
    cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build build-fuzz -j"$(nproc)"
    rm -rf build-fuzz/crashes
    mkdir -p build-fuzz/found build-fuzz/crashes
    local fuzzer=build-fuzz/engine_fuzzer
    if "$fuzzer" -max_total_time=60 -timeout=30 -print_final_stats=1 \
        -artifact_prefix=build-fuzz/crashes/ build-fuzz/found fuzz/corpus 2>build-fuzz/fuzz.log; then
        grep -E '^(Done|stat::)' build-fuzz/fuzz.log
        return 0
    fi
    tail -n 60 build-fuzz/fuzz.log
    for crash in build-fuzz/crashes/*; do
        "$fuzzer" -minimize_crash=1 -max_total_time=30 -exact_artifact_path="$crash.min" "$crash" \
            >/dev/null 2>&1 || true
        [ -s "$crash.min" ] || cp "$crash" "$crash.min"
        echo "=== engine fuzzer: failing input $crash, minimised to $crash.min (base64):"
        base64 "$crash.min"
        echo "--- its steps:"
        CORVALO_FUZZ_TRACE=1 "$fuzzer" "$crash.min" 2>&1 | grep -v '^INFO:' || true
        echo "--- replay: CORVALO_FUZZ_TRACE=1 $fuzzer $crash.min"
        echo "--- minimise further: $fuzzer -minimize_crash=1 -max_total_time=300 $crash.min"
    done
    return 1
}

stage "build" bash tools/setup.sh
stage "tests" run_tests
mkdir -p build-asan
stage "sanitizer build and tests" run_sanitized
stage "engine fuzzer" run_fuzzer

echo "=== stage times"
printf '%s\n' "${times[@]}"
grep -h 'engine fuzzer: .* steps/s' build-fuzz/fuzz.log || true
echo "=== sanitizer tests"
grep -h 'tests passed' build-asan/ctest.log
echo "=== tests"
grep -h 'tests passed' build/ctest.log
