#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${BUILD_PACKAGES[@]}"

cmake --preset default
cmake --build --preset default --target valdrune-music-changer

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "The program opens windows and needs a display, but none is set (DISPLAY/WAYLAND_DISPLAY)." >&2
    echo "Run it from a desktop session, or on a virtual display:" >&2
    echo "  sudo apt-get install xvfb && xvfb-run -a $0" >&2
    exit 1
fi
exec build/default/app/valdrune-music-changer
