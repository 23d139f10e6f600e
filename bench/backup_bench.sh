#!/usr/bin/env bash
# End to end: `vorlixbackup /BACKUP` of the generated school data set, headless, against
# Info-ZIP `zip -r -6` and 7-Zip on the same data, side by side in one run. Prints wall
# times, ratios, archive sizes and peak memory, then the same for an update with
# nothing changed.
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
mkdir -p "$W/home" "$W/shared/VorlixBackup" "$W/ziel"

# One automatic job that saves the whole data set into the same archive every time.
printf 'BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nSchule,%s,%s,1,\r\n' \
    "$W/ziel" "$W/def.csv" > "$W/shared/VorlixBackup/Backupjobs.csv"
printf 'NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nDaten,%s,*,1,1\r\n' "$W/data" > "$W/def.csv"
mkdir -p "$W/home/.config/vorlix-backup"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"STRATEGIE"=dword:00000002\n"LOGGING"=dword:00000000\n' \
    > "$W/home/.config/vorlix-backup/registry.reg"
BACKUP=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$W/home" XDG_CONFIG_HOME="$W/home/.config"
        XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" "$PROGRAM" /BACKUP)

warm_cache

cd "$W/data"
measure ours_full "${BACKUP[@]}"
measure zip_full zip -q -r -6 "$W/zip.zip" .
measure 7z_full "$SEVEN" a -tzip -mx=5 -mmt=2 "$W/7z.zip" .
OURS="$W/ziel/Schule.zip"
sum_before=$(md5sum < "$OURS")
measure ours_same "${BACKUP[@]}"
measure zip_same bash -c 'zip -q -r -u "$0" . || [ $? = 12 ]' "$W/zip.zip"
[ "$(md5sum < "$OURS")" = "$sum_before" ] && SAME=yes || SAME=NO
unzip -tq "$OURS" >/dev/null && TESTED=yes || TESTED=NO

echo "vorlixbackup /BACKUP end to end, scale $SCALE: $(find "$W/data" -type f | wc -l) files, $(du -sb "$W/data" | cut -f1) bytes"
printf '%-34s %9s %9s %7s\n' operation ours peer ratio
printf '%-34s %8.2fs %8.2fs %7s\n' "full backup vs zip -r -6" "${SEC[ours_full]}" "${SEC[zip_full]}" "$(ratio "${SEC[ours_full]}" "${SEC[zip_full]}")"
printf '%-34s %8.2fs %8.2fs %7s\n' "full backup vs 7z -mx=5 -mmt=2" "${SEC[ours_full]}" "${SEC[7z_full]}" "$(ratio "${SEC[ours_full]}" "${SEC[7z_full]}")"
printf '%-34s %8.2fs %8.2fs %7s\n' "update, nothing changed vs zip -u" "${SEC[ours_same]}" "${SEC[zip_same]}" "$(ratio "${SEC[ours_same]}" "${SEC[zip_same]}")"
echo "archive sizes: ours $(size "$OURS"), zip $(size "$W/zip.zip"), 7z $(size "$W/7z.zip")"
echo "peak memory: ours $((KIB[ours_full] / 1024)) MiB (update $((KIB[ours_same] / 1024)) MiB)"
echo "unchanged update byte for byte: $SAME; unzip -t: $TESTED"
