#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes away what install-desktop-entry.sh wrote into the player's data folder
# (XDG_DATA_HOME, ~/.local/share by default): the menu entry, the icons, and the folders
# that were made for them, where nothing else has come into those since. The program's own
# folder and its settings stay.
set -euf
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

if [ ! -f "$data/$entry" ] || ! grep -q "^$made_key=" "$data/$entry"; then
    say "Itt nincs a Valdrune 3 Music Changernek menübejegyzése: $data/$entry. Semmi sem törlődött." \
        "There is no menu entry of Valdrune 3 Music Changer here: $data/$entry. Nothing was removed."
    exit 0
fi
made=$(sed -n "s/^$made_key=//p" "$data/$entry")

# Our own file names, without blanks.
for file in $(cd "$folder/share" && find . -type f ! -name '*.desktop' | sed 's|^\./||'); do
    rm -f "$data/$file"
done
rm -f "$data/$entry"
# The folders, deepest first: each was recorded after the folder holding it.
reversed=
rest=$made
while [ -n "$rest" ]; do
    reversed="${rest%%;*};$reversed"
    rest=${rest#*;}
done
IFS=';'
for path in $reversed; do
    rmdir "$data/$path" 2>/dev/null || true
done

say "A Valdrune 3 Music Changer menübejegyzése és ikonjai törölve a $data mappából." \
    "Removed the menu entry of Valdrune 3 Music Changer and its icons from $data."
