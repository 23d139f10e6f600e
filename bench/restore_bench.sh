#!/usr/bin/env bash
# End to end: `vorlixbackup /RESTORE` of the generated school data set, headless, against
# Info-ZIP `unzip -o -q` of the same archive into the same root (/, so that both put the
# files back where they came from), plain and with a password (`unzip -P`). The data set
# is removed before each run, so both write every file anew. Each timing is the median
# of $VB_BENCH_REPEAT runs (default 3), each started after a sync. Then the archive
# browser on an archive of 100,000 entries: listing and sorting each column.
#
#   bench/restore_bench.sh BUILD_DIR [SCALE]
# Work folder: $VB_BENCH_DIR (default /tmp/vb-restore-bench), removed afterwards unless
# VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
SCALE=${2:-1}
PROGRAM="$BUILD/vorlixbackup"
W=${VB_BENCH_DIR:-/tmp/vb-restore-bench}
source "$(dirname "$0")/bench_common.sh"
LOAD_BEFORE=$(load)
mkdir -p "$W/home/.config/vorlix-backup" "$W/shared/VorlixBackup" "$W/ziel"
chmod 700 "$W"
PASSWORD=Zeugnis2024

printf 'BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nSchule,%s,%s,1,\r\n' \
    "$W/ziel" "$W/def.csv" > "$W/shared/VorlixBackup/Backupjobs.csv"
printf 'NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nDaten,%s,*,1,1\r\n' "$W/data" > "$W/def.csv"
settings() {  # settings PASSWORTSCHUTZ
    printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"STRATEGIE"=dword:00000002\n"LOGGING"=dword:00000000\n"PASSWORTSCHUTZ"=dword:0000000%s\n' \
        "$1" > "$W/home/.config/vorlix-backup/registry.reg"
}
RUN=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$W/home" XDG_CONFIG_HOME="$W/home/.config"
     XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" VORLIXBACKUP_PASSWORD="$PASSWORD" "$PROGRAM")
OURS="$W/ziel/Schule.zip"

# The two archives, made by the program itself.
settings 0
"${RUN[@]}" /BACKUP 2>/dev/null
mv "$OURS" "$W/plain.zip"
settings 1
"${RUN[@]}" /BACKUP 2>/dev/null
mv "$OURS" "$W/pw.zip"
find "$W/data" -type f -exec md5sum {} + | sort > "$W/sums.txt"

measure_median ours_plain "rm -rf '$W/data'; cp '$W/plain.zip' '$OURS'" "${RUN[@]}" /RESTORE
( cd / && md5sum -c --quiet "$W/sums.txt" ) && PLAIN_OK=yes || PLAIN_OK=NO
measure_median unzip_plain "rm -rf '$W/data'" unzip -o -q "$W/plain.zip" -d /
measure_median ours_pw "rm -rf '$W/data'; cp '$W/pw.zip' '$OURS'" "${RUN[@]}" /RESTORE
( cd / && md5sum -c --quiet "$W/sums.txt" ) && PW_OK=yes || PW_OK=NO
measure_median unzip_pw "rm -rf '$W/data'" unzip -P "$PASSWORD" -o -q "$W/pw.zip" -d /

# An archive of 100,000 small entries in 1,000 folders for the browser.
python3 - "$W/many.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(100000):
        info = zipfile.ZipInfo("Schueler/Klasse%03d/Schueler%06d.txt" % (i % 1000, (i * 7919) % 100003),
                               (2016, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 2) % 60))
        z.writestr(info, "Note %d\n" % i * (1 + i % 9), zipfile.ZIP_DEFLATED)
PY
"$BUILD/bench/restore_bench" "$W/many.zip" > "$W/browser.txt" 2>/dev/null

echo "vorlixbackup /RESTORE end to end, scale $SCALE: $(wc -l < "$W/sums.txt") files, archive $(size "$W/plain.zip") bytes;" \
     "median of $REPEAT; load before $LOAD_BEFORE, after $(load) (on $(nproc) cores)"
printf '%-40s %9s %9s %7s %6s\n' operation ours peer ratio goal
row() { printf '%-40s %8.2fs %8.2fs %7s %6s\n' "$1" "${SEC[$2]}" "${SEC[$3]}" "$(ratio "${SEC[$2]}" "${SEC[$3]}")" "$4"; }
row "full restore vs unzip -o -q" ours_plain unzip_plain "0.50"
row "full restore, password vs unzip -P" ours_pw unzip_pw "0.50"
echo "peak memory: ours $((KIB[ours_plain] / 1024)) MiB (password $((KIB[ours_pw] / 1024)) MiB), goal < 128 MiB;" \
     "unzip $((KIB[unzip_plain] / 1024)) MiB"
echo "restored tree byte for byte: plain $PLAIN_OK, password $PW_OK"
echo "archive browser (goals: list < 0.5 s, each sort < 0.2 s):"
sed 's/^/  /' "$W/browser.txt"
