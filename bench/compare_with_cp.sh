#!/usr/bin/env bash
# Times the replacement run and, on the same files, coreutils cp followed by sync.
#   bench/compare_with_cp.sh [count=40] [MiB=8] [work folder=/tmp]
set -euo pipefail
bench=${BENCH:-build/default/bench/replacement_bench}
count=${1:-40}; size=${2:-8}; work=${3:-/tmp}
"$bench" "$count" "$size" "$work"
mkdir -p "$work/vmc-bench/cp"
sync
start=$(date +%s.%N)
cp "$work"/vmc-bench/src/* "$work/vmc-bench/cp/"
sync
end=$(date +%s.%N)
echo "cp + sync: $(echo "$end - $start" | bc -l | cut -c1-6) s"
rm -rf "$work/vmc-bench"
