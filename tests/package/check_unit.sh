#!/usr/bin/env bash
# Checks the systemd user unit as systemd itself reads it; any complaint fails, not only an error.
#   check_unit.sh <unit file> <Horaline binary>
set -euo pipefail
unit="$1"
binary="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
# Installed, the unit finds Horaline on systemd's own search path; here it is the one just built.
sed "s|^ExecStart=Horaline |ExecStart=$binary |" "$unit" > "$work/horaline.service"
grep -qx "ExecStart=$binary --headless" "$work/horaline.service" \
    || { echo "FAIL: the unit does not run 'Horaline --headless'" >&2; exit 1; }
output=$(XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify "$work/horaline.service" 2>&1) \
    || { echo "FAIL: $output" >&2; exit 1; }
[ -z "$output" ] || { echo "FAIL: $output" >&2; exit 1; }
echo "PASS: $(basename "$unit")"
