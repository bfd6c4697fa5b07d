#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times whole starts of the Linux tarball's program, unpacked, against the Debian package's
# build of the same source, alternating, on one virtual display: from the process start to
# its first window mapped, for a first start (the settings window) and a start with
# config.ini stored (the main window). Prints the medians and the tarball's ratio.
#
#   bench/tarball_start_times.sh [runs=9]
#       (after scripts/package-linux.sh, and cmake --build --preset package)
export QT_QPA_PLATFORM=xcb
source "$(dirname "$0")/common.sh"
runs=${1:-9}
tarball=$(ls build/valdrune-music-changer-*-linux-x86_64.tar.xz | tail -n 1)
package_program=build/package/app/valdrune-music-changer
make_work

tar -xf "$tarball" -C "$work"
unpacked=$(ls -d "$work"/valdrune-music-changer-*-linux-x86_64)
mkdir -p "$work/home/.config/Zellerin/valdrune-music-changer"
stored='"/games/Mp3/",2\r\n'

Xvfb -displayfd 3 -ac -nolisten tcp -screen 0 1280x800x24 3>"$work/display" >/dev/null 2>&1 &
display_pid=$!
trap 'kill $display_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(tr -d '[:space:]' <"$work/display")

nanos() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# time_once PROGRAM: milliseconds from its start to its first window mapped.
time_once() {
    local events start mapped program_pid
    events=$work/events
    : >"$events"
    stdbuf -oL xev -root -event substructure >"$events" 2>/dev/null &
    local xev_pid
    xev_pid=$!
    sleep 0.5
    start=$(nanos)
    HOME=$work/home "$1" >/dev/null 2>&1 &
    program_pid=$!
    local deadline=$((start + 20000000000))
    until grep -q '^MapNotify' "$events"; do
        [ "$(nanos)" -lt "$deadline" ] || { echo "no window from $1 in 20 s" >&2; break; }
        sleep 0.002
    done
    mapped=$(nanos)
    kill "$program_pid" "$xev_pid" 2>/dev/null
    wait "$program_pid" "$xev_pid" 2>/dev/null || true
    echo $(((mapped - start) / 1000000))
}
settings_absent() { rm -f "$unpacked/config.ini" "$work/home/.config/Zellerin/valdrune-music-changer/config.ini"; }
settings_stored() {
    printf "$stored" >"$unpacked/config.ini"
    printf "$stored" >"$work/home/.config/Zellerin/valdrune-music-changer/config.ini"
}

for state in absent stored; do
    : >"$work/tarball.t"
    : >"$work/package.t"
    for _ in $(seq "$runs"); do
        "settings_$state"
        time_once "$unpacked/valdrune-music-changer" >>"$work/tarball.t"
        "settings_$state"
        time_once "$package_program" >>"$work/package.t"
    done
    tarball_ms=$(median <"$work/tarball.t")
    package_ms=$(median <"$work/package.t")
    echo "settings $state: tarball $tarball_ms ms, package build $package_ms ms ($(awk "BEGIN {printf \"%.2f\", $tarball_ms / $package_ms}") times)"
done
