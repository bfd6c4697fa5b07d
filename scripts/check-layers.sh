#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The core's folders are layers: a folder includes only the folders below it that its line
# names, so that no folder depends on one that depends on it. Fails on an include against
# this table, and on a folder of the core that is not in it.
#   scripts/check-layers.sh [core folder]
#
# The layers, lowest first: each folder, what it may include, and what it holds.
#   files      nothing          the one seam to the disk, files written whole or not at all,
#                               the run lock, the platform's file names and text files, the
#                               failure numbers of file errors
#   settings   files            the slot table and the settings file
#   music      files settings   reading and converting music: the audio code's interface, the
#                               game's MP3 format, fits of picks, why music cannot be used
#   audio      files music      the audio code behind that interface (FFmpeg, LAME,
#                               libebur128), and MP3 gain without decoding
#   loudness   files settings music audio
#                               measuring loudness, matching a pick's to the game's music
#   fit        files music loudness
#                               finding the loops and seams of a pick (the silence at its
#                               ends by the one rule loudness/SilenceGate keeps)
#   report     files settings music loudness
#                               what a Change or a restore tells: its result, texts, messages
#   originals  files settings report
#                               the game's own music kept before it is first written over,
#                               the record of what was written, the restore, the lock's place
#   run        files settings music audio loudness report originals
#                               Change: every pick over its game file, in slot order
#   sets       files settings music
#                               music sets and the copies of their music
#   wine       files settings   the Wine prefixes of a home folder and the game in them
set -euo pipefail
core=${1:-"$(dirname "$0")/../core"}

declare -A allowed=(
    [files]=""
    [settings]="files"
    [music]="files settings"
    [audio]="files music"
    [loudness]="files settings music audio"
    [fit]="files music loudness"
    [report]="files settings music loudness"
    [originals]="files settings report"
    [run]="files settings music audio loudness report originals"
    [sets]="files settings music"
    [wine]="files settings"
)

status=0
for path in "$core"/*/; do
    folder=$(basename "$path")
    if [ -z "${allowed[$folder]+known}" ]; then
        echo "layers: core/$folder/ is in no layer of $0" >&2
        status=1
        continue
    fi
    while IFS=: read -r file line included; do
        target=${included%%/*}
        [ "$target" = "$folder" ] && continue
        case " ${allowed[$folder]} " in
        *" $target "*) ;;
        *)
            echo "layers: core/${file#"$core"/}:$line includes $included," \
                "but core/$folder/ may include only: ${allowed[$folder]:-nothing}" >&2
            status=1
            ;;
        esac
    done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"/]+/' "$path" |
        sed -E 's/^([^:]+:[0-9]+):.*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1:\2/')
done
exit $status
