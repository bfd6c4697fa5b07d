#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a static, trimmed Qt for 64-bit Windows (MinGW-w64) from Debian's own qt6-base
# source, with the host tools of the installed Qt, into a cache folder outside the tree.
# Prints the install prefix, alone on standard output. A second run with the cache in place only
# checks the stamp: the source version and the configure line.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/debian-source.sh
# The build talks on stderr; stdout is the prefix alone.
exec 3>&1 1>&2

ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
upstream_version=${host_version%%+*}
upstream_version=${upstream_version%%-*}
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/valdrune-music-changer
prefix=$cache_root/qt-$upstream_version-mingw-static
work=$cache_root/qt-$upstream_version-mingw-work

configure_options=(
    -xplatform win32-g++ -qt-host-path /usr -release -static -static-runtime
    -nomake tests -nomake examples -no-pkg-config -no-dbus -no-opengl
    -no-feature-vulkan -no-feature-sql -no-feature-xml
    -no-feature-printsupport -no-feature-concurrent -no-feature-direct2d
    -no-feature-tabletevent -no-feature-directwrite3
    -qt-zlib -qt-pcre -qt-harfbuzz -qt-freetype -qt-libpng -qt-libjpeg -no-icu
)
stamp="qt6-base $host_version | ${configure_options[*]}"

if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
    echo "$prefix" >&3
    exit 0
fi
started=$SECONDS

rm -rf "$work"
debian_source "$work/apt" "$work" "qt6-base=$host_version"
source_dir=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)

# Packages are looked up in the MinGW root as well, where Qt's configure asks.
cat >"$work/toolchain.cmake" <<EOF
include($PWD/cmake/mingw-w64-compilers.cmake)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

rm -rf "$prefix"
mkdir -p "$work/build"
cd "$work/build"
"$source_dir/configure" -prefix "$prefix" "${configure_options[@]}" -- -G Ninja \
    "-DCMAKE_TOOLCHAIN_FILE=$work/toolchain.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
cmake --build . --parallel "$(nproc)"
cmake --install .
echo "$stamp" >"$prefix/.stamp"
cd /
rm -rf "$work"
echo "Qt for MinGW built in $(((SECONDS - started) / 60)) min into $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix" >&3
