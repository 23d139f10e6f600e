#!/usr/bin/env bash
# End to end: `vorlixbackup /BACKUP` of the generated school data set, headless, against
# Info-ZIP `zip -r -6` (and 7-Zip) on the same data, side by side in one run: a full
# backup, an update with nothing changed and an update after 1 % of the files changed
# (zip -u followed by a flush of its archive, as our run flushes before it replaces).
# Each timing is the median of $VB_BENCH_REPEAT runs (default 3; 7-Zip, which has no
# goal, runs once), each started after a sync; the 1 % update alternates with the
# peer's in $VB_BENCH_PAIRS pairs (default 5). Prints the times, ratios against the
# goals, archive sizes, peak memory and where our full backup and our update spend
# their time (VB_BENCH_PHASES); "outside main" is the wall time the phases do not see
# (loading the libraries, process exit).
#
#   bench/backup_bench.sh BUILD_DIR [SCALE]
# Work folder: $VB_BENCH_DIR (default /tmp/vb-backup-bench), removed afterwards unless
# VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
SCALE=${2:-1}
PROGRAM="$BUILD/vorlixbackup"
W=${VB_BENCH_DIR:-/tmp/vb-backup-bench}
source "$(dirname "$0")/bench_common.sh"
LOAD_BEFORE=$(load)
mkdir -p "$W/home" "$W/shared/VorlixBackup" "$W/ziel"
chmod 700 "$W"

# One automatic job that saves the whole data set into the same archive every time.
printf 'BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nSchule,%s,%s,1,\r\n' \
    "$W/ziel" "$W/def.csv" > "$W/shared/VorlixBackup/Backupjobs.csv"
printf 'NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nDaten,%s,*,1,1\r\n' "$W/data" > "$W/def.csv"
mkdir -p "$W/home/.config/vorlix-backup"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"STRATEGIE"=dword:00000002\n"LOGGING"=dword:00000000\n' \
    > "$W/home/.config/vorlix-backup/registry.reg"
BACKUP=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$W/home" XDG_CONFIG_HOME="$W/home/.config"
        XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" VB_BENCH_PHASES=1 "$PROGRAM" /BACKUP)
OURS="$W/ziel/Schule.zip"

warm_cache

cd "$W/data"
measure_median ours_full "rm -f '$OURS'" "${BACKUP[@]}"
measure_median zip_full "rm -f '$W/zip.zip'" zip -q -r -6 "$W/zip.zip" .
REPEAT=1 measure_median 7z_full "rm -f '$W/7z.zip'" "$SEVEN" a -tzip -mx=5 -mmt=2 "$W/7z.zip" .  # no goal: once
FULL_OURS=$(size "$OURS") FULL_ZIP=$(size "$W/zip.zip") FULL_7Z=$(size "$W/7z.zip")

sum_before=$(md5sum < "$OURS")
measure_median ours_same "" "${BACKUP[@]}"
measure_median zip_same "" bash -c 'zip -q -r -u "$0" . || [ $? = 12 ]' "$W/zip.zip"
[ "$(md5sum < "$OURS")" = "$sum_before" ] && SAME=yes || SAME=NO

# 1 % of the files change; every run updates the same archives as they were before.
python3 "$DATASET" "$W/data" --touch-fraction 0.01 >/dev/null
cp "$OURS" "$W/ours-before.zip"
cp "$W/zip.zip" "$W/zip-before.zip"
# The disk's time to flush varies from run to run: ours and the peer's alternate in
# $PAIRS pairs, and the row shows the median of the pairs' ratios with their spread.
measure_pairs touch "cp '$W/ours-before.zip' '$OURS'" "$(printf '%q ' "${BACKUP[@]}")" \
    "cp '$W/zip-before.zip' '$W/zip.zip'" "{ zip -q -r -u '$W/zip.zip' . || [ \$? = 12 ]; } && sync '$W/zip.zip'"
TOUCH_OURS=$(size "$OURS") TOUCH_ZIP=$(size "$W/zip.zip")
unzip -tq "$OURS" >/dev/null && "$SEVEN" t "$OURS" >/dev/null &&
    python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)' "$OURS" &&
    TESTED=yes || TESTED=NO

phases() {  # the phase table of one measured run (the median one, else the last), with the time outside main
    local err="$W/err-$1.txt" wall=${LAST_SEC[$1]:-${SEC[$1]}}
    echo "where ours spends its time, $2 (${wall} s wall):"
    grep -v '^QStandardPaths' "$err" | sed 's/^/  /'
    awk -v wall="$wall" '/^total in process/ { printf "  %-28s %10.1f\n", "outside main", wall * 1000 - $4 }' "$err"
}

echo "vorlixbackup /BACKUP end to end, scale $SCALE: $(find "$W/data" -type f | wc -l) files, $(du -sb "$W/data" | cut -f1) bytes;" \
     "median of $REPEAT; load before $LOAD_BEFORE, after $(load) (on $(nproc) cores)"
printf '%-40s %9s %9s %7s %6s\n' operation ours peer ratio goal
row() { printf '%-40s %8.2fs %8.2fs %7s %6s\n' "$1" "${SEC[$2]}" "${SEC[$3]}" "$(ratio "${SEC[$2]}" "${SEC[$3]}")" "$4"; }
row "full backup vs zip -r -6" ours_full zip_full "0.30"
row "full backup vs 7z -mx=5 -mmt=2" ours_full 7z_full "-"
row "update, nothing changed vs zip -u" ours_same zip_same "-"
printf '%-40s %8.2fs %8.2fs %7s %6s  (%s pairs, spread %s)\n' "update, 1 % changed vs zip -u + flush" "${SEC[touch]}" \
    "${SEC[touch_peer]}" "${RATIO[touch]}" "0.55" "$PAIRS" "${SPREAD[touch]}"
printf '%-40s %9s %9s %7s %6s\n' "archive size after full backup" "$FULL_OURS" "$FULL_ZIP" "$(ratio "$FULL_OURS" "$FULL_ZIP")" "1.0"
printf '%-40s %9s %9s %7s %6s\n' "archive size after 1 % update" "$TOUCH_OURS" "$TOUCH_ZIP" "$(ratio "$TOUCH_OURS" "$TOUCH_ZIP")" "1.0"
echo "7z archive: $FULL_7Z bytes; peak memory: ours $((KIB[ours_full] / 1024)) MiB (update $((KIB[touch] / 1024)) MiB)"
echo "unchanged update byte for byte: $SAME; after the 1 % update unzip -t, 7z t, zipfile: $TESTED"
phases ours_full "full backup, median run"
phases touch "1 % update, last pair"
