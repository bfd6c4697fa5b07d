#!/usr/bin/env bash
# Makes the download for Windows players: build/valdrune-music-changer-<version>-windows-x64.zip
# holding the program, one self-contained .exe, and a short README.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"

qt_prefix=$(scripts/build-qt-mingw.sh)
cmake --preset windows "-DCMAKE_PREFIX_PATH=$qt_prefix" >/dev/null
cmake --build --preset windows --target valdrune-music-changer

version=$(sed -n 's/^project(ValdruneMusicChanger VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=valdrune-music-changer-$version-windows-x64
stage=build/package/$name
rm -rf "$stage" "build/$name.zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/valdrune-music-changer.exe" build/windows/valdrune-music-changer.exe
sed 's/$/\r/' >"$stage/README.txt" <<TEXT
Valdrune 3 Music Changer $version

Replaces the background music of Valdrune 3 with MP3 files of your own. Pick a file for
any of the game's 40 music slots and press Change: each picked file is copied over the
game's own file of that slot.

Start valdrune-music-changer.exe; nothing needs installing. At the first start it asks for
the game's music folder (usually C:\\Program Files\\Korvex\\Valdrune3\\Mp3) and the language,
and keeps both in config.ini beside the .exe. Where that folder cannot be written, for
example under C:\\Program Files, config.ini goes to your own settings folder instead.

Undo: the first time a game file is replaced, the game's own file is kept in the folder
"Originals (Music Changer)" inside the game's music folder. The Default button copies all
of them back. To remove the program, delete the .exe and its config.ini.
TEXT
(cd build/package && zip -q -9 -r "../$name.zip" "$name")
echo "build/$name.zip"
