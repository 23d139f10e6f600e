#!/usr/bin/env bash
# What protection costs: `vorlixbackup /BACKUP` of the generated school data set,
# headless, without protection, with ZipCrypto and with AES-256, and `vorlixbackup
# /RESTORE` of each of the three archives (the data set removed before each restore, so
# every file is written anew). Goal: AES-256 costs at most 15 % over no protection, for
# the backup and for the restore. Each timing is the median of $VB_BENCH_REPEAT runs
# (default 3), each started after a sync; every restored tree is compared byte for byte.
#
#   bench/encryption_bench.sh BUILD_DIR [SCALE]
# Work folder: $VB_BENCH_DIR (default /tmp/vb-encryption-bench), removed afterwards
# unless VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
SCALE=${2:-1}
PROGRAM="$BUILD/vorlixbackup"
W=${VB_BENCH_DIR:-/tmp/vb-encryption-bench}
source "$(dirname "$0")/bench_common.sh"
LOAD_BEFORE=$(load)
mkdir -p "$W/home/.config/vorlix-backup" "$W/shared/VorlixBackup" "$W/ziel"
chmod 700 "$W"
PASSWORD=Zeugnis2024

printf 'BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nSchule,%s,%s,1,\r\n' \
    "$W/ziel" "$W/def.csv" > "$W/shared/VorlixBackup/Backupjobs.csv"
printf 'NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nDaten,%s,*,1,1\r\n' "$W/data" > "$W/def.csv"
settings() {  # settings PASSWORTSCHUTZ VERSCHLUESSELUNG
    printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"STRATEGIE"=dword:00000002\n"LOGGING"=dword:00000000\n"PASSWORTSCHUTZ"=dword:0000000%s\n"VERSCHLUESSELUNG"=dword:0000000%s\n' \
        "$1" "$2" > "$W/home/.config/vorlix-backup/registry.reg"
}
RUN=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$W/home" XDG_CONFIG_HOME="$W/home/.config"
     XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" VORLIXBACKUP_PASSWORD="$PASSWORD" "$PROGRAM")
OURS="$W/ziel/Schule.zip"
find "$W/data" -type f -exec md5sum {} + | sort > "$W/sums.txt"
warm_cache

declare -A SIZE OK
for method in plain zipcrypto aes; do
    case $method in plain) settings 0 1 ;; zipcrypto) settings 1 0 ;; aes) settings 1 1 ;; esac
    measure_median "backup_$method" "rm -f '$OURS'" "${RUN[@]}" /BACKUP
    mv "$OURS" "$W/$method.zip"
    SIZE[$method]=$(size "$W/$method.zip")
done
for method in plain zipcrypto aes; do
    case $method in plain) settings 0 1 ;; zipcrypto) settings 1 0 ;; aes) settings 1 1 ;; esac
    measure_median "restore_$method" "rm -rf '$W/data'; cp '$W/$method.zip' '$OURS'" "${RUN[@]}" /RESTORE
    ( cd / && md5sum -c --quiet "$W/sums.txt" ) && OK[$method]=yes || OK[$method]=NO
done
"$SEVEN" t -p"$PASSWORD" "$W/aes.zip" >/dev/null && SEVEN_AES=yes || SEVEN_AES=NO

# The peer pays the same price: 7-Zip's ZIP AES also derives each entry's keys from a
# salt of its own. Same data, same level, two threads, without and with AES-256.
PEER="$W/peer.zip"
measure_median peer_plain "rm -f '$PEER'" "$SEVEN" a -tzip -mx5 -mmt=2 "$PEER" "$W/data"
measure_median peer_aes "rm -f '$PEER'" "$SEVEN" a -tzip -mx5 -mmt=2 -mem=AES256 -p"$PASSWORD" "$PEER" "$W/data"
measure_median peer_restore_plain "rm -rf '$W/out'; rm -f '$PEER'; '$SEVEN' a -tzip -mx5 -mmt=2 '$PEER' '$W/data' >/dev/null" \
    "$SEVEN" x -y -o"$W/out" "$PEER"
measure_median peer_restore_aes "rm -rf '$W/out'; rm -f '$PEER'; '$SEVEN' a -tzip -mx5 -mmt=2 -mem=AES256 -p'$PASSWORD' '$PEER' '$W/data' >/dev/null" \
    "$SEVEN" x -y -p"$PASSWORD" -o"$W/out" "$PEER"

echo "protection, scale $SCALE: $(wc -l < "$W/sums.txt") files; median of $REPEAT; load before $LOAD_BEFORE, after $(load) (on $(nproc) cores)"
printf '%-12s %9s %9s %12s %10s %9s\n' method backup restore archive "peak MiB" "tree ok"
for method in plain zipcrypto aes; do
    printf '%-12s %8ss %8ss %12s %10s %9s\n' "$method" "${SEC[backup_$method]}" "${SEC[restore_$method]}" \
        "${SIZE[$method]}" "$((KIB[backup_$method] / 1024))" "${OK[$method]}"
done
echo "AES-256 over none: backup $(ratio "${SEC[backup_aes]}" "${SEC[backup_plain]}"), restore $(ratio "${SEC[restore_aes]}" "${SEC[restore_plain]}") (goal <= 1.15); 7-Zip tests the AES archive: $SEVEN_AES"
echo "7-Zip, ZIP AES-256 over none: pack $(ratio "${SEC[peer_aes]}" "${SEC[peer_plain]}") (${SEC[peer_aes]} s vs ${SEC[peer_plain]} s), extract $(ratio "${SEC[peer_restore_aes]}" "${SEC[peer_restore_plain]}") (${SEC[peer_restore_aes]} s vs ${SEC[peer_restore_plain]} s)"
