#!/usr/bin/env bash
# Builds the .deb and checks it as an installer would see it, without installing it on this machine:
# its declared dependencies, its files unpacked into a temporary root, and its desktop entry.
#   check_deb.sh <build dir>
set -euo pipefail
build="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
(cd "$build" && cpack -G DEB > "$root/cpack.log") || { cat "$root/cpack.log"; exit 1; }
deb=$(ls -t "$build"/horaline_*.deb | head -n 1)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libqt6network6 qt6-qpa-plugins; do
    grep -q "$needed" <<< "$depends" || { echo "FAIL: $needed is not declared" >&2; exit 1; }
done
dpkg-deb -x "$deb" "$root/install"
for file in usr/bin/Horaline usr/bin/horaline-timecode usr/bin/horaline-autostart; do
    [ -x "$root/install/$file" ] || { echo "FAIL: $file is missing or not executable" >&2; exit 1; }
done
[ -s "$root/install/usr/lib/systemd/user/horaline.service" ] || { echo "FAIL: the user unit is missing" >&2; exit 1; }
for size in 16 32 48 256; do
    icon="usr/share/icons/hicolor/${size}x${size}/apps/horaline.png"
    [ -s "$root/install/$icon" ] || { echo "FAIL: $icon is missing" >&2; exit 1; }
done
desktop-file-validate "$root/install/usr/share/applications/horaline.desktop"
echo "PASS: $(basename "$deb")"
