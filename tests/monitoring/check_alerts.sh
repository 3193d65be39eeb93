#!/usr/bin/env bash
# The README's alert rules are the shipped rules file, word for word, and promtool finds they fire when a
# relay runs degraded and when it is down or gone; skipped (77) where promtool is not installed.
#   check_alerts.sh <source dir>
set -euo pipefail
rules="$1/docs/prometheus/horaline.rules.yml"
fail() { echo "FAIL: $*" >&2; exit 1; }
# The README's block that starts at "groups:", as the file holds it.
awk '/^    groups:$/ { shown = 1 } shown && !/^    / { exit } shown { print substr($0, 5) }' "$1/README.md" \
    | diff - "$rules" || fail "the README does not show $rules as it is"
if ! command -v promtool > /dev/null; then
    echo "SKIP: no promtool here"
    exit 77
fi
promtool check rules "$rules"
promtool test rules "$1/tests/monitoring/horaline.rules.test.yml"
echo "PASS: the alert rules"
