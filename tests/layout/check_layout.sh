#!/usr/bin/env bash
# The folders and who may include whom: an include against the arrows fails (an output knows of a source
# only the sample it is handed), and so does a widget header outside the window and the start-up, and an
# access to the settings file outside config/ and settings/. A folder that is not listed is no part of
# the program.
#   check_layout.sh <source dir> <QtWidgets include dir>
set -euo pipefail
cd "$1"
widgets="$2"
declare -A allowed=(
    [app]="ui service relay outputs sources config serial net settings"
    [ui]="relay outputs sources config serial net settings"
    [service]="relay outputs sources config serial net settings"
    [relay]="outputs sources config serial net settings"
    [outputs]="serial net"
    [sources]="serial net"
    [config]="serial net settings"
    [serial]=""
    [net]=""
    [settings]=""
)
failed=0
for folder in "${!allowed[@]}"; do
    for file in "$folder"/*.cpp "$folder"/*.h; do
        [ -e "$file" ] || continue
        while IFS= read -r included; do
            [ "$included" = "$folder" ] && continue
            [ "$folder" = outputs ] && [ "$included" = sources ] && continue
            if [[ " ${allowed[$folder]} " != *" $included "* ]]; then
                echo "FAIL: $file includes $included/, which $folder/ may not" >&2
                failed=1
            fi
        done < <(sed -n 's|^#include "\([a-z]*\)/.*|\1|p' "$file" | sort -u)
        if [ "$folder" = outputs ] \
            && grep -E '^#include "sources/' "$file" | grep -qv '^#include "sources/Sample.h"'; then
            echo "FAIL: $file includes of sources/ more than the sample" >&2
            failed=1
        fi
        if [ "$folder" != config ] && [ "$folder" != settings ] \
            && grep -qE '^#include (<QSettings>|"settings/SettingsFile.h")' "$file"; then
            echo "FAIL: $file opens the settings file, which only config/ does" >&2
            failed=1
        fi
        if [ "$folder" != app ] && [ "$folder" != ui ]; then
            while IFS= read -r header; do
                if [ -e "$widgets/$header" ]; then
                    echo "FAIL: $file includes <$header>, a widget header outside ui/ and app/" >&2
                    failed=1
                fi
            done < <(sed -n 's|^#include <\(Q[A-Za-z]*\)>.*|\1|p' "$file")
        fi
    done
done
[ "$failed" -eq 0 ] || exit 1
echo "PASS: every include follows the arrows"
