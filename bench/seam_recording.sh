#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The seam of a found loop as the game hears it, in game music of this machine's packages:
# for each file, Find a loop, the fitted loop written at 44.1 kHz stereo 192 kbit/s, decoded
# without gapless trimming as the game's decoder does, and the join of two turns (the last two
# seconds of one, the first two of the next) played through a null sound output and recorded.
# One row per file. fit_render_bench seam gives the same join's figures without sound output.
#
#   bench/seam_recording.sh [BUILD_DIR] [FILE...]
#
# Needs ffmpeg, pulseaudio (started here where none runs), pactl, paplay and parec.
set -eu

build=${1:-build/default}
[ $# -gt 0 ] && shift
tool=$build/bench/fit_render_bench
[ -x "$tool" ] || { echo "build the fit_render_bench target first" >&2; exit 1; }

# Without files named: the first twenty music files of hedgewars-data and extremetuxracer-data
# in which a loop is found (each one passed over is listed).
looped=20
if [ $# -eq 0 ]; then
    files=$( (dpkg -L hedgewars-data extremetuxracer-data 2>/dev/null || true) |
        grep -E '/[Mm]usic/.*\.ogg$' | sort)
    set -- $files
fi

pactl info >/dev/null 2>&1 || pulseaudio -D --exit-idle-time=-1
for i in 1 2 3 4 5 6 7 8 9 10; do pactl info >/dev/null 2>&1 && break; sleep 0.5; done
module=$(pactl load-module module-null-sink sink_name=vmcseam rate=44100 format=s16le channels=2)
pactl set-sink-volume vmcseam 100%
work=$(mktemp -d)
trap 'pactl unload-module "$module"; rm -rf "$work"' EXIT

# Of the file and its loop's length in frames, prints how much longer a turn is than the loop
# (ms); then plays the join and records it, and prints the silence and the dropout (ms) and the
# clicks (dB) of the recording, and the silence and the dropout of the join as decoded (ms). A
# recording that lost samples on a busy machine is made again.
hear() {
    ffmpeg -v error -flags2 +skip_manual -i "$1" -f s16le -ac 2 -ar 44100 -y "$work/turn.raw"
    turn=$(($(wc -c <"$work/turn.raw") / 4))
    printf '%s\t' "$(awk "BEGIN { printf \"%+.1f\", ($turn - $2) * 1000 / 44100 }")"
    "$tool" join "$work/turn.raw" "$work/join.raw"
    for attempt in 1 2 3 4; do
        if heard=$(record); then
            break
        fi
    done
    echo "$heard"
}

record() {
    parec -d vmcseam.monitor --latency-msec=20 --format=s16le --rate=44100 --channels=2 --raw \
        >"$work/recording.raw" &
    recorder=$!
    sleep 1
    paplay --device=vmcseam --latency-msec=20 --raw --format=s16le --rate=44100 --channels=2 \
        "$work/join.raw"
    sleep 0.5
    kill "$recorder"
    wait "$recorder" 2>/dev/null || true
    "$tool" measure "$work/join.raw" "$work/recording.raw"
}

printf 'file\tloop\tturn - loop (ms)\tsilence (ms)\tdropout (ms)\tclick (dB)\tat dropout (dB)\t'
printf 'decoded: silence (ms)\tdropout (ms)\n'
for file in "$@"; do
    [ "$looped" -gt 0 ] || break
    if loop=$("$tool" write "$file" "$work/loop.mp3"); then
        looped=$((looped - 1))
        printf '%s\t%s\t%s\n' "$(basename "$file")" "${loop%%	*}" \
            "$(hear "$work/loop.mp3" "${loop##*	}")"
    else
        printf '%s\t%s\n' "$(basename "$file")" "$loop"
    fi
done
