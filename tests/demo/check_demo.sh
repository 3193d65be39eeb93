#!/usr/bin/env bash
# The demo, headless for a few seconds: frames with the current time must reach the second line.
#   check_demo.sh <source dir> <build dir>
set -euo pipefail
output=$(bash "$1/demo" --no-build --build-dir "$2" --seconds 9 2>&1)
echo "$output"
mapfile -t shown < <(echo "$output" | sed -n 's/^  display shows \([0-9][0-9]:[0-9][0-9]:[0-9][0-9]\)$/\1/p')
if [ "${#shown[@]}" -lt 2 ]; then
    echo "FAIL: fewer than two frames reached the display line" >&2
    exit 1
fi
to_seconds() { IFS=: read -r h m s <<< "$1"; echo $((10#$h * 3600 + 10#$m * 60 + 10#$s)); }
now=$(to_seconds "$(date +%H:%M:%S)")
last=$(to_seconds "${shown[-1]}")
difference=$(( (now - last + 86400) % 86400 ))
if [ "$difference" -gt 4 ]; then
    echo "FAIL: the last frame shows ${shown[-1]}, $difference s from now" >&2
    exit 1
fi
echo "PASS: ${#shown[@]} frames, the last ${difference} s behind the clock"
