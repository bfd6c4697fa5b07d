#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times whole process starts to the first painted window, alternating, and prints medians:
# a bare Qt window; the program with config.ini stored; the program's first start (the
# settings window, while the Wine prefix search goes on). Each with no Wine prefix, then
# with a home of 300 Steam prefixes and a 3,000-folder Steam library.
#
#   bench/start_times.sh [runs=9]     (after: cmake --build --preset default --target start_bench)
source "$(dirname "$0")/common.sh"
runs=${1:-9}
bench=build/default/bench/start_bench
make_work

mkdir -p "$work/stored" "$work/first" "$work/empty-home"
printf '"/games/Mp3/",2\r\n' >"$work/stored/config.ini"
steam=$work/steam-home/.local/share/Steam/steamapps
for i in $(seq 300); do mkdir -p "$steam/compatdata/$i/pfx/drive_c/windows"; done
for i in $(seq 3000); do mkdir -p "$steam/common/Game $i/data"; done

millis() { date +%s%N | cut -c1-13; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
time_once() {
    local start
    start=$(millis)
    HOME=$1 "$bench" "${@:2}" >/dev/null 2>&1
    echo $(($(millis) - start))
}

for home in "$work/empty-home" "$work/steam-home"; do
    : >"$work/bare" ; : >"$work/stored.t" ; : >"$work/first.t"
    for _ in $(seq "$runs"); do
        time_once "$home" bare >>"$work/bare"
        time_once "$home" stored "$work/stored" >>"$work/stored.t"
        time_once "$home" first "$work/first" >>"$work/first.t"
    done
    bare=$(median <"$work/bare")
    stored=$(median <"$work/stored.t")
    first=$(median <"$work/first.t")
    echo "$(basename "$home"): bare window $bare ms; stored settings $stored ms ($(awk "BEGIN {printf \"%.2f\", $stored / $bare}") times); first start $first ms"
done
