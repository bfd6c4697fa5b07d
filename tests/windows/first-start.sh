#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows program's first start under Wine on a virtual display: with no config.ini it
# shows the settings window; Alt+R presses OK, which leaves config.ini beside the .exe with
# the default folder and Hungarian.
set -euo pipefail

if [ "${1:-}" = "--on-display" ]; then
    program=$2
    wine "$program" >/dev/null 2>&1 &
    window=$(timeout 120 xdotool search --sync --onlyvisible --name '^Valdrune 3 Music Changer$' |
        head -n 1)
    # No window manager: one that is slow to start would leave the window unmapped.
    xdotool windowfocus --sync "$window" key --clearmodifiers alt+r
    for _ in $(seq 60); do
        [ -f "$(dirname "$program")/config.ini" ] && break
        sleep 0.5
    done
    exit 0
fi

folder=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$folder"' EXIT
cp "$1" "$folder/"
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$folder/$(basename "$1")"

expected=$(printf '"C:\\Program Files\\Korvex\\Valdrune3\\Mp3\\",1\r\n' | od -An -c)
actual=$(od -An -c "$folder/config.ini" 2>/dev/null || echo "no config.ini")
if [ "$expected" != "$actual" ]; then
    echo "config.ini beside the program: expected$expected, got$actual" >&2
    echo "0 passed, 1 failed"
    exit 1
fi
echo "1 passed, 0 failed"
