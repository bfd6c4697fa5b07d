#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Loudness matching, measured from outside with the ffmpeg command-line tool's ebur128 filter.
# Spread: picks from -6 to -30 LUFS (music-like: tones under a slow swell over pink noise;
# every fifth one with unlike channels, for a mono slot; every eighth one an MP3) against game
# music from -14 to -24 LUFS (every fifth slot 22.05 kHz mono), converted with matching on,
# MP3 picks matched too; each result must land within 0.5 LU of its game music (an MP3
# within 0.75 LU), or where the true-peak limit held it back, peak between -2.0 and -0.5 dBTP.
# Signals: white, pink and bright (+3 dB an octave) noise and music-like sound into every slot
# format of the table below, each within 0.4 LU of its game music, unless held back by the
# peak limit or more than half its loudness lies above the format's low-pass.
# Cost: COUNT FLAC files of SECONDS each converted with matching off and on (the picks'
# measuring timed, the game music measured before), and by ffmpeg's two-pass loudnorm, a
# measuring pass and an applying pass, one process per core.
#   cmake --build --preset default --target loudness_bench
#   bench/compare_loudness.sh [count=40] [seconds=60] [spread seconds=20] [folder=/tmp] [spread|cost]
source "$(dirname "$0")/common.sh"
count=${1:-40}; length=${2:-60}; spread_length=${3:-20}
make_work "${4:-/tmp}"
bench=build/default/bench/loudness_bench

# Integrated loudness and true peak, as "LUFS dBTP", to a hundredth: the filter's summary
# rounds to a tenth, which alone may move a difference by 0.1.
measure() {
    ffmpeg -nostdin -nostats -hide_banner -i "$1" \
        -af "ebur128=metadata=1:peak=true,ametadata=print:file=-" -f null - 2>/dev/null |
        awk -F= '/r128\.I=/ {i = $2} /true_peaks_ch/ {if ($2 + 0 > p) p = $2 + 0}
                 END {printf "%.2f %.2f\n", i, (p > 0 ? 20 * log(p) / log(10) : -99)}'
}
# Music-like sound at about -20 LUFS: three tones under a slow swell over pink noise, alike
# in both channels or, with "unlike", a different chord and noise in each.
music() { # file seconds rate channels pitch unlike
    local chord="(0.35*sin(2*PI*$5*t)+0.2*sin(2*PI*$5*1.5*t)+0.12*sin(2*PI*$5*2.01*t))*(0.6+0.4*sin(2*PI*0.3*t))"
    local other="(0.35*sin(2*PI*$5*1.26*t)+0.2*sin(2*PI*$5*1.89*t))*(0.6+0.4*sin(2*PI*0.23*t))"
    local exprs="$chord|$chord" layout=stereo
    [ "$6" = unlike ] && exprs="$chord|$other"
    ffmpeg -nostdin -v error -y -f lavfi -i "aevalsrc=exprs='$exprs':s=$3:d=$2" \
        -f lavfi -i "anoisesrc=color=pink:sample_rate=$3:duration=$2:amplitude=0.08:s=$RANDOM" \
        -f lavfi -i "anoisesrc=color=pink:sample_rate=$3:duration=$2:amplitude=0.08:s=$RANDOM" \
        -filter_complex "[1][2]amerge=inputs=2[noise];[0][noise]amix=inputs=2:normalize=0,aformat=channel_layouts=$layout" \
        -c:a pcm_f32le "$1"
}
# The music at a loudness: measured, then turned up or down to it.
at_loudness() { # source target-LUFS output codec-options...
    local now
    now=$(measure "$1" | cut -d' ' -f1)
    ffmpeg -nostdin -v error -y -i "$1" -af "volume=$(awk "BEGIN {print $2 - ($now)}")dB" "${@:4}" "$3"
}

part=${5:-both}
failures=0
if [ "$part" != cost ]; then
echo "== spread: $count picks of $spread_length s =="
mkdir -p "$work/spread/picks" "$work/spread/game" "$work/spread/out"
for i in $(seq 0 $((count - 1))); do
    slot=$((i % 40))
    reference_level=$(awk "BEGIN {printf \"%.1f\", -14 - 10 * $slot / 39}")
    pick_level=$(awk "BEGIN {printf \"%.1f\", -6 - 24 * (($slot * 17) % 40) / 39}")
    unlike=alike
    [ $((slot % 5)) -eq 4 ] && unlike=unlike
    music "$work/raw.wav" "$spread_length" 44100 2 $((150 + 11 * slot)) alike
    if [ $((slot % 5)) -eq 4 ]; then
        at_loudness "$work/raw.wav" "$reference_level" "$work/spread/game/$slot.mp3" -ac 1 -ar 22050 -c:a libmp3lame -b:a 64k
    else
        at_loudness "$work/raw.wav" "$reference_level" "$work/spread/game/$slot.mp3" -c:a libmp3lame -b:a 128k
    fi
    music "$work/raw.wav" "$spread_length" 44100 2 $((220 + 13 * slot)) "$unlike"
    if [ $((slot % 8)) -eq 3 ]; then
        at_loudness "$work/raw.wav" "$pick_level" "$work/spread/picks/$slot.mp3" -c:a libmp3lame -b:a 192k
    else
        at_loudness "$work/raw.wav" "$pick_level" "$work/spread/picks/$slot.flac" -sample_fmt s32 -c:a flac
    fi
done
"$bench" "$work/spread/picks" "$work/spread/game" "$work/spread/out" on mp3
printf '%4s %-5s %-6s %8s %8s %8s %8s %6s  %s\n' slot kind into pick game result diff peak verdict
for pick in "$work/spread/picks"/*; do
    name=$(basename "$pick"); slot=${name%.*}; kind=${name#*.}
    read -r pick_lufs _ <<<"$(measure "$pick")"
    read -r game_lufs _ <<<"$(measure "$work/spread/game/$slot.mp3")"
    read -r result_lufs result_peak <<<"$(measure "$work/spread/out/$slot.mp3")"
    into=stereo
    [ $((slot % 5)) -eq 4 ] && into=mono
    verdict=$(awk -v r="$result_lufs" -v g="$game_lufs" -v p="$result_peak" -v k="$kind" 'BEGIN {
        d = r - g; if (d < 0) d = -d
        if (d <= (k == "mp3" ? 0.75 : 0.5)) print "within"
        else if (r < g && p >= -2.0 && p <= -0.5) print "peak-limited"
        else print "OFF" }')
    printf '%4s %-5s %-6s %8s %8s %8s %8s %6s  %s\n' "$slot" "$kind" "$into" "$pick_lufs" "$game_lufs" \
        "$result_lufs" "$(awk "BEGIN {printf \"%+.2f\", $result_lufs - ($game_lufs)}")" "$result_peak" "$verdict"
done | sort -n | tee "$work/spread.txt"
failures=$(grep -c ' OFF$' "$work/spread.txt" || true)

echo "== signals: noise and music into each slot format, $spread_length s =="
mkdir -p "$work/signals/picks" "$work/signals/game" "$work/signals/out"
formats=("22050 1 64" "44100 2 128" "44100 2 192" "44100 2 256" "44100 2 320" "44100 1 96" "48000 2 192")
signals=(white pink bright music)
for f in "${!formats[@]}"; do
    read -r rate channels kbps <<<"${formats[$f]}"
    for s in "${!signals[@]}"; do
        slot=$((f * ${#signals[@]} + s))
        music "$work/raw.wav" "$spread_length" 44100 2 $((180 + 7 * slot)) alike
        at_loudness "$work/raw.wav" -20 "$work/signals/game/$slot.mp3" -ac "$channels" -ar "$rate" \
            -c:a libmp3lame -b:a "${kbps}k"
        if [ "${signals[$s]}" = music ]; then
            music "$work/raw.wav" "$spread_length" 44100 2 $((260 + 9 * slot)) alike
        elif [ "${signals[$s]}" = bright ]; then
            # White noise rising 3 dB an octave from 1 kHz on.
            ffmpeg -nostdin -v error -y -f lavfi \
                -i "anoisesrc=color=white:sample_rate=44100:duration=$spread_length:amplitude=0.1" \
                -af "firequalizer=gain='if(lt(f\,20)\,-60\,3*log(f/1000)/log(2))'" \
                -ac 2 -c:a pcm_f32le "$work/raw.wav"
        else
            ffmpeg -nostdin -v error -y -f lavfi \
                -i "anoisesrc=color=${signals[$s]}:sample_rate=44100:duration=$spread_length:amplitude=0.3" \
                -ac 2 -c:a pcm_f32le "$work/raw.wav"
        fi
        at_loudness "$work/raw.wav" -16 "$work/signals/picks/$slot.flac" -sample_fmt s32 -c:a flac
    done
done
"$bench" "$work/signals/picks" "$work/signals/game" "$work/signals/out" on 2>"$work/signals.log"
printf '%-6s %-16s %8s %8s %8s  %s\n' signal format game result diff verdict
for f in "${!formats[@]}"; do
    read -r rate channels kbps <<<"${formats[$f]}"
    for s in "${!signals[@]}"; do
        slot=$((f * ${#signals[@]} + s))
        read -r game_lufs _ <<<"$(measure "$work/signals/game/$slot.mp3")"
        read -r result_lufs _ <<<"$(measure "$work/signals/out/$slot.mp3")"
        note=$(sed -n "s/^$slot: .*\(held back\|beyond its format\).*/\1/p" "$work/signals.log")
        verdict=$(awk -v r="$result_lufs" -v g="$game_lufs" -v n="$note" 'BEGIN {
            d = r - g; if (d < 0) d = -d
            if (d <= 0.4) print "within"; else if (n != "") print n; else print "OFF" }')
        printf '%-6s %-16s %8s %8s %8s  %s\n' "${signals[$s]}" "$rate/$channels/$kbps" "$game_lufs" \
            "$result_lufs" "$(awk "BEGIN {printf \"%+.2f\", $result_lufs - ($game_lufs)}")" "$verdict"
    done
done | tee "$work/signals.txt"
failures=$((failures + $(grep -c ' OFF$' "$work/signals.txt" || true)))
awk '$6 != "" {d = $7 + 0; if (d < 0) d = -d; if ($9 == "within") {n++; s += d; if (d > m) m = d}}
     END {printf "within: %d results, mean |diff| %.2f LU, largest %.2f LU\n", n, s / n, m}' "$work/spread.txt"
echo "off target: $failures"
fi
[ "$part" = spread ] && exit $((failures > 0))

echo "== cost: $count FLAC files of $length s =="
mkdir -p "$work/cost/flac" "$work/cost/game" "$work/cost/off" "$work/cost/on" "$work/cost/loudnorm"
for i in $(seq 0 $((count - 1))); do
    ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=$((200 + 7 * i)):sample_rate=44100:duration=$length" \
        -f lavfi -i "anoisesrc=color=pink:sample_rate=44100:duration=$length:amplitude=0.1" \
        -filter_complex amerge=inputs=2 -ac 2 -c:a flac "$work/cost/flac/$i.flac"
    ffmpeg -nostdin -v error -i "$work/cost/flac/$i.flac" -af volume=-6dB -c:a libmp3lame -b:a 192k \
        "$work/cost/game/$i.mp3"
done
sync
elapsed() { echo "$(($(date +%s%N) - $1))" | awk '{printf "%.2f", $1 / 1e9}'; }
# The program's own clock: its conversions, the picks' measuring within them.
timed() {
    local out
    out=$("$bench" "$@")
    echo "$out" >&2
    sed -n 's/.* in \([0-9.]*\) s:.*/\1/p' <<<"$out"
}
off=$(timed "$work/cost/flac" "$work/cost/game" "$work/cost/off" off)
on=$(timed "$work/cost/flac" "$work/cost/game" "$work/cost/on" on)
cat >"$work/loudnorm.sh" <<'SCRIPT'
#!/usr/bin/env bash
set -euo pipefail
target="I=-18:TP=-1.5:LRA=11"
json=$(ffmpeg -nostdin -hide_banner -i "$1" -af "loudnorm=$target:print_format=json" -f null - 2>&1 | sed -n '/^{/,/^}/p')
value() { sed -n "s/.*\"$1\" : \"\\([^\"]*\\)\".*/\\1/p" <<<"$json"; }
ffmpeg -nostdin -v error -i "$1" -af "loudnorm=$target:measured_I=$(value input_i):measured_TP=$(value input_tp):measured_LRA=$(value input_lra):measured_thresh=$(value input_thresh):offset=$(value target_offset):linear=true" \
    -ar 44100 -c:a libmp3lame -b:a 192k -compression_level 3 "$2/$(basename "$1" .flac).mp3"
SCRIPT
start=$(date +%s%N)
ls "$work/cost/flac"/*.flac | xargs -P "$(nproc)" -I{} bash "$work/loudnorm.sh" {} "$work/cost/loudnorm"
sync
loudnorm=$(elapsed "$start")
printf '%-34s %8s %8s\n' conversion "wall s" ratio
printf '%-34s %8s %8s\n' "matching off" "$off" 1.00
printf '%-34s %8s %8s\n' "matching on (picks measured)" "$on" "$(awk "BEGIN {printf \"%.2f\", $on / $off}")"
printf '%-34s %8s %8s\n' "ffmpeg two-pass loudnorm, $(nproc) procs" "$loudnorm" \
    "$(awk "BEGIN {printf \"%.2f\", $loudnorm / $off}")"
echo "matching on / loudnorm: $(awk "BEGIN {printf \"%.2f\", $on / $loudnorm}")"
[ "$failures" -eq 0 ]
