#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A bounded fuzzing run: it starts from the committed corpus; new inputs go to a scratch copy.
# Any crash, hang or out-of-bounds read fails the run and leaves the input in $ARTIFACTS
# (default: a scratch folder), to be added to the corpus as a regression case.
#   run_fuzzer.sh FUZZER SECONDS CORPUS [MAX_LEN=4096]
set -euo pipefail
fuzzer=$1; seconds=$2; corpus=$3; max_len=${4:-4096}
work=$(mktemp -d)
artifacts=${ARTIFACTS:-$work/artifacts}
mkdir -p "$work/corpus" "$artifacts"
cp "$corpus"/* "$work/corpus/"
trap 'rm -rf "$work/corpus"' EXIT
# The fuzzer's own status decides; the filter's may not hide it.
set +e
"$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work/corpus" 2>&1 |
    { grep -E "^(INFO: (Running|Loaded|[a-z]+ corpus)|#[0-9]+ +(INITED|DONE)|stat::|==[0-9]+==ERROR|SUMMARY|Done)" || true; }
status=${PIPESTATUS[0]}
set -e
echo "corpus after the run: $(ls "$work/corpus" | wc -l) inputs"
exit "$status"
