#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Linux tarball in a bare system: a minimal Debian 12 with only the libraries the
# tarball takes from the system (scripts/linux-system.sh), fonts and a virtual display, and
# nothing of what the folder carries, made with mmdebstrap from the Debian mirror that apt's
# configuration names, and kept in the user's cache. There, as a player with a fresh home:
#   - ldd finds every library of every binary in the folder, the folder's own where it
#     carries one, and every library the folder does not carry comes from those packages;
#   - the first start shows the settings window, and OK writes config.ini beside the program;
#   - the second start shows the main window, which fits the Steam Deck's 1280x800 screen;
#   - a FLAC pick is converted into the game folder's slot (the audio module loads);
#   - a copy in a folder whose name holds a blank and non-ASCII letters starts, and keeps
#     config.ini beside it; a copy in a folder the player cannot write keeps it in the
#     player's settings folder;
#   - install-desktop-entry.sh and remove-desktop-entry.sh write the menu entry and icons,
#     and take away exactly those, in the locale's language.
# Needs root (a chroot), mmdebstrap and the mirror: outside CI, a missing one is reported
# and the check skipped; under CI (CI=true) it fails.
#   scripts/check-linux-tarball.sh [build/valdrune-music-changer-<version>-linux-x86_64.tar.xz]
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/linux-system.sh

suite=bookworm
player=1000
# Beside the system's libraries: a virtual display, and fonts, which every desktop has.
ROOT_EXTRA_PACKAGES=(xvfb fonts-dejavu-core)
# Debian 12's PulseAudio client pulls LAME in through its sound-file library; the folder's
# own must be the one loaded, so the root goes without it.
ROOT_REMOVED_PACKAGES=(libmp3lame0)
# What the folder carries, which the root must not hold.
CARRIED_PACKAGES='^(libqt6|qt6-|libav|libsw|libpostproc|libmp3lame|libebur128)'

skip() {
    if [ "${CI:-}" = "true" ]; then
        echo "bare system: $1" >&2
        exit 1
    fi
    echo "bare system: skipped, $1"
    exit 0
}

if [ "${1:-}" != "--inside" ]; then
    started=$SECONDS
    tarball=${1:-$(scripts/package-linux.sh | tail -n 1)}
    # What the folder must hold, whether or not the bare system can be made.
    listing=$(tar -tf "$tarball")
    for file in valdrune-music-changer libvmc-audio.so qt.conf LICENSE README.txt THIRD-PARTY.txt \
        THIRD-PARTY-LICENSES.txt install-desktop-entry.sh remove-desktop-entry.sh \
        translations/qtbase_hu.qm plugins/platforms/libqxcb.so plugins/platforms/libqwayland-egl.so; do
        grep -q "^[^/]*/$file\$" <<<"$listing" || { echo "bare system: $tarball lacks $file" >&2; exit 1; }
    done
    ! grep -q "/config.ini\$" <<<"$listing" || { echo "bare system: $tarball holds a config.ini" >&2; exit 1; }
    notices=$(tar -xOf "$tarball" --wildcards '*/THIRD-PARTY.txt')
    for library in FFmpeg LAME libebur128 ICU "Qt (" xxHash; do
        grep -qF -- "- $library" <<<"$notices" || { echo "bare system: THIRD-PARTY.txt does not name $library" >&2; exit 1; }
    done
    [ "$(id -u)" -eq 0 ] || skip "it needs root rights (a chroot and mounts)"
    ensure_packages "${LINUX_CHECK_PACKAGES[@]}" || skip "its tools could not be installed: ${LINUX_CHECK_PACKAGES[*]}"
    # The Debian mirror of this release, as apt's configuration names it.
    mirrors=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(ORIGIN)' \
        'Identifier: Packages' 2>/dev/null |
        awk -v suite="$suite" '$3 == "main" && $4 == "Debian" && ($2 == suite || $2 == suite "-updates" || $2 == suite "-security") { print "deb " $1 " " $2 " main" }' |
        sort -u)
    [ -n "$mirrors" ] || skip "apt's configuration names no Debian $suite mirror (or apt-get update has not run)"
    cache=${XDG_CACHE_HOME:-$HOME/.cache}/valdrune-music-changer/bare-root-$suite
    packages=$(printf '%s\n' "${LINUX_SYSTEM_PACKAGES[@]}" "${ROOT_EXTRA_PACKAGES[@]}" | sort -u | paste -sd, -)
    stamp="$suite minbase $packages without ${ROOT_REMOVED_PACKAGES[*]}"
    if [ ! -f "$cache/stamp" ] || [ "$(cat "$cache/stamp")" != "$stamp" ]; then
        echo "bare system: making a minimal Debian $suite with $packages"
        rm -rf "$cache"
        mkdir -p "$cache"
        mapfile -t mirror_lines <<<"$mirrors"
        if ! mmdebstrap --quiet --variant=minbase --include="$packages" \
            --customize-hook="chroot \"\$1\" dpkg --purge --force-depends ${ROOT_REMOVED_PACKAGES[*]}" \
            "$suite" "$cache/root" "${mirror_lines[@]}" >"$cache/mmdebstrap.log" 2>&1; then
            tail -n 5 "$cache/mmdebstrap.log" >&2
            rm -rf "$cache/root"
            skip "mmdebstrap could not make the root from $(echo "$mirrors" | awk '{print $2}' | sort -u | paste -sd' ')"
        fi
        chroot "$cache/root" dpkg-query -W -f='${Package} ${Version}\n' >"$cache/packages.txt"
        echo "$stamp" >"$cache/stamp"
        echo "bare system: made in $((SECONDS - started)) s, $(wc -l <"$cache/packages.txt") packages, $(du -sm "$cache/root" | cut -f1) MB"
    fi
    if carried=$(grep -E "$CARRIED_PACKAGES" "$cache/packages.txt"); then
        echo "bare system: the root holds what the folder carries: $carried" >&2
        exit 1
    fi
    work=$(mktemp -d)
    chmod 755 "$work"
    trap 'rm -rf "$work"' EXIT
    # Mounts made inside go with the namespace, whatever way the check ends.
    unshare --mount --propagation private "$0" --inside "$cache" "$(realpath "$tarball")" "$work"
    echo "bare system: checked in $((SECONDS - started)) s"
    exit 0
fi

cache=$2
tarball=$3
work=$4
root=$work/root
mkdir -p "$root" "$work/upper" "$work/overlay"
mount -t overlay overlay -o "lowerdir=$cache/root,upperdir=$work/upper,workdir=$work/overlay" "$root"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"

program_pid=
display_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap cleanup EXIT
fail() {
    echo "bare system: $*" >&2
    [ -s "$work/program.log" ] && tail -n 20 "$work/program.log" | sed 's/^/  program: /' >&2
    exit 1
}

# A display number that neither this machine nor the bare system has in use: they share
# the abstract socket namespace.
number=90
while [ -e "/tmp/.X11-unix/X$number" ] || grep -q "@/tmp/.X11-unix/X$number\$" /proc/net/unix; do
    number=$((number + 1))
done
export DISPLAY=:$number
chroot "$root" Xvfb "$DISPLAY" -ac -nolisten tcp -screen 0 1280x800x24 >"$work/display.log" 2>&1 &
display_pid=$!
for _ in $(seq 100); do [ -S "$root/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
[ -S "$root/tmp/.X11-unix/X$number" ] || fail "the virtual display did not start: $(cat "$work/display.log")"

as_player() { setpriv --reuid=$player --regid=$player --clear-groups "$@"; }
# unpack FOLDER: the tarball's folder unpacked by the player into FOLDER (inside the root).
unpack() {
    mkdir -p "$root$1"
    chown $player:$player "$root$1"
    as_player tar -xf "$root/tmp/tarball.tar.xz" -C "$root$1"
    echo "$1/$(basename "$tarball" .tar.xz)"
}
new_home() {
    mkdir -p "$root$1"
    chown $player:$player "$root$1"
}
# start HOME FOLDER: starts the program of FOLDER as the player; its window's id in $window.
start() {
    chroot "$root" setpriv --reuid=$player --regid=$player --clear-groups \
        env -i HOME="$1" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin LANG=C.UTF-8 \
        "$2/valdrune-music-changer" >>"$work/program.log" 2>&1 &
    program_pid=$!
    window=$(timeout 90 xdotool search --sync --onlyvisible --name '^Valdrune 3 Music Changer$' 2>/dev/null |
        head -n 1) || true
}
stop() {
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=
}
width_of() { xdotool getwindowgeometry --shell "$1" | sed -n 's/^WIDTH=//p'; }
# first_start HOME FOLDER CONFIG: OK in the settings window of a first start stores the
# default folder and Hungarian in CONFIG.
first_start() {
    start "$1" "$2"
    [ -n "$window" ] || fail "the first start in $2 shows no window"
    width=$(width_of "$window")
    [ "$width" -lt 500 ] || fail "the first start in $2 shows a window $width pixels wide: the main window, not the settings window"
    # No window manager: one that is slow to start would leave the window unmapped.
    xdotool windowfocus --sync "$window" key --clearmodifiers alt+r
    for _ in $(seq 60); do [ -f "$root$3" ] && break; sleep 0.5; done
    expected=$(printf '"%s/.wine/drive_c/Program Files/Korvex/Valdrune3/Mp3/",1\r\n' "$1" | od -An -c)
    [ "$expected" = "$(od -An -c "$root$3" 2>/dev/null)" ] ||
        fail "OK at the first start in $2 did not store its settings in $3"
    stop
}

cp "$tarball" "$root/tmp/tarball.tar.xz"
chmod 644 "$root/tmp/tarball.tar.xz"
new_home /home/player
folder=$(unpack /home/player/Games)

# Every library found, and those not in the folder all from the system's packages.
declare -A from_system=()
while read -r file; do
    from_system[$(basename "$file")]=1
done < <(chroot "$root" dpkg -L "${LINUX_SYSTEM_PACKAGES[@]}" | grep -E '/lib[^/]*\.so(\.[0-9]+)*$')
from_system[ld-linux-x86-64.so.2]=1
binaries=0
while read -r file; do
    binaries=$((binaries + 1))
    inside=${file#"$root"}
    needs=" $(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | paste -sd' ' -) "
    for soname in $needs; do
        [ -e "$root$folder/lib/$soname" ] || [ -n "${from_system[$soname]:-}" ] ||
            fail "$inside needs $soname, neither in the folder nor one of the system's libraries"
    done
    while read -r soname _ path _; do
        if [ "$path" = not ]; then
            # A system library's own need that the folder carries (LAME, for the PulseAudio
            # client) is met by the folder's copy, which the program loads first.
            [[ $needs != *" $soname "* ]] && [ -e "$root$folder/lib/$soname" ] ||
                fail "ldd finds no $soname for $inside"
        elif [[ $needs == *" $soname "* ]] && [ -e "$root$folder/lib/$soname" ] &&
            [[ $(realpath -m "$root$path") != "$root$folder/lib/"* ]]; then
            fail "$inside loads $soname from $path, not the folder's own"
        fi
    done < <(chroot "$root" ldd "$inside" | grep "=>")
done < <(find "$root$folder" -type f \( -name '*.so*' -o -name valdrune-music-changer \))
# The slim FFmpeg gives every symbol, of its version, that the audio module was linked to.
undefined=$(chroot "$root" ldd -r "$folder/libvmc-audio.so" 2>&1 | grep "undefined symbol" || true)
[ -z "$undefined" ] || fail "the audio module lacks symbols: $undefined"
echo "bare system: ldd finds every library of the folder's $binaries binaries, the folder's own where it carries one"

first_start /home/player "$folder" "$folder/config.ini"
echo "bare system: the first start shows the settings window; OK stores $folder/config.ini"

# The game's folder, as the default names it, with the slot's own file; a FLAC pick.
game="/home/player/.wine/drive_c/Program Files/Korvex/Valdrune3/Mp3"
as_player mkdir -p "$root$game" "$root/home/player/Music"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=2" -ar 44100 -ac 2 \
    -c:a libmp3lame -b:a 128k "$work/CstleTown.mp3"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=660:duration=3" -ar 44100 -ac 2 \
    "$work/pick.flac"
install -o $player -g $player -m 644 "$work/CstleTown.mp3" "$root$game/CstleTown.mp3"
install -o $player -g $player -m 644 "$work/pick.flac" "$root/home/player/Music/pick.flac"

start /home/player "$folder"
[ -n "$window" ] || fail "the second start shows no window"
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH" -ge 500 ] || fail "the second start shows a window $WIDTH pixels wide, not the main window"
[ $((X + WIDTH)) -le 1280 ] && [ $((Y + HEIGHT)) -le 800 ] ||
    fail "the main window (${WIDTH}x$HEIGHT at $X,$Y) does not fit a 1280x800 screen"
echo "bare system: the second start shows the main window, ${WIDTH}x$HEIGHT, within 1280x800"
# The pointer alone, as Steam's desktop controls give it: a click on a control's middle,
# given in the twips of the main window's 616-pixel-wide layout, scaled as the window is.
click() {
    read -r x y < <(awk -v w="$WIDTH" -v x="$1" -v y="$2" 'BEGIN { s = w / 616; printf "%d %d\n", x / 15 * s, y / 15 * s }')
    xdotool mousemove --window "$window" "$x" "$y" click 1
}
# Slot 0's browse button, on page 1 (120 twips in); its file chooser takes a typed name.
click $((120 + 1200 + 1095 / 2)) $((120 + 255 / 2))
chooser=$(timeout 30 xdotool search --sync --onlyvisible --name '^Open$' 2>/dev/null | head -n 1) || true
[ -n "$chooser" ] || fail "slot 0's browse button opened no file chooser"
xdotool windowfocus --sync "$chooser" type --delay 20 /home/player/Music/pick.flac
xdotool key Return
for _ in $(seq 60); do
    xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 || break
    sleep 0.5
done
# Change.
click $((7920 + 1215 / 2)) $((3000 + 375 / 2))
kept="$root$game/Originals (Music Changer)/CstleTown.mp3"
for _ in $(seq 120); do
    [ -f "$kept" ] && ! cmp -s "$work/CstleTown.mp3" "$root$game/CstleTown.mp3" && break
    sleep 0.5
done
[ -f "$kept" ] || fail "Change did not keep the game's own file of slot 0"
cmp -s "$work/CstleTown.mp3" "$root$game/CstleTown.mp3" && fail "Change did not replace the game's file of slot 0"
length=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$root$game/CstleTown.mp3")
awk -v l="$length" 'BEGIN { exit !(l > 2.5 && l < 3.5) }' ||
    fail "the game's file of slot 0 is not the converted FLAC pick (it lasts $length s)"
codec=$(ffprobe -v error -select_streams a -show_entries stream=codec_name -of default=nw=1:nk=1 "$root$game/CstleTown.mp3")
[ "$codec" = "mp3" ] || fail "the game's file of slot 0 holds $codec, not MP3"
stop
echo "bare system: a FLAC pick, chosen and changed with pointer clicks, was converted into the game folder's slot"

# A folder whose name holds a blank and non-ASCII letters.
new_home "/home/player/Új otthon"
odd=$(unpack "/home/player/Zenecserélő és társai")
first_start "/home/player/Új otthon" "$odd" "$odd/config.ini"
echo "bare system: a copy in \"${odd%/*}\" starts and keeps config.ini beside it"

# A folder the player cannot write: the settings go to the player's own folder.
readonly_folder=$(unpack /opt/games)
chown -R root:root "$root$readonly_folder"
new_home /home/second
first_start /home/second "$readonly_folder" /home/second/.config/Zellerin/valdrune-music-changer/config.ini
[ ! -e "$root$readonly_folder/config.ini" ] || fail "a copy in a read-only folder wrote $readonly_folder/config.ini"
echo "bare system: a copy in the read-only $readonly_folder keeps config.ini in the player's folder"

# The menu entry: written in Hungarian where the locale is, taken away in English, and the
# rest of the data folder as it was.
data="/home/player/Új otthon/.local/share"
as_player mkdir -p "$root$data/applications" "$root$data/icons/hicolor/48x48/apps"
as_player touch "$root$data/applications/other.desktop" "$root$data/icons/hicolor/48x48/apps/other.png"
before=$(cd "$root$data" && find . | sort)
in_root_as_player() {
    chroot "$root" setpriv --reuid=$player --regid=$player --clear-groups \
        env -i HOME="/home/player/Új otthon" PATH=/usr/bin:/bin "$@"
}
said=$(in_root_as_player LANG=hu_HU.UTF-8 "$odd/install-desktop-entry.sh")
[[ $said == *"menübe"* ]] || fail "install-desktop-entry.sh said, under a Hungarian locale: $said"
entry="$root$data/applications/org.example.ValdruneMusicChanger.desktop"
[ -f "$entry" ] || fail "install-desktop-entry.sh wrote no $entry"
grep -qxF "Exec=\"$odd/valdrune-music-changer\"" "$entry" || fail "the menu entry does not start $odd: $(grep ^Exec= "$entry")"
validation=$(desktop-file-validate "$entry") || fail "the menu entry is not valid: $validation"
[ -f "$root$data/icons/hicolor/256x256/apps/valdrune-music-changer.png" ] ||
    fail "install-desktop-entry.sh wrote no icons"
said=$(in_root_as_player LANG=C.UTF-8 "$odd/remove-desktop-entry.sh")
[[ $said == *"Removed"* ]] || fail "remove-desktop-entry.sh said, under an English locale: $said"
after=$(cd "$root$data" && find . | sort)
[ "$before" = "$after" ] || fail "remove-desktop-entry.sh left the data folder changed: $(diff <(echo "$before") <(echo "$after") | tail -n +2)"
echo "bare system: install-desktop-entry.sh and remove-desktop-entry.sh add and take away the menu entry alone"
