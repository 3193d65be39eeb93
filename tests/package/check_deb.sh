#!/usr/bin/env bash
# Builds the two .debs and checks them as an installer and a distribution would see them, without
# installing them on this machine: lintian, their declared dependencies (no GUI library for the relay),
# their files unpacked into a temporary root, the conffile, the maintainer scripts run against stand-ins
# for adduser and its kin, the desktop entry and the AppStream metainfo. Any error or warning fails.
#   check_deb.sh <build dir>
set -euo pipefail
build="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -f "$build"/horaline_*.deb "$build"/horaline-relay_*.deb
(cd "$build" && cpack -G DEB > "$root/cpack.log") || { cat "$root/cpack.log"; exit 1; }
relay=$(ls "$build"/horaline-relay_*.deb)
window=$(ls "$build"/horaline_*.deb)

depends=$(dpkg-deb -f "$relay" Depends)
echo "horaline-relay Depends: $depends"
for needed in libqt6core6 libqt6network6 libsystemd0 adduser; do
    grep -q "$needed" <<< "$depends" || fail "horaline-relay does not declare $needed"
done
for unwanted in libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
    ! grep -q "$unwanted" <<< "$depends" || fail "horaline-relay depends on $unwanted"
done
depends=$(dpkg-deb -f "$window" Depends)
echo "horaline Depends: $depends"
for needed in libqt6widgets6 qt6-qpa-plugins "horaline-relay (= "; do
    grep -qF "$needed" <<< "$depends" || fail "horaline does not declare $needed"
done

dpkg-deb -x "$relay" "$root/relay"
dpkg-deb -x "$window" "$root/window"
for file in relay/usr/bin/horaline-relay window/usr/bin/Horaline window/usr/bin/horaline-timecode \
    window/usr/bin/horaline-autostart; do
    [ -x "$root/$file" ] || fail "$file is missing or not executable"
done
for file in relay/usr/lib/systemd/user/horaline.service relay/usr/lib/systemd/system/horaline@.service \
    relay/etc/horaline/example.ini relay/usr/share/man/man1/horaline-relay.1.gz \
    relay/usr/share/doc/horaline-relay/copyright relay/usr/share/doc/horaline-relay/changelog.gz \
    relay/usr/share/doc/horaline-relay/examples/chrony-horaline.conf \
    relay/usr/share/doc/horaline-relay/examples/horaline.rules.yml \
    window/usr/share/doc/horaline/copyright window/usr/share/doc/horaline/changelog.gz \
    window/usr/share/doc/horaline/examples/Horaline.ini window/usr/share/man/man1/Horaline.1.gz \
    window/usr/share/man/man1/horaline-timecode.1.gz window/usr/share/man/man1/horaline-autostart.1.gz; do
    [ -s "$root/$file" ] || fail "$file is missing"
done
for size in 16 32 48 256; do
    icon="window/usr/share/icons/hicolor/${size}x${size}/apps/horaline.png"
    [ -s "$root/$icon" ] || fail "$icon is missing"
done

# One version, the changelog's newest entry's: both packages, the manual pages, the metainfo and the
# program say it.
zcat "$root/relay/usr/share/doc/horaline-relay/changelog.gz" > "$root/changelog"
version=$(dpkg-parsechangelog -l "$root/changelog" -S Version)
for deb in "$relay" "$window"; do
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$(basename "$deb") is not version $version"
done
for page in relay/usr/share/man/man1/horaline-relay.1.gz window/usr/share/man/man1/Horaline.1.gz \
    window/usr/share/man/man1/horaline-timecode.1.gz window/usr/share/man/man1/horaline-autostart.1.gz; do
    zcat "$root/$page" | head -1 | grep -qF "\"Horaline $version\"" || fail "$page does not say version $version"
done
grep -qF "<release version=\"$version\"" "$root/window/usr/share/metainfo/org.horaline.Horaline.metainfo.xml" \
    || fail "the metainfo's releases do not begin with $version"
"$root/relay/usr/bin/horaline-relay" --version | grep -qF "$version" || fail "horaline-relay --version is not $version"

# The administrator's example is a conffile: an upgrade keeps what was changed in it.
dpkg-deb -e "$relay" "$root/control"
[ "$(cat "$root/control/conffiles")" = /etc/horaline/example.ini ] || fail "conffiles: $(cat "$root/control/conffiles")"
for script in postinst prerm postrm; do
    [ -x "$root/control/$script" ] || fail "no executable $script"
    sh -n "$root/control/$script" || fail "$script does not parse"
done
grep -q "daemon-reload" "$root/control/postinst" || fail "postinst does not tell systemd of the units"
grep -q "try-restart 'horaline@\*.service'" "$root/control/postinst" || fail "postinst restarts no instance"
grep -q "stop 'horaline@\*.service'" "$root/control/prerm" || fail "prerm stops no instance"

# The scripts against stand-ins that write down what they are asked: a first install makes the user
# in dialout, an upgrade makes none, a purge takes it away.
mkdir "$root/bin"
for command in adduser deluser delgroup systemctl deb-systemd-invoke; do
    printf '#!/bin/sh\necho "%s $*" >> "%s"\n' "$command" "$root/calls" > "$root/bin/$command"
done
# What Debian's deluser says to a purge of a user whose group a monitor joined.
printf 'echo "/usr/sbin/deluser: crontab not executed. Skipping crontab removal." >&2\n' >> "$root/bin/deluser"
printf 'echo "The group horaline is not removed because it has other members." >&2\n' >> "$root/bin/deluser"
printf '#!/bin/sh\n[ -e "%s" ]\n' "$root/user-exists" > "$root/bin/getent"
chmod +x "$root"/bin/*
run() { PATH="$root/bin:$PATH" sh "$root/control/$1" "${@:2}" || fail "$1 $* failed"; }
run postinst configure
grep -q "^adduser --system --group .*horaline$" "$root/calls" || fail "install made no system user: $(cat "$root/calls")"
grep -q "^adduser --quiet horaline dialout$" "$root/calls" || fail "the user is not put in dialout"
touch "$root/user-exists"
: > "$root/calls"
run postinst configure 1.0.8
! grep -q -- "--system" "$root/calls" || fail "an upgrade made the user again"
run prerm remove
run postrm remove
! grep -q deluser "$root/calls" || fail "a remove took the user away"
said=$(run postrm purge 2>&1)
[ -z "$said" ] || fail "a purge is not quiet: $said"
grep -q "^deluser --quiet --system horaline$" "$root/calls" || fail "a purge left the user"
grep -q "^delgroup --quiet --system horaline$" "$root/calls" || fail "a purge left the group"

lintian -I --fail-on error,warning "$relay" "$window" 2>&1 | grep -v "running with root privileges" \
    | tee "$root/lintian.log"
! grep -q '^[EW]: ' "$root/lintian.log" || fail "lintian"
desktop=$(desktop-file-validate "$root/window/usr/share/applications/org.horaline.Horaline.desktop" 2>&1)
[ -z "$desktop" ] || fail "$desktop"
metainfo=$(appstreamcli validate --no-net "$root/window/usr/share/metainfo/org.horaline.Horaline.metainfo.xml" 2>&1) \
    || fail "$metainfo"
! grep -q '^[EW]: ' <<< "$metainfo" || fail "$metainfo"
echo "PASS: $(basename "$relay"), $(basename "$window")"
