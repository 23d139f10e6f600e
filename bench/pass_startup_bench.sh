#!/usr/bin/env bash
# What an unattended pass costs before its first job works: `vorlixbackup /BACKUP` and
# `/RESTORE` headless over three jobs that share a small tree (20 folders of 100 text
# files), each an update of archives that are there already. Prints the median of
# $VB_BENCH_REPEAT runs (default 5) of the phases "start-up" and "job switch"
# (VB_BENCH_PHASES) and of the whole process, and whether a Qt platform plugin or any
# Qt library was loaded (LD_DEBUG=libs).
#
#   bench/pass_startup_bench.sh BUILD_DIR [PROGRAM]
# PROGRAM (default BUILD_DIR/vorlixbackup) lets an older build be measured the same way.
# Work folder: $VB_BENCH_DIR (default /tmp/vb-startup-bench), removed afterwards.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
PROGRAM=${2:-$BUILD/vorlixbackup}
W=${VB_BENCH_DIR:-/tmp/vb-startup-bench}
REPEAT=${VB_BENCH_REPEAT:-5}
rm -rf "$W"; mkdir -p "$W/home/.config" "$W/shared/VorlixBackup" "$W/src"; chmod 700 "$W"
trap 'rm -rf "$W"' EXIT
for d in $(seq 0 19); do
    mkdir -p "$W/src/d$d"
    for f in $(seq 0 99); do printf 'Zeile %s\n%.0s' $(seq 1 20) > "$W/src/d$d/f$f.txt"; done
done
printf 'NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQ,%s,*.*,1,1\r\n' "$W/src" > "$W/def.csv"
{
    printf 'BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\n'
    for j in 0 1 2; do printf 'Job%s,%s,%s,1,\r\n' "$j" "$W/ziel" "$W/def.csv"; done
} > "$W/shared/VorlixBackup/Backupjobs.csv"

pass() {  # pass SWITCH: one headless pass, its phase table on standard output
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$W/home" XDG_CONFIG_HOME="$W/home/.config" \
        XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" VB_BENCH_PHASES=1 "$PROGRAM" "$1" 2>&1 >/dev/null
}
median() { sort -n | sed -n "$(((REPEAT + 1) / 2))p"; }
phase() { awk -v name="$1" '$0 ~ "^"name" " { for (i = 1; i <= NF; ++i) if ($i ~ /^[0-9.]+$/) { print $i; exit } }'; }

pass /BACKUP >/dev/null  # the archives are there from now on
for switch in /BACKUP /RESTORE; do
    for phase_name in start-up "job switch" "total in process"; do
        values=$(for _ in $(seq "$REPEAT"); do pass "$switch" | phase "$phase_name"; done | median)
        printf '%-9s %-17s %8s ms\n' "$switch" "$phase_name" "${values:-0}"
    done
done
libs=$(LD_DEBUG=libs env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$W/home" \
    XDG_CONFIG_HOME="$W/home/.config" XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" \
    "$PROGRAM" /BACKUP 2>&1 | grep -o 'calling init: [^ ]*' | sort -u || true)
plugins=$(grep -o '[^ ]*/plugins/platforms/[^ ]*' <<< "$libs" || true)
qt=$(grep -c 'libQt6' <<< "$libs" || true)
echo "platform plugins loaded: ${plugins:-none}; Qt libraries loaded: ${qt:-0}"
