#!/usr/bin/env bash
# What "Sicherung nach dem Packen prüfen" costs: `vorlixbackup /BACKUP` of the generated
# school data set, headless, with PRUEFEN off and on, side by side: a full backup and an
# update after 1 % of the files changed. Each timing is the median of $VB_BENCH_REPEAT
# runs (default 3), each started after a sync. Prints the times, the extra share of the
# check (goal: under 25 % of the backup's time) and the check's own phase.
#
#   bench/verify_bench.sh BUILD_DIR [SCALE]
# Work folder: $VB_BENCH_DIR (default /tmp/vb-verify-bench), removed afterwards unless
# VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
SCALE=${2:-1}
PROGRAM="$BUILD/vorlixbackup"
W=${VB_BENCH_DIR:-/tmp/vb-verify-bench}
source "$(dirname "$0")/bench_common.sh"
LOAD_BEFORE=$(load)

# One home per setting; both run the same job into their own archive.
for check in 0 1; do
    H="$W/home$check"
    mkdir -p "$H/.config/vorlix-backup" "$W/shared$check/VorlixBackup" "$W/ziel$check"
    printf 'BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nSchule,%s,%s,1,\r\n' \
        "$W/ziel$check" "$W/def.csv" > "$W/shared$check/VorlixBackup/Backupjobs.csv"
    printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"STRATEGIE"=dword:00000002\n"LOGGING"=dword:00000000\n"PRUEFEN"=dword:%08d\n' \
        "$check" > "$H/.config/vorlix-backup/registry.reg"
done
chmod 700 "$W"
printf 'NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nDaten,%s,*,1,1\r\n' "$W/data" > "$W/def.csv"
backup() {  # backup CHECK: the command line of one pass
    echo env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$W/home$1" XDG_CONFIG_HOME="$W/home$1/.config" \
        XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared$1" VB_BENCH_PHASES=1 "$PROGRAM" /BACKUP
}

warm_cache
cd "$W/data"
for check in 0 1; do
    measure_median "full$check" "rm -f '$W/ziel$check/Schule.zip'" $(backup $check)
done
python3 "$DATASET" "$W/data" --touch-fraction 0.01 >/dev/null
for check in 0 1; do
    cp "$W/ziel$check/Schule.zip" "$W/before$check.zip"
    measure_median "touch$check" "cp '$W/before$check.zip' '$W/ziel$check/Schule.zip'" $(backup $check)
done
unzip -tq "$W/ziel1/Schule.zip" >/dev/null && TESTED=yes || TESTED=NO

share() { python3 -c "print('%+.1f %%' % (100.0 * ($1 - $2) / max($2, 0.001)))"; }
check_ms() { awk '$1 == "check" { print $2 }' "$W/err-$1.txt"; }
echo "check after packing, scale $SCALE: $(find "$W/data" -type f | wc -l) files, $(du -sb "$W/data" | cut -f1) bytes;" \
     "median of $REPEAT; load before $LOAD_BEFORE, after $(load) (on $(nproc) cores)"
# The wall times of the two settings differ by the check and by the machine's noise;
# the check's own phase, against the time without it, is the steadier figure.
printf '%-24s %9s %9s %9s %12s %12s %6s\n' operation "check off" "check on" extra "check phase" "phase share" goal
row() {
    local ms; ms=$(check_ms "${2}1")
    printf '%-24s %8.2fs %8.2fs %9s %9s ms %12s %6s\n' "$1" "${SEC[${2}0]}" "${SEC[${2}1]}" \
        "$(share "${SEC[${2}1]}" "${SEC[${2}0]}")" "$ms" "$(share "$(python3 -c "print(${SEC[${2}0]} + $ms / 1000)")" "${SEC[${2}0]}")" "< 25 %"
}
row "full backup" full
row "update, 1 % changed" touch
echo "archive written with the check passes unzip -t: $TESTED"
