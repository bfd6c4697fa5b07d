#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless: the tests, the
# same tests under AddressSanitizer and UndefinedBehaviorSanitizer, a one-minute fuzzing run
# of the settings reader, and the core cross-built for Windows and tested under Wine.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${BUILD_PACKAGES[@]}"
ensure_fuzzer_runtime
ensure_packages "${WINDOWS_PACKAGES[@]}"

failed=()
run_suite() {
    local preset=$1
    echo "=== $preset ==="
    if cmake --preset "$preset" && cmake --build --preset "$preset" && ctest --preset "$preset"; then
        return 0
    fi
    failed+=("$preset")
}

run_suite windows
run_suite asan
run_suite fuzz
run_suite default

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}" >&2
    exit 1
fi
