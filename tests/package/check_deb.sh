#!/usr/bin/env bash
# Builds the .deb and checks it as an installer and a distribution would see it, without installing it on
# this machine: lintian, its declared dependencies, its files unpacked into a temporary root, its
# desktop entry and its AppStream metainfo. Any error or warning fails.
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
for file in usr/bin/Horaline usr/bin/horaline-timecode usr/bin/horaline-autostart usr/libexec/horaline/horaline-relay; do
    [ -x "$root/install/$file" ] || { echo "FAIL: $file is missing or not executable" >&2; exit 1; }
done
[ -s "$root/install/usr/lib/systemd/user/horaline.service" ] || { echo "FAIL: the user unit is missing" >&2; exit 1; }
[ -s "$root/install/usr/lib/systemd/system/horaline@.service" ] || { echo "FAIL: the system unit is missing" >&2; exit 1; }
for size in 16 32 48 256; do
    icon="usr/share/icons/hicolor/${size}x${size}/apps/horaline.png"
    [ -s "$root/install/$icon" ] || { echo "FAIL: $icon is missing" >&2; exit 1; }
done
for file in usr/share/doc/horaline/copyright usr/share/doc/horaline/changelog.gz \
    usr/share/doc/horaline/examples/Horaline.ini usr/share/man/man1/Horaline.1.gz \
    usr/share/man/man1/horaline-timecode.1.gz usr/share/man/man1/horaline-autostart.1.gz; do
    [ -s "$root/install/$file" ] || { echo "FAIL: $file is missing" >&2; exit 1; }
done
lintian -I --fail-on error,warning "$deb" 2>&1 | grep -v "running with root privileges" | tee "$root/lintian.log"
if grep -q '^[EW]: ' "$root/lintian.log"; then
    echo "FAIL: lintian" >&2
    exit 1
fi
desktop=$(desktop-file-validate "$root/install/usr/share/applications/org.horaline.Horaline.desktop" 2>&1)
[ -z "$desktop" ] || { echo "FAIL: $desktop" >&2; exit 1; }
metainfo=$(appstreamcli validate --no-net "$root/install/usr/share/metainfo/org.horaline.Horaline.metainfo.xml" 2>&1) \
    || { echo "FAIL: $metainfo" >&2; exit 1; }
if grep -q '^[EW]: ' <<< "$metainfo"; then
    echo "FAIL: $metainfo" >&2
    exit 1
fi
echo "PASS: $(basename "$deb")"
