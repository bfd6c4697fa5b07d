#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Adds the program of this folder to the desktop's menu: its menu entry and icons, copied
# from share/ into the player's data folder (XDG_DATA_HOME, ~/.local/share by default), the
# entry naming this folder's program. Run it again after moving the folder.
# remove-desktop-entry.sh takes away exactly what this wrote: the entry records the folders
# that were made for it.
set -eu
folder=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd -P)
data=${XDG_DATA_HOME:-$HOME/.local/share}
entry=applications/org.example.ValdruneMusicChanger.desktop
made_key=X-Valdrune-Music-Changer-Made-Folders

say() {
    case ${LC_ALL:-${LC_MESSAGES:-${LANG:-}}} in
    hu*) printf '%s\n' "$1" ;;
    *) printf '%s\n' "$2" ;;
    esac
}

case $folder in
*'
'*)
    say "A mappa neve sortörést tartalmaz, ezért menübejegyzés nem mutathat rá: $folder" \
        "The folder's name holds a line break, which a menu entry cannot name: $folder" >&2
    exit 1
    ;;
esac

# Folders made by an earlier run stay recorded, so that the removal still takes them away.
made=
if [ -f "$data/$entry" ]; then
    made=$(sed -n "s/^$made_key=//p" "$data/$entry")
fi
mkdir -p "$data"
# make_folders RELATIVE: makes each missing folder of the path, and records it.
make_folders() {
    path=
    rest=$1/
    while [ -n "$rest" ]; do
        path=${path:+$path/}${rest%%/*}
        rest=${rest#*/}
        if [ ! -d "$data/$path" ]; then
            mkdir "$data/$path"
            made=$made$path\;
        fi
    done
}

# In the entry: the program's path escaped as any string for TryExec; for Exec quoted as an
# argument first, and its % doubled, which Exec would read as a field code.
escaped_string() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }
quoted_argument() { escaped_string "\"$(printf '%s' "$1" | sed 's/[\\"`$]/\\&/g')\"" | sed 's/%/%%/g'; }
program=$folder/valdrune-music-changer

# Our own file names, without blanks.
for file in $(cd "$folder/share" && find . -type f ! -name '*.desktop' | sed 's|^\./||' | sort); do
    make_folders "${file%/*}"
    cp "$folder/share/$file" "$data/$file.new"
    mv "$data/$file.new" "$data/$file"
done
make_folders "${entry%/*}"
while IFS= read -r line; do
    case $line in
    '#'*) ;;
    Exec=*)
        printf 'TryExec=%s\nExec=%s\n' "$(escaped_string "$program")" "$(quoted_argument "$program")"
        printf '%s=%s\n' "$made_key" "$made"
        ;;
    *) printf '%s\n' "$line" ;;
    esac
done <"$folder/share/$entry" >"$data/$entry.new"
mv "$data/$entry.new" "$data/$entry"

say "A menübe került a Valdrune 3 Music Changer: $data/$entry, ikonjai a $data/icons mappában. A menüpont ezt indítja: $program" \
    "Added Valdrune 3 Music Changer to the menu: $data/$entry, its icons in $data/icons. The entry starts $program"
