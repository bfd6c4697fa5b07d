#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a four-minute 44.1 kHz stereo FLAC that sounds somewhat like music (a chord that
# swells and wanders, over pink noise) and times the Fit window's waveform for it, for a
# slot of the game's 22.05 kHz mono and for one of the pick's own format. Prints the load
# average, as the figures depend on what else the machine does.
#
#   bench/waveform.sh [runs=3]     (after: cmake --build --preset default --target waveform_bench)
source "$(dirname "$0")/common.sh"
runs=${1:-3}
bench=build/default/bench/waveform_bench
make_work

chord='0.25*sin(2*PI*220*t)*(0.6+0.4*sin(2*PI*0.5*t))+0.15*sin(2*PI*(330+3*sin(2*PI*0.1*t))*t)'
chord2='0.25*sin(2*PI*277.2*t)*(0.6+0.4*sin(2*PI*0.7*t))+0.15*sin(2*PI*440*t)*(1+sgn(sin(2*PI*2*t)))/2'
ffmpeg -v error -y -f lavfi -i "aevalsrc=${chord}|${chord2}:s=44100:d=240" \
    -f lavfi -i "anoisesrc=c=pink:r=44100:a=0.08:d=240" \
    -filter_complex "[1]aformat=channel_layouts=stereo[n];[0][n]amix=inputs=2:normalize=0" \
    -ar 44100 -c:a flac "$work/pick.flac"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for format in "22050 1" "44100 2"; do
    for _ in $(seq "$runs"); do
        # shellcheck disable=SC2086
        "$bench" "$work/pick.flac" $format
    done
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
