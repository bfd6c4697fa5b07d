#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the replacement run and, on the same files, coreutils cp followed by sync, twice:
# over existing files of the same size (the run's own work: the game's files are there) and
# into an empty folder.
#   bench/compare_with_cp.sh [count=40] [MiB=8] [work folder=/tmp]
set -euo pipefail
bench=${BENCH:-build/default/bench/replacement_bench}
count=${1:-40}; size=${2:-8}; work=${3:-/tmp}
dir="$work/vmc-bench"

seconds() { local start=$1 end; end=$(date +%s.%N); echo "$end - $start" | bc -l | awk '{printf "%.3f", $1}'; }

"$bench" "$count" "$size" "$work"

mkdir -p "$dir/over" "$dir/empty"
for source in "$dir"/src/*; do
    head -c "${size}M" /dev/zero > "$dir/over/$(basename "$source")"
done
sync
start=$(date +%s.%N)
cp "$dir"/src/* "$dir/over/"
sync
echo "cp + sync over existing files: $(seconds "$start") s"

start=$(date +%s.%N)
cp "$dir"/src/* "$dir/empty/"
sync
echo "cp + sync into an empty folder: $(seconds "$start") s"
rm -rf "$dir"
