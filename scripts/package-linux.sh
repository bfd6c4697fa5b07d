#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the download for Linux players of any distribution:
# build/valdrune-music-changer-<version>-linux-x86_64.tar.xz, one folder that runs where it
# is unpacked. It holds the program as built by the default preset (config.ini beside it,
# where that folder can be written), its audio module, every library both load except those
# of scripts/linux-system.sh, Qt's plugins for X11 and Wayland, Qt's Hungarian translation,
# the scripts that add and remove a menu entry, and the players' README, licence and notices.
# Each library is found through a path relative to its own file ($ORIGIN). FFmpeg is the
# slim build of scripts/build-audio-linux.sh; everything else is Debian's own binary.
# Prints the tarball's path as its last line; beside it, <name>.floor.txt tells what the
# folder needs of the system: the libraries, the newest glibc and libstdc++ symbol versions
# and which binary needs them, and the least version of each library.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/linux-system.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${LINUX_TARBALL_PACKAGES[@]}" "${LINUX_SYSTEM_PACKAGES[@]}"

ffmpeg_prefix=$(scripts/build-audio-linux.sh)
cmake --preset default >/dev/null
cmake --build --preset default --target valdrune-music-changer vmc-audio

version=$(sed -n 's/^project(ValdruneMusicChanger VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=valdrune-music-changer-$version-linux-x86_64
stage=build/linux-tarball/$name
multiarch=$(gcc -print-multiarch)
qt_plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
qt_translations=$(qtpaths6 --query QT_INSTALL_TRANSLATIONS)
rm -rf "$stage" "build/$name.tar.xz"
mkdir -p "$stage/lib" "$stage/plugins" "$stage/translations"

# The libraries the system gives, by file name.
declare -A from_system=()
for package in "${LINUX_SYSTEM_PACKAGES[@]}"; do
    while read -r file; do
        from_system[$(basename "$file")]=$package
    done < <(dpkg -L "$package" | grep -E '/lib[^/]*\.so(\.[0-9]+)*$')
done
from_system[ld-linux-x86-64.so.2]=libc6

needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
library_file() {
    local folder
    for folder in "$ffmpeg_prefix/lib" "/usr/lib/$multiarch" "/lib/$multiarch"; do
        [ -e "$folder/$1" ] && { echo "$folder/$1"; return 0; }
    done
    echo "no $1 on this machine" >&2
    return 1
}
declare -A bundled=() system_used=()
# Copies into lib/ every library the file needs, and theirs, but the system's.
bundle_needs() {
    local soname
    for soname in $(needed "$1"); do
        if [ -n "${from_system[$soname]:-}" ]; then
            system_used[$soname]=${from_system[$soname]}
            continue
        fi
        [ -n "${bundled[$soname]:-}" ] && continue
        bundled[$soname]=$(realpath "$(library_file "$soname")")
        install -m 644 "${bundled[$soname]}" "$stage/lib/$soname"
        bundle_needs "$stage/lib/$soname"
    done
}
# relative_origin FILE: $ORIGIN's path from FILE's folder to lib/.
relative_origin() {
    local up=${1#"$stage"/} path='$ORIGIN'
    up=$(dirname "$up")
    while [ "$up" != "." ]; do
        path=$path/..
        up=$(dirname "$up")
    done
    echo "${path%/}/lib"
}

strip -o "$stage/valdrune-music-changer" build/default/app/valdrune-music-changer
strip --strip-unneeded -o "$stage/libvmc-audio.so" build/default/app/libvmc-audio.so
# The platforms a desktop runs (X11, XWayland, Wayland) and what they load: OpenGL through
# X11, the Wayland shell and window decorations, compose keys and input methods; the icon.
plugins=(platforms/libqxcb.so xcbglintegrations/libqxcb-glx-integration.so
    xcbglintegrations/libqxcb-egl-integration.so platforms/libqwayland-generic.so
    platforms/libqwayland-egl.so wayland-shell-integration/libxdg-shell.so
    wayland-graphics-integration-client/libqt-plugin-wayland-egl.so
    wayland-decoration-client/libbradient.so
    platforminputcontexts/libcomposeplatforminputcontextplugin.so
    platforminputcontexts/libibusplatforminputcontextplugin.so imageformats/libqico.so)
for plugin in "${plugins[@]}"; do
    install -D -m 644 "$qt_plugins/$plugin" "$stage/plugins/$plugin"
done
mapfile -t roots < <(find "$stage" -type f \( -name '*.so' -o -name valdrune-music-changer \))
for file in "${roots[@]}"; do
    bundle_needs "$file"
done
# Each file finds lib/ from where it lies: the libraries beside themselves.
while read -r file; do
    case $file in
    "$stage"/lib/*) patchelf --set-rpath '$ORIGIN' "$file" ;;
    *) patchelf --set-rpath "$(relative_origin "$file")" "$file" ;;
    esac
done < <(find "$stage" -type f \( -name '*.so*' -o -name valdrune-music-changer \))

install -m 644 "$qt_translations/qtbase_hu.qm" "$stage/translations/"
printf '[Paths]\nPrefix=.\nLibraries=lib\nPlugins=plugins\nTranslations=translations\n' >"$stage/qt.conf"
# The menu entry and icons that install-desktop-entry.sh copies into the player's data folder.
install -D -m 644 packaging/org.example.ValdruneMusicChanger.desktop \
    "$stage/share/applications/org.example.ValdruneMusicChanger.desktop"
for size in 16 32 48 64 128 256; do
    install -D -m 644 "resources/icons/valdrune-music-changer-$size.png" \
        "$stage/share/icons/hicolor/${size}x$size/apps/valdrune-music-changer.png"
done
install -D -m 644 resources/icons/valdrune-music-changer.svg \
    "$stage/share/icons/hicolor/scalable/apps/valdrune-music-changer.svg"
install -m 755 packaging/linux/install-desktop-entry.sh packaging/linux/remove-desktop-entry.sh "$stage/"
install -m 644 LICENSE "$stage/LICENSE"
sed "s/@VERSION@/$version/g" packaging/linux/README.txt >"$stage/README.txt"

# The notices: each bundled library's Debian source package and version, and its licence.
source_of() { dpkg-query -W -f='${source:Package} ${source:Version}' "$1"; }
declare -A source_files=() source_package=()
ffmpeg_source=$(source_of libavcodec-dev)
for soname in "${!bundled[@]}"; do
    if [[ ${bundled[$soname]} == "$ffmpeg_prefix"/* ]]; then
        source=$ffmpeg_source package=libavcodec-dev
    else
        # Debian's merged /usr: dpkg may know the file by its /lib name.
        package=$({ dpkg -S "${bundled[$soname]}" 2>/dev/null || dpkg -S "${bundled[$soname]#/usr}"; } |
            head -n 1 | cut -d: -f1)
        source=$(source_of "$package")
    fi
    source_files[$source]="${source_files[$source]:-}|$soname"
    source_package[$source]=$package
done
source_files["$(source_of libqt6gui6)"]+="|plugins/"
source_package["$(source_of libqt6gui6)"]=libqt6gui6
source_files["$(source_of qt6-wayland)"]+="|plugins/"
source_package["$(source_of qt6-wayland)"]=qt6-wayland
source_files["$(source_of qt6-translations-l10n)"]+="|translations/qtbase_hu.qm"
source_package["$(source_of qt6-translations-l10n)"]=qt6-translations-l10n
source_files["$(source_of libxxhash-dev)"]+="|valdrune-music-changer (built in)"
source_package["$(source_of libxxhash-dev)"]=libxxhash-dev
source scripts/linux-licences.sh
mapfile -t sources < <(printf '%s\n' "${!source_files[@]}" | sort)
{
    printf 'Libraries in this folder\n\n'
    printf 'Each is Debian 12'"'"'s own build from the Debian source package named, but FFmpeg, built\n'
    printf 'from its Debian source package with only the parts the program uses (as\n'
    printf 'scripts/build-audio-linux.sh of the program'"'"'s source configures it). The licence texts\n'
    printf 'are in THIRD-PARTY-LICENSES.txt; the sources are in Debian'"'"'s archive under the names\n'
    printf 'and versions given.\n\n'
    for source in "${sources[@]}"; do
        read -r package_name package_version <<<"$source"
        licence=${LINUX_LICENCES[$package_name]:-}
        [ -n "$licence" ] || { echo "no licence named for $package_name in scripts/linux-licences.sh" >&2; exit 1; }
        printf -- '- %s %s, %s\n' "${LINUX_LIBRARY_NAMES[$package_name]:-$package_name}" \
            "$(echo "$package_version" | sed 's/^[0-9]*://; s/[+-].*//; s/~.*//')" "$licence"
        printf '  Debian source package: %s %s\n' "$package_name" "$package_version"
        printf '  Files: %s\n' "$(echo "${source_files[$source]}" | tr '|' '\n' | sed '/^$/d' | sort -u | paste -sd' ' -)"
    done
    printf -- '- GCC runtime (libstdc++, libgcc_s) and the C library come from the system.\n'
} >"$stage/THIRD-PARTY.txt"
{
    for source in "${sources[@]}"; do
        printf '==== %s ====\n\n' "$source"
        cat "/usr/share/doc/${source_package[$source]}/copyright"
        printf '\n\n'
    done
} >"$stage/THIRD-PARTY-LICENSES.txt"

# The floor: the newest symbol versions of the C and C++ libraries, and the least version of
# each system library, that the folder needs.
{
    echo "Needs of $name from the system"
    echo "Libraries taken from the system:"
    for soname in $(printf '%s\n' "${!system_used[@]}" | sort); do
        echo "  $soname (${system_used[$soname]})"
    done
    for prefix in GLIBC_ GLIBCXX_ CXXABI_; do
        newest=$(find "$stage" -type f \( -name '*.so*' -o -name valdrune-music-changer \) \
            -exec objdump -T {} + 2>/dev/null | grep -o "(${prefix}[0-9.]*)" |
            tr -d '()' | sort -V -u | tail -n 1)
        echo "$prefix: ${newest:-none}"
        [ -z "$newest" ] && continue
        find "$stage" -type f \( -name '*.so*' -o -name valdrune-music-changer \) | while read -r file; do
            if objdump -T "$file" 2>/dev/null | grep "($newest)" >/dev/null; then
                echo "  needed by ${file#"$stage"/}"
            fi
        done
    done
    shlibdeps=$(mktemp -d)
    mkdir -p "$shlibdeps/debian"
    printf 'Source: x\n\nPackage: x\nArchitecture: any\n' >"$shlibdeps/debian/control"
    files=$(find "$PWD/$stage" -type f \( -name '*.so*' -o -name valdrune-music-changer \))
    echo "Least versions of the system's libraries (from Debian's symbol files):"
    (cd "$shlibdeps" && dpkg-shlibdeps -O --ignore-missing-info -l"$OLDPWD/$stage/lib" $files 2>/dev/null) |
        sed 's/^shlibs:Depends=//' | tr ',' '\n' | sed 's/^ *//' | while read -r package rest; do
            if [[ " ${LINUX_SYSTEM_PACKAGES[*]} " == *" $package "* ]]; then
                echo "  $package $rest"
            fi
        done
    rm -rf "$shlibdeps"
} >"build/$name.floor.txt"

# Reproducible: fixed owner, order and times.
tar -C build/linux-tarball --owner=0 --group=0 --numeric-owner --sort=name \
    --mtime="@$(git log -1 --format=%ct)" -cf - "$name" | xz -9 -T1 >"build/$name.tar.xz"
echo "tarball: $(stat -c %s "build/$name.tar.xz") bytes, $(du -sk "$stage" | cut -f1) KiB unpacked" >&2
cat "build/$name.floor.txt" >&2
echo "build/$name.tar.xz"
