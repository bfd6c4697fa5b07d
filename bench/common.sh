# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the bench scripts: runs from the project's root, windows drawn offscreen unless
# a display is asked for; make_work makes the work folder (in the folder given, or /tmp) that
# goes at exit, as $work.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
make_work() {
    work=$(mktemp -d "${1:-/tmp}/vmc-bench-XXXXXX")
    trap 'rm -rf "$work"' EXIT
}
