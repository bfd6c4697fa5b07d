#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the documents' screenshots from the real program on a virtual display, as a player
# would: a portable copy with its config.ini, a game folder of made music, a music set of four
# picks opened with Ctrl+O, Change, the pointer resting on the first pick for its tooltip; then
# that slot's menu, "Fit to the game…" and "Find a loop". Once in English (docs/main-window.png,
# docs/fit-window.png) and once in Hungarian (docs/main-window.hu.png, docs/fit-window.hu.png).
# The player's own folders are never touched: the program runs with a home of its own.
#
#   scripts/screenshots.sh [en|hu]...      (both where none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" ffmpeg xvfb xdotool

cmake --preset default >/dev/null
cmake --build --preset default --target valdrune-music-changer
build=build/default/app

# A fixed place, so that the paths the pictures show are the same at every run.
work=${TMPDIR:-/tmp}/vmc-screenshots
rm -rf "$work"
mkdir -p "$work"
display_pid=
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "screenshots: $*" >&2
    [ -s "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}

# A piece of music with a steady beat that repeats: four chords of a bar each over a kick,
# an arpeggio, and hats in every other 16 s; 120 beats a minute, a fade at its end.
# $1 the arpeggio's level, which differs between the channels.
piece() {
    echo "st(0,mod(t,2));st(4,mod(floor(t/2),4));" \
        "st(1,if(eq(ld(4),0),261.63,if(eq(ld(4),1),220,if(eq(ld(4),2),174.61,196))));" \
        "st(2,ld(1)*if(eq(ld(4),1),1.18921,1.25992));st(3,ld(1)*1.49831);" \
        "st(5,mod(floor(ld(0)/0.25),4));" \
        "st(6,if(eq(ld(5),0),2*ld(1),if(eq(ld(5),1),2*ld(2),if(eq(ld(5),2),2*ld(3),4*ld(1)))));" \
        "st(7,mod(ld(0),0.5));" \
        "(0.8+0.2*gte(mod(t,32),16))*(" \
        "0.07*(sin(2*PI*ld(1)*ld(0))+sin(2*PI*ld(2)*ld(0))+sin(2*PI*ld(3)*ld(0)))*(0.7+0.3*exp(-ld(7)*4))" \
        "+0.12*sin(PI*ld(1)*ld(0))*exp(-mod(ld(0),1)*1.5)" \
        "+gte(t,4)*0.45*sin(2*PI*(50+80*exp(-ld(7)*40))*ld(7))*exp(-ld(7)*12)" \
        "+gte(t,4)*$1*sin(2*PI*ld(6)*ld(0))*exp(-mod(ld(0),0.25)*10)" \
        "+gte(mod(t,32),16)*0.05*sin(2*PI*7000*ld(0))*sin(2*PI*9100*ld(0))*exp(-mod(ld(0)+0.25,0.5)*80))" |
        tr -d ' '
}

home=$work/player
music=$home/Music
game=$home/Games/Valdrune3/Mp3
program=$home/Valdrune3MusicChanger
mkdir -p "$music" "$game" "$program" docs
echo "making the music"
ffmpeg -v error -f lavfi -i "aevalsrc='$(piece 0.08)|$(piece 0.05)':s=44100:d=104" \
    -af "afade=t=out:st=97:d=7" -c:a flac "$music/Harbour Theme.flac"
ffmpeg -v error -i "$music/Harbour Theme.flac" -af "atempo=0.9,asetrate=44100*1.12,aresample=44100" \
    -t 70 -c:a libvorbis -q:a 4 "$music/Meadow Walk.ogg"
ffmpeg -v error -i "$music/Harbour Theme.flac" -af "atempo=1.3" -t 60 -c:a libmp3lame -b:a 192k \
    "$music/Skirmish.mp3"
ffmpeg -v error -i "$music/Harbour Theme.flac" -af "asetrate=44100*0.8,aresample=48000" -t 80 \
    -c:a libopus -b:a 128k "$music/Night Watch.opus"
# The game's own music: 22.05 kHz mono MP3s, a minute long, put in place for each language.
ffmpeg -v error -i "$music/Harbour Theme.flac" -af "asetrate=44100*0.75,aresample=22050,volume=-2dB" \
    -ac 1 -t 60 -c:a libmp3lame -b:a 64k "$work/game.mp3"
cat >"$home/Screenshot set.m3u8" <<EOF
#EXTM3U
#EXTINF:104,Castle
#VALDRUNE-SLOT:CstleTown.mp3
Music/Harbour Theme.flac
#EXTINF:70,Grass
#VALDRUNE-SLOT:Grass.mp3
Music/Meadow Walk.ogg
#EXTINF:80,Evil Theme
#VALDRUNE-SLOT:EvilTheme.mp3
Music/Night Watch.opus
#EXTINF:60,Combat 1
#VALDRUNE-SLOT:Combat01.mp3
Music/Skirmish.mp3
EOF
# A portable copy: the program, its audio module beside it, and config.ini.
cp "$build/valdrune-music-changer" "$build/libvmc-audio.so" "$program/"

Xvfb -displayfd 3 -ac -screen 0 1280x1024x24 3>"$work/display" >/dev/null 2>&1 &
display_pid=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "the virtual display did not start"
DISPLAY=:$(tr -d "[:space:]" <"$work/display")
export DISPLAY

# The window's place and size as ffmpeg's screen grab takes them: "WxH X,Y".
geometry() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "${WIDTH}x${HEIGHT} ${X},${Y}"
}

# $1 the window, $2 the PNG.
grab() {
    local size at
    read -r size at < <(geometry "$1")
    ffmpeg -v error -f x11grab -draw_mouse 0 -video_size "$size" -i "$DISPLAY+$at" \
        -frames:v 1 -y "$2"
    echo "$2"
}

# Waits until the file differs from the one given, for Change's writes.
wait_for_change() {
    for _ in $(seq 120); do
        cmp -s "$1" "$2" || return 0
        sleep 0.5
    done
    fail "Change did not write $1"
}

# Whether two pictures of a window look alike: the same size, and no more apart than a text
# cursor blinking (a 1 by 15 pixel stroke is about 54 dB; a marker moved is under 35).
alike() {
    local psnr
    psnr=$(ffmpeg -hide_banner -i "$1" -i "$2" -lavfi psnr -f null - 2>&1 |
        sed -n 's/.*average:\([0-9.inf]*\).*/\1/p')
    [ "$psnr" = inf ] || awk -v p="${psnr:-0}" 'BEGIN { exit !(p >= 45) }'
}

# Waits until the window has looked alike for $2 seconds (a waveform drawn, a tooltip shown),
# and, where a picture is given, until it no longer looks like that first.
settle() {
    local window=$1 seconds=$2 before=${3:-} same=0
    rm -f "$work/last.png"
    for _ in $(seq 120); do
        sleep 0.5
        grab "$window" "$work/now.png" >/dev/null
        if [ -n "$before" ] && alike "$work/now.png" "$before"; then
            continue
        fi
        before=
        if [ -f "$work/last.png" ] && alike "$work/now.png" "$work/last.png"; then
            same=$((same + 1))
            [ "$same" -ge $((seconds * 2)) ] && return 0
        else
            same=0
            mv "$work/now.png" "$work/last.png"
        fi
    done
    fail "the window did not settle"
}

# The main window's point at the twips given, from its left and top.
at_twips() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    # The layout is scaled as a whole: the window is 9240 twips wide.
    echo "$((X + $2 * WIDTH / 9240)) $((Y + $3 * WIDTH / 9240))"
}

# $1 the language code of config.ini, $2 the screenshots' suffix, $3 the slot menu's access
# key of "Fit to the game…", $4 the Fit window's of "Find a loop", $5 its title's start.
screenshots() {
    local language=$1 suffix=$2 fitKey=$3 loopKey=$4 fitTitle=$5
    rm -rf "$game"
    mkdir -p "$game"
    for name in CstleTown Grass Combat01 EvilTheme Dirt Lava Water MainMenu; do
        cp "$work/game.mp3" "$game/$name.mp3"
    done
    printf '"%s/",%s\r\n' "$game" "$language" >"$program/config.ini"
    env -i HOME="$home" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin LANG=C.UTF-8 \
        "$program/valdrune-music-changer" >>"$work/program.log" 2>&1 &
    program_pid=$!
    local window
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Valdrune 3 Music Changer$' |
        head -n 1) || true
    [ -n "$window" ] || fail "no main window"
    settle "$window" 2
    xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+o
    local dialog
    dialog=$(timeout 30 xdotool search --sync --onlyvisible --name '^(Music set|Zenekészlet)$' |
        head -n 1) || true
    [ -n "$dialog" ] || fail "no file chooser for the set"
    settle "$dialog" 2
    xdotool windowfocus --sync "$dialog" type --delay 20 "$home/Screenshot set.m3u8"
    xdotool key --clearmodifiers Return
    settle "$window" 2
    # Change waits for the picks' checks, then writes them.
    xdotool windowfocus --sync "$window" key --clearmodifiers alt+c
    for name in CstleTown Grass Combat01 EvilTheme; do
        wait_for_change "$game/$name.mp3" "$work/game.mp3"
    done
    # The pointer on slot 0's box (at 120, 120 + 360 in the page, 2415 by 375) for its tooltip.
    settle "$window" 2
    local x y
    read -r x y < <(at_twips "$window" 720 667)
    xdotool mousemove "$x" "$y"
    settle "$window" 2
    grab "$window" "docs/main-window$suffix.png"
    # The slot's menu from its label (1215 by 255), then the Fit window.
    local windows
    windows=$(xdotool search --onlyvisible --class valdrune-music-changer | sort)
    read -r x y < <(at_twips "$window" 720 247)
    xdotool mousemove "$x" "$y" click 3
    for _ in $(seq 60); do
        [ "$(xdotool search --onlyvisible --class valdrune-music-changer | sort)" != "$windows" ] &&
            break
        sleep 0.5
    done
    xdotool key "$fitKey"
    local fit
    fit=$(timeout 30 xdotool search --sync --onlyvisible --name "^$fitTitle" | head -n 1) || true
    [ -n "$fit" ] || fail "no Fit window"
    xdotool mousemove 0 1000
    settle "$fit" 2
    cp "$work/last.png" "$work/decoded.png"
    xdotool windowfocus --sync "$fit" key --clearmodifiers "alt+$loopKey"
    # Found loops move the markers; the search itself takes about a second.
    settle "$fit" 4 "$work/decoded.png"
    grab "$fit" "docs/fit-window$suffix.png"
    kill "$program_pid"
    wait "$program_pid" 2>/dev/null || true
    program_pid=
}

languages=("$@")
[ ${#languages[@]} -gt 0 ] || languages=(en hu)
for language in "${languages[@]}"; do
    case $language in
    en) screenshots 2 "" m f "Fit to the game: " ;;
    hu) screenshots 1 .hu i i "Illesztés a játékhoz: " ;;
    *) fail "no language $language: en or hu" ;;
    esac
done
