#!/usr/bin/env bash
# How an unattended pass scales with the length of the job list: lists of 5,000 to
# 40,000 jobs, of which every hundredth is automatic and saves one small file, the
# others not; `vorlixbackup /BACKUP` over the automatic jobs and `/BACKUP <last job>`
# by name. A pass that is linear in the list takes about eight times as long for
# 40,000 rows as for 5,000; the ratio column shows it.
#
#   bench/joblist_bench.sh BUILD_DIR
# Work folder: $VB_BENCH_DIR (default /tmp/vb-joblist-bench), removed afterwards
# unless VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
PROGRAM="$BUILD/vorlixbackup"
W=${VB_BENCH_DIR:-/tmp/vb-joblist-bench}
rm -rf "$W"; mkdir -p "$W"
[ "${VB_BENCH_KEEP:-0}" = 1 ] || trap 'rm -rf "$W"' EXIT
mkdir -p "$W/home/.config/vorlix-backup" "$W/data" "$W/ziel"
echo "Zeugnis" > "$W/data/brief.txt"
printf 'NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nDaten,%s,*.txt,1,0\r\n' "$W/data" > "$W/def.csv"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"STRATEGIE"=dword:00000002\n"LOGGING"=dword:00000000\n' \
    > "$W/home/.config/vorlix-backup/registry.reg"

run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$W/home" XDG_CONFIG_HOME="$W/home/.config" \
        XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" "$PROGRAM" /BACKUP "$@" 2>"$W/err.txt" ||
        { cat "$W/err.txt"; exit 1; }
}
seconds() { local start end; start=$(date +%s.%N); "$@"; end=$(date +%s.%N); awk "BEGIN { print $end - $start }"; }
ratio() { awk "BEGIN { print $1 / $2 }"; }

printf '%8s %10s %8s %12s %8s\n' rows "all auto" ratio "by name" ratio
BASE_ALL="" BASE_NAMED=""
for ROWS in 5000 10000 20000 40000; do
    rm -rf "$W/shared" "$W/ziel"; mkdir -p "$W/shared/VorlixBackup" "$W/ziel"
    python3 - "$W" "$ROWS" <<'PY'
import sys
w, rows = sys.argv[1], int(sys.argv[2])
with open(f"{w}/shared/VorlixBackup/Backupjobs.csv", "w", newline="") as f:
    f.write("BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\n")
    for i in range(rows):
        auto = 1 if i % 100 == 0 else 0
        f.write(f"Job_{i:06d},{w}/ziel,{w}/def.csv,{auto},\r\n")
PY
    ALL=$(seconds run)
    NAMED=$(seconds run "Job_$(printf '%06d' $((ROWS - 1)))")
    [ -n "$BASE_ALL" ] || { BASE_ALL=$ALL; BASE_NAMED=$NAMED; }
    printf '%8d %9.2fs %8.2f %11.2fs %8.2f\n' "$ROWS" "$ALL" "$(ratio "$ALL" "$BASE_ALL")" \
        "$NAMED" "$(ratio "$NAMED" "$BASE_NAMED")"
done
