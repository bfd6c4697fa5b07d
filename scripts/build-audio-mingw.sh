#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds static FFmpeg (decoding only: the formats the program reads), LAME and libebur128
# for 64-bit Windows (MinGW-w64) from Debian's own source packages, the versions the Linux build uses,
# into the same cache folder as Qt. Prints the install prefix, alone on standard output. A
# second run with the cache in place only checks the stamp: the source versions and the
# configure lines.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/debian-source.sh
source scripts/ffmpeg-options.sh
exec 3>&1 1>&2

ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${AUDIO_PACKAGES[@]}" nasm

source_version() { dpkg-query -W -f='${source:Version}' "$1"; }
ffmpeg_version=$(source_version libavcodec-dev)
lame_version=$(source_version libmp3lame-dev)
ebur128_version=$(source_version libebur128-dev)
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/valdrune-music-changer
prefix=$cache_root/audio-mingw-static
work=$cache_root/audio-mingw-work
host=x86_64-w64-mingw32

lame_options=(--host=$host --enable-static --disable-shared --disable-frontend --disable-decoder
    --disable-gtktest --disable-dependency-tracking)
ffmpeg_options=(--enable-cross-compile --cross-prefix=$host- --arch=x86_64 --target-os=mingw32
    --pkg-config=false --enable-static --disable-shared "${FFMPEG_SLIM_OPTIONS[@]}")
# Static, with the compilers the program is built with; MinGW has no sys/queue.h of its own.
ebur128_options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
    -DENABLE_INTERNAL_QUEUE_H=ON -DCMAKE_INSTALL_LIBDIR=lib)
toolchain=$PWD/cmake/mingw-w64-compilers.cmake
# The toolchain file by its content, not its place: a checkout elsewhere reuses the cache.
stamp="ffmpeg $ffmpeg_version lame $lame_version ebur128 $ebur128_version | ${ffmpeg_options[*]} | ${lame_options[*]} | ${ebur128_options[*]} | toolchain $(sha256sum <"$toolchain" | cut -c1-16)"
if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
    echo "$prefix" >&3
    exit 0
fi
started=$SECONDS
rm -rf "$work" "$prefix"
debian_source "$work/apt" "$work" "lame=$lame_version"
debian_source "$work/apt" "$work" "ffmpeg=$ffmpeg_version"
# Where the Debian part of libebur128's source is not served beside its upstream tarball, the
# upstream source alone builds the same library.
if ! debian_source "$work/apt" "$work" "libebur128=$ebur128_version"; then
    orig=$(find "$work" -maxdepth 1 -name 'libebur128_*.orig.tar.*' | head -n 1)
    [ -n "$orig" ] && tar -xf "$orig" -C "$work"
fi

(cd "$(find "$work" -maxdepth 1 -type d -name 'lame-*' | head -n 1)" &&
    ./configure --prefix="$prefix" "${lame_options[@]}" >/dev/null &&
    make -j"$(nproc)" >/dev/null && make install >/dev/null)
(cd "$(find "$work" -maxdepth 1 -type d -name 'ffmpeg-*' | head -n 1)" &&
    ./configure --prefix="$prefix" "${ffmpeg_options[@]}" >/dev/null &&
    make -j"$(nproc)" >/dev/null && make install >/dev/null)
(cd "$(find "$work" -maxdepth 1 -type d -name 'libebur128-*' | head -n 1)" &&
    cmake -S . -B build-mingw -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${ebur128_options[@]}" >/dev/null &&
    cmake --build build-mingw -j"$(nproc)" >/dev/null && cmake --install build-mingw >/dev/null)
echo "$stamp" >"$prefix/.stamp"
rm -rf "$work"
echo "FFmpeg, LAME and libebur128 for MinGW built in $(((SECONDS - started) / 60)) min into $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix" >&3
