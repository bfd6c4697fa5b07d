#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The seam of a found loop as the game hears it, in game music of this machine's packages:
# for each file, Find a loop, the fitted loop written at 44.1 kHz stereo 192 kbit/s, decoded
# without gapless trimming as the game's decoder does, and the join of two turns (the last two
# seconds of one, the first two of the next) played through a null sound output and recorded.
# One row per file with the framing of the seam in whole MP3 frames, and one without.
#
#   bench/seam_recording.sh [BUILD_DIR] [FILE...]
#
# Needs ffmpeg, pulseaudio (started here where none runs), pactl, paplay and parec.
set -eu

build=${1:-build/default}
[ $# -gt 0 ] && shift
tool=$build/bench/fit_render_bench
[ -x "$tool" ] || { echo "build the fit_render_bench target first" >&2; exit 1; }

# Without files named: every music file of the first two packages, and of the third the
# first six in which a loop is found (each one passed over is listed).
looped=6
if [ $# -eq 0 ]; then
    files=$( (dpkg -L fb-music-high asc-music 2>/dev/null || true) |
        grep -E '\.(ogg|mp3|xm)$' | sort)
    wesnoth=$( (dpkg -L wesnoth-1.16-music 2>/dev/null || true) | grep -E '\.ogg$' | sort)
    set -- $files $wesnoth
    looped=$(($(echo $files | wc -w) + 6))
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

printf 'framing\tfile\tloop\tturn - loop (ms)\tsilence (ms)\tdropout (ms)\tclick (dB)\tat dropout (dB)\t'
printf 'decoded: silence (ms)\tdropout (ms)\n'
for file in "$@"; do
    [ "$looped" -gt 0 ] || break
    looped=$((looped - 1))
    for framing in on off; do
        if loop=$(VMC_SEAM_FRAMING=$framing "$tool" write "$file" "$work/loop.mp3"); then
            printf '%s\t%s\t%s\t%s\n' "$framing" "$(basename "$file")" "${loop%%	*}" \
                "$(hear "$work/loop.mp3" "${loop##*	}")"
        else
            # Not written: the loop finder's answer is the same either way.
            printf '%s\t%s\t%s\n' "-" "$(basename "$file")" "$loop"
            case $file in *wesnoth*) looped=$((looped + 1)) ;; esac
            break
        fi
    done
done
