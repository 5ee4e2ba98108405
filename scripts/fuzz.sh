#!/usr/bin/env bash
# Fuzzes the master's answer paths: RTU, ASCII, the unpacking of registers and bits, the
# check and hex helpers, the Telnet decoding of what a device server sends, the monitor's
# decoder, and the function table's lengths, descriptions and serving. With clang's libFuzzer
# (Debian clang-14 and libclang-rt-14-dev) the targets run under AddressSanitizer and
# UndefinedBehaviorSanitizer, side by side; without it the seeded random driver of the debug
# build calls the same entry points.
#   scripts/fuzz.sh            the CI-sized run, about 10 million inputs
#   scripts/fuzz.sh 20         twenty times as many
#   FUZZ_TIME=3600 scripts/fuzz.sh   an hour per target instead of a count
# Exits non-zero on any finding; libFuzzer leaves the input as crash-* in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."

scale=${1:-1}
declare -A runs=([rtu]=4500000 [codec]=3500000 [ascii]=1200000 [unpack]=800000 [telnet]=500000
    [monitor]=200000 [protocol]=600000)
declare -A maxlen=([rtu]=600 [codec]=600 [ascii]=1100 [unpack]=600 [telnet]=300 [monitor]=1100 [protocol]=300)
targets=(rtu ascii unpack codec telnet monitor protocol)
corpus=tests/fuzz/corpus

if command -v clang++-14 >/dev/null && compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
    cmake --preset fuzz >/dev/null
    nice -n 10 cmake --build --preset fuzz
    out=build/fuzz
    # Short stack traces on allocation and a small quarantine keep the sanitizers' checks
    # whole and halve their cost; leaks are left to the exit check, since the line object
    # lives across inputs.
    export ASAN_OPTIONS=malloc_context_size=4:quarantine_size_mb=16
    pids=()
    for t in "${targets[@]}"; do
        mkdir -p "$out/corpus-$t"
        limit=(-runs=$((runs[$t] * scale)))
        [ -n "${FUZZ_TIME:-}" ] && limit=(-max_total_time="$FUZZ_TIME")
        (cd "$out" && "./tests/fuzz/fuzz_$t" "${limit[@]}" -seed=1 -detect_leaks=0 -entropic=0 \
            -max_len="${maxlen[$t]}" -print_final_stats=1 "corpus-$t" "../../$corpus/$t" \
            >"fuzz_$t.log" 2>&1) &
        pids+=($!)
    done
    failed=0
    for i in "${!targets[@]}"; do
        t=${targets[$i]}
        if wait "${pids[$i]}"; then
            echo "fuzz_$t: $(grep -E '^Done' "$out/fuzz_$t.log"), 0 findings"
        else
            failed=1
            echo "fuzz_$t: FINDING" >&2
            tail -n 40 "$out/fuzz_$t.log" >&2
        fi
    done
    exit $failed
fi

echo "libFuzzer not found: the seeded random driver under the sanitizers instead"
cmake --preset debug >/dev/null
nice -n 10 cmake --build --preset debug --target fuzz_rtu fuzz_ascii fuzz_unpack fuzz_codec fuzz_telnet \
    fuzz_monitor fuzz_protocol
for t in "${targets[@]}"; do
    build/debug/tests/fuzz/fuzz_$t --runs $((runs[$t] * scale / 20)) --seed 1 \
        --max-len "${maxlen[$t]}" "$corpus/$t"
done
