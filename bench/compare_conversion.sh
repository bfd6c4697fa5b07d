#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes 40 FLAC files of 60 s each (44.1 kHz stereo), then converts them to MP3 at 192 kbit/s
# twice, each followed by sync: with the program's conversion (bench/conversion_bench) and
# with the ffmpeg command-line tool and libmp3lame at the same settings, one process per core.
#   cmake --build --preset default --target conversion_bench
#   bench/compare_conversion.sh [count=40] [seconds=60] [folder=/tmp]
source "$(dirname "$0")/common.sh"
count=${1:-40}; length=${2:-60}
make_work "${3:-/tmp}"
mkdir -p "$work/flac" "$work/ours" "$work/ffmpeg"
for i in $(seq "$count"); do
    ffmpeg -v error -f lavfi -i "sine=frequency=$((200 + 7 * i)):sample_rate=44100:duration=$length" \
        -f lavfi -i "anoisesrc=color=pink:sample_rate=44100:duration=$length:amplitude=0.1" \
        -filter_complex amerge=inputs=2 -ac 2 -c:a flac "$work/flac/$i.flac"
done
sync
elapsed() { local start=$1; echo "$(($(date +%s%N) - start))" | awk '{printf "%.2f", $1 / 1e9}'; }

start=$(date +%s%N)
build/default/bench/conversion_bench "$work/flac" "$work/ours" >/dev/null
sync
ours=$(elapsed "$start")

start=$(date +%s%N)
ls "$work/flac"/*.flac | xargs -P "$(nproc)" -I{} sh -c \
    'ffmpeg -v error -i "$1" -c:a libmp3lame -b:a 192k -compression_level 3 "$2/$(basename "$1" .flac).mp3"' \
    _ {} "$work/ffmpeg"
sync
theirs=$(elapsed "$start")

audio=$((count * length))
echo "program: $ours s ($(awk "BEGIN {printf \"%.0f\", $audio / $ours}") audio s/s); ffmpeg, $(nproc) processes: $theirs s ($(awk "BEGIN {printf \"%.0f\", $audio / $theirs}") audio s/s); ratio $(awk "BEGIN {printf \"%.2f\", $ours / $theirs}")"
