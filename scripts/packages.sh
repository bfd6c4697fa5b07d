# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages given as arguments that are not installed yet.
# Sourced by the other scripts; uses sudo when not run as root.

run_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

is_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

APT_UPDATED=
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        is_installed "$package" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    if [ -z "$APT_UPDATED" ]; then
        run_as_root apt-get update -qq
        APT_UPDATED=1
    fi
    run_as_root env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The fuzzing runtime ships in a package named after clang's version on some releases.
ensure_fuzzer_runtime() {
    ensure_packages clang
    local major
    major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
    if ! ensure_packages libclang-rt-dev 2>/dev/null; then
        ensure_packages "libclang-rt-${major}-dev"
    fi
}

# What every build needs.
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-multimedia-dev libxxhash-dev
    fonts-dejavu-core libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
    libmp3lame-dev libebur128-dev qt6-translations-l10n)

# Checking that every C++ file is formatted as .clang-format says.
STYLE_PACKAGES=(clang-format)

# Reading and writing music in the tests, the benchmark and the Windows build; a sound
# server of the tests' own, with a recorder of what it plays.
AUDIO_PACKAGES=(ffmpeg pulseaudio pulseaudio-utils)

# Cross-building the program for Windows (Qt from Debian's source) and running its tests
# under Wine, the program itself on a virtual display. Qt Multimedia's build bakes its
# shaders with the host's shader tool.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev xvfb xauth xdotool zip unzip
    qt6-shadertools-dev qt6-shader-baker)

# Checking the Debian package and running the installed program.
PACKAGE_CHECK_PACKAGES=(dpkg-dev lintian desktop-file-utils appstream xvfb xauth xdotool)

# Making the Linux tarball: Qt's Wayland plugins, the tools that give its libraries paths of
# their own and list what they need of the system.
LINUX_TARBALL_PACKAGES=(patchelf qt6-wayland qt6-translations-l10n xz-utils dpkg-dev binutils)

# Checking the Linux tarball in a bare system: the tools that make it and drive the program
# there from outside, and make its music.
LINUX_CHECK_PACKAGES=(mmdebstrap xdotool desktop-file-utils ffmpeg)
