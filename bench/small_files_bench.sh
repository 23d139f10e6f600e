#!/usr/bin/env bash
# End to end on many small files: 100 folders of 1,000 files of 10-1,000 bytes (the
# generator's --many-small set). `vorlixbackup /BACKUP` against `zip -r -6`, and
# `vorlixbackup /RESTORE` against `unzip -o -q` into the same root. This disk's
# metadata work is noisy, so ours and the peer's runs alternate in $VB_BENCH_PAIRS pairs
# (default 5); each row shows the median times, the median of the pairs' ratios and
# their spread (lowest-highest). Both restores are checked byte for byte.
#
#   bench/small_files_bench.sh BUILD_DIR
# Work folder: $VB_BENCH_DIR (default /tmp/vb-small-bench), removed afterwards unless
# VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
SCALE=1
DATASET_ARGS=--many-small
PROGRAM="$BUILD/vorlixbackup"
W=${VB_BENCH_DIR:-/tmp/vb-small-bench}
source "$(dirname "$0")/bench_common.sh"
LOAD_BEFORE=$(load)
job_files
RUN="env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME='$W/home' XDG_CONFIG_HOME='$W/home/.config' \
XDG_RUNTIME_DIR='$W' VORLIXBACKUP_COMMON_DOCUMENTS='$W/shared' VB_BENCH_PHASES=1 '$PROGRAM'"
OURS="$W/ziel/Schule.zip"

warm_cache
find "$W/data" -type f -exec md5sum {} + | sort > "$W/sums.txt"

cd "$W/data"
measure_pairs full "rm -f '$OURS'" "$RUN /BACKUP" "rm -f '$W/zip.zip'" "zip -q -r -6 '$W/zip.zip' ."
cp "$W/err-full.txt" "$W/phases-full.txt"
FULL_OURS=$(size "$OURS") FULL_ZIP=$(size "$W/zip.zip")
unzip -tq "$OURS" >/dev/null && "$SEVEN" t "$OURS" >/dev/null &&
    python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)' "$OURS" &&
    TESTED=yes || TESTED=NO
measure_pairs same "" "$RUN /BACKUP" "" "zip -q -r -u '$W/zip.zip' . || [ \$? = 12 ]"
cp "$OURS" "$W/ours.zip"

cd /
measure_pairs restore "rm -rf '$W/data'; cp '$W/ours.zip' '$OURS'" "$RUN /RESTORE" \
    "rm -rf '$W/data'" "unzip -o -q '$W/zip.zip' -d '$W/data'"
cp "$W/err-restore.txt" "$W/phases-restore.txt"
( cd / && md5sum -c --quiet "$W/sums.txt" ) && UNZIP_OK=yes || UNZIP_OK=NO
rm -rf "$W/data"; cp "$W/ours.zip" "$OURS"; sync
eval "$RUN /RESTORE" 2>/dev/null
( cd / && md5sum -c --quiet "$W/sums.txt" ) && OURS_OK=yes || OURS_OK=NO

echo "many small files: $(wc -l < "$W/sums.txt") files, $(awk '{ print $2 }' "$W/sums.txt" | xargs cat | wc -c) bytes;" \
     "$PAIRS alternating pairs; load before $LOAD_BEFORE, after $(load) (on $(nproc) cores)"
printf '%-36s %8s %8s %7s %11s %6s\n' operation ours peer ratio spread goal
row() { printf '%-36s %7.2fs %7.2fs %7s %11s %6s\n' "$1" "${SEC[$2]}" "${SEC[$2_peer]}" "${RATIO[$2]}" "${SPREAD[$2]}" "$3"; }
row "full backup vs zip -r -6" full "0.50"
row "update, nothing changed vs zip -u" same "1.00"
row "full restore vs unzip -o -q" restore "0.50"
echo "archive size: ours $FULL_OURS, zip $FULL_ZIP; peak memory: backup $((KIB[full] / 1024)) MiB," \
     "restore $((KIB[restore] / 1024)) MiB (goal < 256 MiB)"
echo "archive: unzip -t, 7z t, zipfile: $TESTED; restored byte for byte: ours $OURS_OK, unzip $UNZIP_OK"
echo "where ours spends its time, last full backup:"
grep -v '^QStandardPaths' "$W/phases-full.txt" | sed 's/^/  /'
echo "where ours spends its time, last restore:"
grep -v '^QStandardPaths' "$W/phases-restore.txt" | sed 's/^/  /'
