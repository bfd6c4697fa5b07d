#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the shared FFmpeg libraries that travel in the Linux tarball from Debian's own source
# package, the version the program is built against, with only the parts the program uses
# (scripts/ffmpeg-options.sh): the same sonames and symbol versions as Debian's, without the
# codec libraries Debian's build links in. Into the user's cache; prints the install prefix,
# alone on standard output. A second run with the cache in place only checks the stamp.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/debian-source.sh
source scripts/ffmpeg-options.sh
exec 3>&1 1>&2

ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev nasm

ffmpeg_version=$(dpkg-query -W -f='${source:Version}' libavcodec-dev)
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/valdrune-music-changer
prefix=$cache_root/ffmpeg-linux-shared
work=$cache_root/ffmpeg-linux-work
ffmpeg_options=(--pkg-config=false --enable-shared --disable-static "${FFMPEG_SLIM_OPTIONS[@]}")
stamp="ffmpeg $ffmpeg_version | ${ffmpeg_options[*]} | gcc $(gcc -dumpfullversion)"
if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
    echo "$prefix" >&3
    exit 0
fi
started=$SECONDS
rm -rf "$work" "$prefix"
debian_source "$work/apt" "$work" "ffmpeg=$ffmpeg_version"
(cd "$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'ffmpeg-*' | head -n 1)" &&
    ./configure --prefix="$prefix" "${ffmpeg_options[@]}" >/dev/null &&
    make -j"$(nproc)" >/dev/null && make install >/dev/null)
echo "$stamp" >"$prefix/.stamp"
rm -rf "$work"
echo "FFmpeg for the Linux tarball built in $((SECONDS - started)) s into $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix" >&3
