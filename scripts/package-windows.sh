#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the download for Windows players: build/valdrune-music-changer-<version>-windows-x64.zip
# holding the program, one self-contained .exe, a short README.txt, the program's licence and
# the notices and licences of every library linked into it. Beside the zip: the program's
# source of the same version and the Debian source packages the build used, so that the
# program can be rebuilt with a changed library, as the LGPL asks of a static link.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/debian-source.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"

qt_prefix=$(scripts/build-qt-mingw.sh)
audio_prefix=$(scripts/build-audio-mingw.sh)
cmake --preset windows "-DCMAKE_PREFIX_PATH=$qt_prefix;$audio_prefix" >/dev/null
cmake --build --preset windows --target valdrune-music-changer

version=$(sed -n 's/^project(ValdruneMusicChanger VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=valdrune-music-changer-$version-windows-x64
stage=build/windows-zip/$name
rm -rf "$stage" "build/$name.zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/valdrune-music-changer.exe" build/windows/valdrune-music-changer.exe
sed 's/$/\r/' >"$stage/README.txt" <<TEXT
Valdrune 3 Music Changer $version

Replaces the background music of Valdrune 3 with music of your own. Pick a file for any of
the game's 40 music slots and press Change: an MP3 is copied over the game's own file of
that slot; FLAC, Ogg, Opus, M4A, WAV, AIFF or WMA is converted to the game's MP3 format.

Start valdrune-music-changer.exe; nothing needs installing. At the first start it asks for
the game's music folder (usually C:\\Program Files\\Korvex\\Valdrune3\\Mp3) and the language,
and keeps both in config.ini beside the .exe. Where that folder cannot be written, for
example under C:\\Program Files, config.ini goes to your own settings folder instead.

Undo: the first time a game file is replaced, the game's own file is kept in the folder
"Originals (Music Changer)" inside the game's music folder. The Default button copies all
of them back. To remove the program, delete the .exe and its config.ini.

Valdrune 3 Music Changer is free software under the GNU General Public License, version 3 or
later (LICENSE.txt); its source, and that of the libraries in it, lies beside this download.
THIRD-PARTY.txt names those libraries.
TEXT

# The libraries in the .exe: Debian's source package and version of each.
source_of() { dpkg-query -W -f='${source:Package} ${source:Version}' "$1"; }
read -r qt_source qt_version <<<"$(source_of libqt6core6)"
read -r multimedia_source multimedia_version <<<"$(source_of libqt6multimedia6)"
read -r xxhash_source xxhash_version <<<"$(source_of libxxhash-dev)"
read -r mingw_source mingw_version <<<"$(source_of mingw-w64-x86-64-dev)"
read -r gcc_source gcc_version <<<"$(source_of gcc-mingw-w64-x86-64-posix-runtime)"
read -r ffmpeg_source ffmpeg_version <<<"$(source_of libavcodec-dev)"
read -r lame_source lame_version <<<"$(source_of libmp3lame-dev)"
read -r translations_source translations_version <<<"$(source_of qt6-translations-l10n)"
read -r ebur128_source ebur128_version <<<"$(source_of libebur128-dev)"
sources=build/$name-sources
rm -rf "$sources"
debian_source "$sources/.apt" "$sources" "$qt_source=$qt_version" --download-only
debian_source "$sources/.apt" "$sources" "$multimedia_source=$multimedia_version" --download-only
debian_source "$sources/.apt" "$sources" "$xxhash_source=$xxhash_version" --download-only
debian_source "$sources/.apt" "$sources" "$mingw_source=$mingw_version" --download-only
debian_source "$sources/.apt" "$sources" "$ffmpeg_source=$ffmpeg_version" --download-only
debian_source "$sources/.apt" "$sources" "$lame_source=$lame_version" --download-only
# Its source is not always served where the binary package is: the notice then says where it
# is published instead of leaving the download without the program.
debian_source "$sources/.apt" "$sources" "$translations_source=$translations_version" --download-only ||
    echo "Debian source package $translations_source $translations_version: not served here when this download was made; it is in Debian's archive under that name and version." \
        >"$sources/$translations_source-$translations_version.txt"
debian_source "$sources/.apt" "$sources" "$ebur128_source=$ebur128_version" --download-only ||
    ls "$sources/${ebur128_source}_"*.orig.tar.* >/dev/null
rm -rf "$sources/.apt"
git archive --format=tar.gz --prefix="valdrune-music-changer-$version/" \
    -o "build/valdrune-music-changer-$version-source.tar.gz" HEAD

# What Qt's own source says of the third-party code it builds in.
attributions=$(mktemp -d)
tar -xJf "$(ls "$sources"/qt6-base_*.orig.tar.xz)" -C "$attributions" --wildcards \
    '*/src/3rdparty/*/qt_attribution.json'
qt_bundled=$(python3 - "$attributions" <<'PYTHON'
import glob, json, sys
# Code for other platforms or for features this build leaves out.
not_built = ("Gradle", "Android", "XCB", "Vulkan", "forkfd", "libpsl", "Pixman",
             "Bitstream Vera", "DejaVu")
entries = []
for path in glob.glob(sys.argv[1] + "/*/src/3rdparty/*/qt_attribution.json"):
    with open(path, encoding="utf-8") as f:
        data = json.loads(f.read(), strict=False)
    entries += data if isinstance(data, list) else [data]
for entry in sorted(entries, key=lambda e: e.get("Name", "").lower()):
    if any(word in entry.get("Name", "") for word in not_built):
        continue
    licence = entry.get("LicenseId") or entry.get("License", "")
    print("  - {} {} ({})".format(entry.get("Name"), entry.get("Version", ""), licence).replace("  (", " ("))
PYTHON
)
rm -rf "$attributions"
sed 's/$/\r/' >"$stage/THIRD-PARTY.txt" <<TEXT
Libraries linked into valdrune-music-changer.exe

Each was built from the Debian source package named, which lies beside this download; the
licence texts are in THIRD-PARTY-LICENSES.txt.

- Qt $(dpkg-query -W -f='${Version}' qt6-base-dev | sed 's/[+-].*//') (Qt Core, Qt Gui, Qt Widgets, Qt Network), LGPL-3.0-only
  Debian source package: $qt_source $qt_version
  Built into it, from Qt's own source:
$qt_bundled
- Qt Multimedia $(echo "$multimedia_version" | sed 's/[+-].*//') (its sound output only, as scripts/build-qt-mingw.sh
  configures it), LGPL-3.0-only
  Debian source package: $multimedia_source $multimedia_version
- FFmpeg $(echo "$ffmpeg_version" | sed 's/^[0-9]*://; s/-.*//') (libavformat, libavcodec, libswresample, libavutil; decoding only,
  as scripts/build-audio-mingw.sh configures it), LGPL-2.1-or-later
  Debian source package: $ffmpeg_source $ffmpeg_version
- LAME $(echo "$lame_version" | sed 's/-.*//') (libmp3lame), LGPL-2.0-or-later
  Debian source package: $lame_source $lame_version
- Qt's Hungarian translation $(echo "$translations_version" | sed 's/[+-].*//') (qtbase_hu.qm: the file dialogs' and message
  boxes' own texts), GPL-3.0-only WITH Qt-GPL-exception-1.0
  Debian source package: $translations_source $translations_version
- libebur128 $(echo "$ebur128_version" | sed 's/-.*//'), MIT (its copy of sys/queue.h: BSD-3-Clause)
  Debian source package: $ebur128_source $ebur128_version
- xxHash $(echo "$xxhash_version" | sed 's/-.*//'), BSD-2-Clause
  Debian source package: $xxhash_source $xxhash_version
- MinGW-w64 runtime and winpthreads $(echo "$mingw_version" | sed 's/-.*//'), ZPL-2.1 and MIT
  Debian source package: $mingw_source $mingw_version
- GCC runtime: libgcc and libstdc++ 12, GPL-3.0-or-later WITH GCC-exception-3.1
  Debian package: $gcc_source $gcc_version (the runtime exception asks for no source)
TEXT
{
    for package in libqt6core6 libqt6multimedia6 qt6-translations-l10n libavcodec-dev libmp3lame-dev \
        libebur128-dev libxxhash-dev mingw-w64-x86-64-dev \
        gcc-mingw-w64-x86-64-posix-runtime; do
        printf '==== %s ====\n\n' "$(source_of "$package")"
        cat "/usr/share/doc/$package/copyright"
        printf '\n\n'
    done
} | sed 's/$/\r/' >"$stage/THIRD-PARTY-LICENSES.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"

(cd build/windows-zip && zip -q -9 -r "../$name.zip" "$name")
echo "build/$name.zip"
