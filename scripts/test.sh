#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the whole test suite headless: the tests, the
# same tests under AddressSanitizer and UndefinedBehaviorSanitizer, a one-minute fuzzing run
# of the settings reader, the program cross-built for Windows and tested under Wine, its zip
# made and its licence files checked, every C++ file checked against .clang-format, the
# Debian package checked, installed, started as a player would and removed again, and the
# self-contained Linux tarball made and checked in a bare Debian system
# (scripts/check-linux-tarball.sh).
# The Windows build needs static Qt, FFmpeg, LAME and libebur128 for MinGW, built once into a
# cache folder (about an hour on two cores); VMC_SKIP_WINDOWS=1 leaves that suite out, except
# under CI. The Linux tarball's slim FFmpeg and the bare system go to the same cache (a few
# minutes).
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${AUDIO_PACKAGES[@]}" "${STYLE_PACKAGES[@]}"
ensure_fuzzer_runtime
ensure_packages "${WINDOWS_PACKAGES[@]}"

failed=()
run_suite() {
    local preset=$1
    shift
    echo "=== $preset ==="
    if cmake --preset "$preset" "$@" && cmake --build --preset "$preset" &&
        ctest --preset "$preset"; then
        return 0
    fi
    failed+=("$preset")
}

if [ "${CI:-}" = "true" ] || [ "${VMC_SKIP_WINDOWS:-}" != "1" ]; then
    if qt_prefix=$(scripts/build-qt-mingw.sh) && audio_prefix=$(scripts/build-audio-mingw.sh); then
        run_suite windows "-DCMAKE_PREFIX_PATH=$qt_prefix;$audio_prefix"
    else
        failed+=("windows (building Qt, FFmpeg and LAME for MinGW)")
    fi
    echo "=== licences ==="
    if ! { zip=$(scripts/package-windows.sh | tail -n 1) && scripts/check-licences.sh "$zip"; }; then
        failed+=("licences")
    fi
else
    echo "=== windows: left out (VMC_SKIP_WINDOWS=1) ==="
    echo "=== licences ==="
    scripts/check-licences.sh || failed+=("licences")
fi
echo "=== format ==="
scripts/check-format.sh || failed+=("format")
run_suite asan
run_suite fuzz
run_suite default
echo "=== package ==="
scripts/check-package.sh || failed+=("package")
echo "=== linux tarball ==="
if ! { tarball=$(scripts/package-linux.sh | tail -n 1) && scripts/check-linux-tarball.sh "$tarball"; }; then
    failed+=("linux tarball")
fi

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}" >&2
    exit 1
fi
