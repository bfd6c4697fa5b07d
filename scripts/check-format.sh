#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks every tracked C++ source and header against the repository's .clang-format, changing
# nothing. Names each file that clang-format would change and exits non-zero where any would.
# To apply it: git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${STYLE_PACKAGES[@]}"

files=$(git ls-files -- '*.cpp' '*.h' | wc -l)
# One call for all: each line that would change is reported as "file:line:column: error: ...".
report=$(git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror 2>&1) ||
    true
differing=$(sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: .*/\1/p' <<<"$report" | sort -u)
if [ -n "$differing" ]; then
    sed 's/^/format: differs from .clang-format: /' <<<"$differing" >&2
    echo "format: $(wc -l <<<"$differing") of $files files differ ($(clang-format --version))" >&2
    exit 1
fi
if grep -q . <<<"$report"; then
    echo "format: clang-format failed: $report" >&2
    exit 1
fi
echo "format: all $files C++ files as .clang-format has them"
