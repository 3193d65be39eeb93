#!/usr/bin/env bash
# Checks the systemd units as systemd itself reads them; any complaint fails, not only an error. The
# system template must also stay hardened: an exposure of at most 4.0 by systemd's own measure.
#   check_unit.sh <user unit> <system template> <horaline-relay binary>
set -euo pipefail
user_unit="$1"
template="$2"
binary="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"

# Installed, the units find the relay on systemd's own search path; here it is the one just built.
built() {
    sed "s|^ExecStart=horaline-relay\b|ExecStart=$binary|" "$1" > "$2"
    grep -q "^ExecStart=$binary" "$2" \
        || { echo "FAIL: $(basename "$1") does not run horaline-relay" >&2; exit 1; }
}
quiet() {
    local output
    output=$("$@" 2>&1) || { echo "FAIL: $output" >&2; exit 1; }
    [ -z "$output" ] || { echo "FAIL: $output" >&2; exit 1; }
}

built "$user_unit" "$work/horaline.service"
quiet env XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify --man=no "$work/horaline.service"

# A template is read through one of its instances: a settings file's name.
instance="$work/horaline@studio2.service"
built "$template" "$instance"
grep -qx "ExecStart=$binary --settings /etc/horaline/%i.ini" "$instance" \
    || { echo "FAIL: $(basename "$template") does not run on /etc/horaline/NAME.ini" >&2; exit 1; }
quiet systemd-analyze verify --man=no "$instance"
score=$(systemd-analyze security --offline=yes --no-pager "$instance" 2>&1 \
    | sed -n 's/^→ Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
[ -n "$score" ] || { echo "FAIL: no exposure level for $(basename "$template")" >&2; exit 1; }
awk -v score="$score" 'BEGIN { exit !(score <= 4.0) }' \
    || { echo "FAIL: $(basename "$template") exposure $score, above 4.0" >&2; exit 1; }
echo "PASS: $(basename "$user_unit"), $(basename "$template") (exposure $score)"
