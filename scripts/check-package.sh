#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package, checks it (lintian, desktop-file-validate, appstreamcli),
# installs it, and starts the installed program on a virtual display as a player would:
# a fresh home, OK in the settings window at the first start, config.ini in the player's
# settings folder, and the main window at the second start; then as root, which must write
# nothing beside the installed program. Removes the package again.
# Uses the package preset's build, made for installation.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_CHECK_PACKAGES[@]}"

cmake --preset package >/dev/null
cmake --build --preset package
(cd build/package && cpack -G DEB >/dev/null)
package=$(ls build/package/valdrune-music-changer_*_*.deb)
echo "package: $package ($(du -k "$package" | cut -f1) KiB)"
lintian --fail-on error "$package"
desktop-file-validate packaging/org.example.ValdruneMusicChanger.desktop
appstreamcli validate --no-net build/package/packaging/org.example.ValdruneMusicChanger.metainfo.xml

fail() {
    echo "installed program: $*" >&2
    [ -s "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
    pgrep -a -f /usr/bin/valdrune-music-changer | sed 's/^/  running: /' >&2
    exit 1
}

work=$(mktemp -d)
chmod 755 "$work"
display_pid=
cleanup() {
    pkill -f /usr/bin/valdrune-music-changer 2>/dev/null || true
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null || true
    run_as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq valdrune-music-changer >/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
run_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$package" >/dev/null
# The audio module where the installed program looks for it, with every library it needs.
module=$(ls /usr/lib/*/valdrune-music-changer/libvmc-audio.so 2>/dev/null | head -n 1)
[ -n "$module" ] || fail "the audio module is not installed"
if ldd "$module" | grep -q "not found"; then fail "the audio module misses a library: $(ldd "$module" | grep "not found")"; fi

# A player, never root: root could write config.ini into /usr/bin.
home=$work/home
mkdir -p "$home"
as_player=()
if [ "$(id -u)" -eq 0 ]; then
    chown 65534:65534 "$home"
    as_player=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
Xvfb -displayfd 3 -ac -screen 0 1280x900x24 3>"$work/display" >/dev/null 2>&1 &
display_pid=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "the virtual display did not start"
export DISPLAY=:$(tr -d '[:space:]' <"$work/display")
echo "virtual display $DISPLAY" >>"$work/program.log"

start_program() {
    "${as_user[@]}" env -i HOME="$home" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin \
        /usr/bin/valdrune-music-changer >>"$work/program.log" 2>&1 &
    timeout 90 xdotool search --sync --onlyvisible --name '^Valdrune 3 Music Changer$' \
        2>>"$work/program.log" | head -n 1
}

# A first start: OK stores the settings shown, in the user's settings folder.
first_start() {
    window=$(start_program) || true
    [ -n "$window" ] || fail "the first start shows no window"
    # No window manager: one that is slow to start leaves the window unmapped.
    xdotool windowfocus --sync "$window" key --clearmodifiers alt+r
    config=$home/.config/Zellerin/valdrune-music-changer/config.ini
    for _ in $(seq 60); do [ -f "$config" ] && break; sleep 0.5; done
    expected=$(printf '"%s/.wine/drive_c/Program Files/Korvex/Valdrune3/Mp3/",1\r\n' "$home" | od -An -c)
    if [ "$expected" != "$(od -An -c "$config" 2>/dev/null)" ]; then
        fail "$config does not hold the first start's settings"
    fi
    pkill -f /usr/bin/valdrune-music-changer || true
    sleep 1
}
as_user=("${as_player[@]}")
first_start

# The second start reads them and shows the main window, the wide one.
window=$(start_program) || true
[ -n "$window" ] || fail "the second start shows no window"
width=$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p')
[ "${width:-0}" -ge 500 ] || fail "the second start shows a window ${width:-0} pixels wide, not the main window"
pkill -f /usr/bin/valdrune-music-changer || true
sleep 1

# Root, who could write /usr/bin, still keeps the settings in its own folder.
if [ "$(id -u)" -eq 0 ]; then
    home=$work/root-home
    mkdir -p "$home"
    touch "$work/before-root"
    as_user=()
    first_start
    written=$(find /usr -xdev -newer "$work/before-root" -type f 2>/dev/null | head -n 5)
    [ -z "$written" ] || fail "started as root, it wrote under /usr: $written"
fi
echo "installed program: first start stored $config, second start shows the main window, root wrote nothing under /usr"
