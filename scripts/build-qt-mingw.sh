#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a static, trimmed Qt for 64-bit Windows (MinGW-w64) from Debian's own qt6-base
# source, with the host tools of the installed Qt, into a cache folder outside the tree, and
# into the same prefix Qt Multimedia's sound output from Debian's own qt6-multimedia source.
# Prints the install prefix, alone on standard output. A second run with the cache in place
# only checks the stamps: the source versions and the configure lines.
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
multimedia_version=$(dpkg-query -W -f='${source:Version}' qt6-multimedia-dev)
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/valdrune-music-changer
prefix=$cache_root/qt-$upstream_version-mingw-static
work=$cache_root/qt-$upstream_version-mingw-work
mingw=/usr/x86_64-w64-mingw32

# Network stays in: Qt Multimedia is built only where Qt::Network is.
configure_options=(
    -xplatform win32-g++ -qt-host-path /usr -release -static -static-runtime
    -nomake tests -nomake examples -no-pkg-config -no-dbus -no-opengl
    -no-feature-vulkan -no-feature-sql -no-feature-xml
    -no-feature-printsupport -no-feature-concurrent -no-feature-direct2d
    -no-feature-tabletevent -no-feature-directwrite3
    -qt-zlib -qt-pcre -qt-harfbuzz -qt-freetype -qt-libpng -qt-libjpeg -no-icu
)
stamp="qt6-base $host_version | ${configure_options[*]}"
multimedia_options=(-DFEATURE_spatialaudio=OFF -DFEATURE_ffmpeg=OFF -DFEATURE_gstreamer=OFF
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)
multimedia_stamp="qt6-multimedia $multimedia_version | ${multimedia_options[*]} | sound output only"

is_stamped() { [ -f "$1" ] && [ "$(cat "$1")" = "$2" ]; }

# Packages are looked up in the MinGW root as well, where Qt's configure asks.
write_toolchain() {
    mkdir -p "$work"
    printf 'include(%s)\nset(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)\n' \
        "$PWD/cmake/mingw-w64-compilers.cmake" >"$work/toolchain.cmake"
}

build_base() {
    local started=$SECONDS source_dir
    rm -rf "$work"
    debian_source "$work/apt" "$work" "qt6-base=$host_version"
    source_dir=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
    write_toolchain
    rm -rf "$prefix"
    mkdir -p "$work/build"
    (cd "$work/build" &&
        "$source_dir/configure" -prefix "$prefix" "${configure_options[@]}" -- -G Ninja \
            "-DCMAKE_TOOLCHAIN_FILE=$work/toolchain.cmake" \
            -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake &&
        cmake --build . --parallel "$(nproc)" && cmake --install .)
    echo "$stamp" >"$prefix/.stamp"
    rm -rf "$work"
    echo "Qt for MinGW built in $(((SECONDS - started) / 60)) min"
}

# Only the sound output: no media player backends, no video widgets. Its Windows code is
# built only with the Windows Media Foundation feature, whose check and sources name headers
# and libraries as Windows spells them, in capitals, where MinGW-w64 has them in lower case:
# the libraries are given by their paths, the headers by links of the names asked for. Its
# shaders are baked by the host's qsb: a package of ours in the target's place gives the
# build the host's shader tools, as the target needs no shader library of its own.
build_multimedia() {
    local started=$SECONDS source_dir cased=$work/cased-names name libraries=()
    rm -rf "$work"
    debian_source "$work/apt" "$work" "qt6-multimedia=$multimedia_version"
    source_dir=$(find "$work" -maxdepth 1 -type d -name 'qt6-multimedia-*' | head -n 1)
    sed -i -e '/add_subdirectory(plugins)/d' -e '/add_subdirectory(multimediawidgets)/d' \
        "$source_dir/src/CMakeLists.txt"
    mkdir -p "$cased"
    ln -s "$mingw/include/mferror.h" "$cased/Mferror.h"
    ln -s "$mingw/include/wmcodecdsp.h" "$cased/Wmcodecdsp.h"
    for name in Mf Mfuuid Mfplat Mfcore Propsys; do
        libraries+=("-DWMF_${name^^}_LIBRARY=$mingw/lib/lib${name,,}.a")
    done
    write_toolchain
    mkdir -p "$work/shadertools"
    echo "find_package(Qt6ShaderToolsTools CONFIG REQUIRED NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
        PATHS /usr/lib/x86_64-linux-gnu/cmake)" >"$work/shadertools/Qt6ShaderToolsConfig.cmake"
    printf 'set(PACKAGE_VERSION %s)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n' "$upstream_version" \
        >"$work/shadertools/Qt6ShaderToolsConfigVersion.cmake"
    cmake -S "$source_dir" -B "$work/build" -G Ninja \
        "-DCMAKE_TOOLCHAIN_FILE=$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
        "-DQT_CHAINLOAD_TOOLCHAIN_FILE=$work/toolchain.cmake" "-DCMAKE_INSTALL_PREFIX=$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "-DQt6ShaderTools_DIR=$work/shadertools" "-DCMAKE_CXX_FLAGS=-isystem $cased" \
        "${libraries[@]}" "${multimedia_options[@]}"
    if ! grep -q '^QT_FEATURE_wmf:INTERNAL=ON' "$work/build/CMakeCache.txt"; then
        echo "Qt Multimedia was configured without Windows Media Foundation: no sound output"
        return 1
    fi
    cmake --build "$work/build" --parallel "$(nproc)"
    cmake --install "$work/build"
    echo "$multimedia_stamp" >"$prefix/.stamp-multimedia"
    rm -rf "$work"
    echo "Qt Multimedia for MinGW built in $(((SECONDS - started) / 60)) min"
}

is_stamped "$prefix/.stamp" "$stamp" || build_base
is_stamped "$prefix/.stamp-multimedia" "$multimedia_stamp" || build_multimedia
echo "Qt for MinGW in $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix" >&3
