#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a while.
#   bench/fuzz.sh [seconds per target]     (default 60)
# Any crash or sanitizer report stops the run; libFuzzer leaves the input as crash-* in build/fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
out=build/fuzz
mkdir -p "$out"
flags=(-std=c++17 -fPIC -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I. $(pkg-config --cflags Qt6Core))
libs=($(pkg-config --libs Qt6Core))
for target in fuzz_framesync fuzz_receivedtext; do
    clang++ "${flags[@]}" "bench/fuzz/$target.cpp" serial/ClockFormat.cpp sources/MessageStream.cpp serial/Strings.cpp -o "$out/$target" "${libs[@]}"
    mkdir -p "$out/$target-corpus"
    (cd "$out" && "./$target" -max_total_time="$seconds" -print_final_stats=1 "$target-corpus" 2>&1 | tail -n 12)
done
