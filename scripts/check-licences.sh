#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file, script, CMake file and document of ours carries its SPDX line; the
# Windows zip, when given, holds the program's licence and the third-party notices and
# licences, naming every library linked into it.
#   scripts/check-licences.sh [build/valdrune-music-changer-<version>-windows-x64.zip]
set -euo pipefail
cd "$(dirname "$0")/.."
missing=$(git ls-files -- '*.cpp' '*.h' '*.in' '*.sh' '*.py' '*.cmake' '*CMakeLists.txt' '*.md' \
    .ci/run |
    while read -r file; do
        head -n 3 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' || echo "$file"
    done)
if [ -n "$missing" ]; then
    echo "licences: no SPDX line in: $missing" >&2
    exit 1
fi
if [ $# -gt 0 ]; then
    listing=$(unzip -Z1 "$1")
    for file in LICENSE.txt THIRD-PARTY.txt THIRD-PARTY-LICENSES.txt; do
        grep -q "/$file\$" <<<"$listing" || { echo "licences: $1 lacks $file" >&2; exit 1; }
    done
    # Every library linked into the program is named, and its licence text is there.
    notices=$(unzip -p "$1" '*/THIRD-PARTY.txt')
    licences=$(unzip -p "$1" '*/THIRD-PARTY-LICENSES.txt')
    for library in FFmpeg LAME libebur128 xxHash; do
        grep -q -- "- $library " <<<"$notices" ||
            { echo "licences: THIRD-PARTY.txt in $1 does not name $library" >&2; exit 1; }
    done
    grep -q "^==== libebur128 " <<<"$licences" ||
        { echo "licences: THIRD-PARTY-LICENSES.txt in $1 lacks libebur128's licence" >&2; exit 1; }
fi
echo "licences: every file carries its SPDX line${1:+; $1 holds the three licence files}"
