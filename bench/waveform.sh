#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a 44.1 kHz stereo pick that sounds somewhat like music (a chord that swells and
# wanders, over pink noise), as FLAC, Ogg Vorbis and MP3, and times the Fit window's
# waveform for each on one core, for a slot of the game's 22.05 kHz mono and for one of the
# pick's own format. Prints the load average, as the figures depend on what else the
# machine does.
#
#   bench/waveform.sh [runs=3] [minutes=10]
#   (after: cmake --build --preset default --target waveform_bench)
source "$(dirname "$0")/common.sh"
runs=${1:-3}
seconds=$((${2:-10} * 60))
bench=build/default/bench/waveform_bench
make_work

chord='0.25*sin(2*PI*220*t)*(0.6+0.4*sin(2*PI*0.5*t))+0.15*sin(2*PI*(330+3*sin(2*PI*0.1*t))*t)'
chord2='0.25*sin(2*PI*277.2*t)*(0.6+0.4*sin(2*PI*0.7*t))+0.15*sin(2*PI*440*t)*(1+sgn(sin(2*PI*2*t)))/2'
ffmpeg -v error -y -f lavfi -i "aevalsrc=${chord}|${chord2}:s=44100:d=$seconds" \
    -f lavfi -i "anoisesrc=c=pink:r=44100:a=0.08:d=$seconds" \
    -filter_complex "[1]aformat=channel_layouts=stereo[n];[0][n]amix=inputs=2:normalize=0" \
    -ar 44100 -c:a flac "$work/pick.flac"
ffmpeg -v error -y -i "$work/pick.flac" -c:a libvorbis -q:a 5 "$work/pick.ogg"
ffmpeg -v error -y -i "$work/pick.flac" -c:a libmp3lame -b:a 192k "$work/pick.mp3"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for pick in "$work"/pick.{flac,ogg,mp3}; do
    for format in "22050 1" "44100 2"; do
        echo "${pick##*.}, slot $format:"
        for _ in $(seq "$runs"); do
            # shellcheck disable=SC2086
            taskset -c 0 "$bench" "$pick" $format | grep picture
        done
    done
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
