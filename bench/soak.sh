#!/usr/bin/env bash
# Ten minutes at the physical rate of a 38,400 baud line (548.6 frames a second) to five clients:
# nothing may be lost, and the resident memory at the end is reported beside that at the start.
#   bench/soak.sh [seconds]     (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench-release -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build/bench-release --target throughput > /dev/null
build/bench-release/bench/throughput "${1:-600}" --rate 548.6
