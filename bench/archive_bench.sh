#!/usr/bin/env bash
# The archive benchmark: our layer against Info-ZIP zip/unzip and 7-Zip on the same
# generated data, side by side in one run. Prints wall times, ratios, archive sizes
# and peak memory.
#
#   bench/archive_bench.sh BUILD_DIR [SCALE]
# Work folder: $VB_BENCH_DIR (default /tmp/vb-archive-bench), removed afterwards
# unless VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
SCALE=${2:-1}
TOOL="$BUILD/bench/archive_bench"
W=${VB_BENCH_DIR:-/tmp/vb-archive-bench}
PW=Bench-Pw1
source "$(dirname "$0")/bench_common.sh"
# Warm the page cache so that every tool reads from memory.
warm_cache

cd "$W/data"
measure ours_full "$TOOL" backup "$W/ours.zip" "$W/data"
measure zip_full zip -q -r -6 "$W/zip.zip" .
measure 7z_full "$SEVEN" a -tzip -mx=5 -mmt=2 "$W/7z.zip" .
measure ours_pw "$TOOL" backup "$W/ours-pw.zip" "$W/data" "$PW"
measure zip_pw zip -q -r -6 -P "$PW" "$W/zip-pw.zip" .

sum_before=$(md5sum < "$W/ours.zip")
measure ours_same "$TOOL" backup "$W/ours.zip" "$W/data"
measure zip_same bash -c 'zip -q -r -u "$0" . || [ $? = 12 ]' "$W/zip.zip"  # 12: nothing to do
[ "$(md5sum < "$W/ours.zip")" = "$sum_before" ] && SAME=yes || SAME=NO

python3 "$DATASET" "$W/data" --touch-fraction 0.01 >/dev/null
measure ours_touch "$TOOL" backup "$W/ours.zip" "$W/data"
measure zip_touch bash -c 'zip -q -r -u "$0" . || [ $? = 12 ]' "$W/zip.zip"
python3 "$DATASET" "$W/data" --touch-fraction 0.01 --touch-also 'DB/Noten.mdb' >/dev/null
measure ours_db "$TOOL" backup "$W/ours.zip" "$W/data"
measure zip_db bash -c 'zip -q -r -u "$0" . || [ $? = 12 ]' "$W/zip.zip"

mkdir -p "$W/x1" "$W/x2" "$W/x3" "$W/x4"
measure ours_x "$TOOL" extract "$W/ours.zip" "$W/x1"
measure unzip_x unzip -q -o "$W/zip.zip" -d "$W/x2"
measure ours_xpw "$TOOL" extract "$W/ours-pw.zip" "$W/x3" "$PW"
measure unzip_xpw unzip -q -o -P "$PW" "$W/zip-pw.zip" -d "$W/x4"
diff -r "$W/data" "$W/x1/${W#/}/data" >/dev/null && EXACT=yes || EXACT=NO

unzip -tq "$W/ours.zip" >/dev/null && "$SEVEN" t "$W/ours.zip" >/dev/null && TESTED=yes || TESTED=NO

echo "Archive benchmark, scale $SCALE: $(du -sb "$W/data" | cut -f1) bytes in $(find "$W/data" -type f | wc -l) files"
printf '%-32s %9s %9s %7s %7s\n' operation ours peer ratio goal
row() { printf '%-32s %8ss %8ss %7s %7s\n' "$1" "${SEC[$2]}" "${SEC[$3]}" "$(ratio "${SEC[$2]}" "${SEC[$3]}")" "$4"; }
row "full backup (zip -r -6)" ours_full zip_full "0.35"
row "full backup (7zz -mmt=2)" ours_full 7z_full "-"
row "full backup, password" ours_pw zip_pw "0.40"
row "update, nothing changed" ours_same zip_same "3"
row "update, 1 % changed" ours_touch zip_touch "0.7"
row "update, 1 % + Noten.mdb" ours_db zip_db "0.7"
row "full extraction (unzip)" ours_x unzip_x "0.5"
row "full extraction, password" ours_xpw unzip_xpw "0.5"
echo "archive sizes after the updates: ours $(size "$W/ours.zip"), zip $(size "$W/zip.zip"); with password: ours $(size "$W/ours-pw.zip"), zip $(size "$W/zip-pw.zip"); 7-Zip $(size "$W/7z.zip")"
peak=0; for k in "${!KIB[@]}"; do case $k in ours_*) [ "${KIB[$k]}" -gt "$peak" ] && peak=${KIB[$k]};; esac; done
echo "peak RSS of our runs: $((peak / 1024)) MiB (zip $(( ${KIB[zip_full]} / 1024 )) MiB, 7-Zip $(( ${KIB[7z_full]} / 1024 )) MiB)"
echo "no-change update byte-identical: $SAME; extraction identical: $EXACT; unzip -t and 7z t: $TESTED"
echo "joining the chunks of files over 4 MiB (one thread): $(find "$W/data" -type f -size +4M -print0 | xargs -0 "$TOOL" join)"
