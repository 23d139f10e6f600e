#!/usr/bin/env bash
# The restore page's comparison with the disk on the generated school data set: an
# archive of it made by Info-ZIP `zip -r -6` from /, so that its stored names lead back
# to the data set below the root /, compared with the data set as it is (every file
# the same, so each one is read whole for its CRC), and again after 1 % of the files
# were touched and 1 % rewritten. Median of 5 runs each, the page cache warm.
#
#   bench/compare_bench.sh BUILD_DIR [SCALE]
# Work folder: $VB_BENCH_DIR (default /tmp/vb-compare-bench), removed afterwards unless
# VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
SCALE=${2:-1}
W=${VB_BENCH_DIR:-/tmp/vb-compare-bench}
source "$(dirname "$0")/bench_common.sh"
LOAD_BEFORE=$(load)
( cd / && zip -r -q -6 "$W/data.zip" "${W#/}/data" )
echo "comparison with the disk, scale $SCALE: $(find "$W/data" -type f | wc -l) files, $(du -sh "$W/data" | cut -f1);" \
     "load before $LOAD_BEFORE (on $(nproc) cores)"
echo "unchanged data set:"
"$BUILD/bench/compare_bench" "$W/data.zip" / 5 | sed 's/^/  /'
mapfile -t FILES < <(find "$W/data" -type f | sort)
for ((i = 0; i < ${#FILES[@]}; i += 100)); do touch "${FILES[i]}"; done
for ((i = 50; i < ${#FILES[@]}; i += 100)); do printf 'neu' >> "${FILES[i]}"; done
echo "1 % touched, 1 % rewritten:"
"$BUILD/bench/compare_bench" "$W/data.zip" / 5 | sed 's/^/  /'
echo "load after $(load)"
