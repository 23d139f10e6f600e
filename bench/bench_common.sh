# Shared by the benchmark scripts: sourced after W (the work folder) and SCALE are set.
# Generates the data set in $W/data (DATASET_ARGS, when set, replace the --scale option:
# --many-small makes the many-small-files set) and defines measure, measure_median,
# measure_pairs, ratio and size.

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
DATASET="$HERE/make_dataset.py"
SEVEN=$(command -v 7zz || command -v 7z)

rm -rf "$W"; mkdir -p "$W"
[ "${VB_BENCH_KEEP:-0}" = 1 ] || trap 'rm -rf "$W"' EXIT
python3 "$DATASET" "$W/data" ${DATASET_ARGS:---scale "$SCALE"} >/dev/null

# measure NAME CMD...: wall seconds and peak RSS (KiB) of one command.
declare -A SEC KIB
measure() {
    local name=$1; shift
    /usr/bin/time -f "%e %M" -o "$W/time.txt" "$@" >/dev/null 2>"$W/err.txt" || { cat "$W/err.txt"; exit 1; }
    read -r SEC[$name] KIB[$name] < "$W/time.txt"
}

# measure_median NAME PREPARE CMD...: runs PREPARE (a shell command, not timed), then
# sync, so that no earlier write is billed to CMD, then CMD; $REPEAT times (default 3).
# SEC and KIB get the median run's wall seconds and peak RSS, $W/err-NAME.txt its
# standard error.
REPEAT=${VB_BENCH_REPEAT:-3}
measure_median() {
    local name=$1 prepare=$2; shift 2
    local i runs=()
    for ((i = 1; i <= REPEAT; i++)); do
        bash -c "$prepare"
        sync
        /usr/bin/time -f "%e %M" -o "$W/time.txt" "$@" >/dev/null 2>"$W/err-$name-$i.txt" ||
            { cat "$W/err-$name-$i.txt"; exit 1; }
        runs+=("$(cat "$W/time.txt") $i")
    done
    local median
    median=$(printf '%s\n' "${runs[@]}" | sort -n | sed -n "$(((REPEAT + 1) / 2))p")
    read -r SEC[$name] KIB[$name] i <<< "$median"
    mv "$W/err-$name-$i.txt" "$W/err-$name.txt"
}

# measure_pairs NAME PREPARE_OURS OURS PREPARE_PEER PEER: $PAIRS pairs (default 5) of
# runs of the two shell commands OURS and PEER, alternating, each after its PREPARE
# and a sync. SEC[NAME] and SEC[NAME_peer] get the median seconds, RATIO[NAME] the
# median of the pairs' ratios and SPREAD[NAME] their lowest and highest;
# KIB[NAME] the largest peak RSS of our runs, LAST_SEC[NAME] the seconds of our last run
# (whose standard error stays in $W/err-NAME.txt).
PAIRS=${VB_BENCH_PAIRS:-5}
declare -A RATIO SPREAD LAST_SEC
measure_pairs() {
    local name=$1 prep_ours=$2 ours=$3 prep_peer=$4 peer=$5
    local i a b kib peak=0 ours_s=() peer_s=() ratios=()
    for ((i = 1; i <= PAIRS; i++)); do
        bash -c "$prep_ours"; sync
        /usr/bin/time -f "%e %M" -o "$W/time.txt" bash -c "$ours" >/dev/null 2>"$W/err-$name.txt" ||
            { cat "$W/err-$name.txt"; exit 1; }
        read -r a kib < "$W/time.txt"
        ((kib > peak)) && peak=$kib
        bash -c "$prep_peer"; sync
        /usr/bin/time -f "%e %M" -o "$W/time.txt" bash -c "$peer" >/dev/null 2>"$W/err-$name-peer.txt" ||
            { cat "$W/err-$name-peer.txt"; exit 1; }
        read -r b kib < "$W/time.txt"
        ours_s+=("$a") peer_s+=("$b") ratios+=("$(ratio "$a" "$b")")
    done
    local mid=$(((PAIRS + 1) / 2))
    SEC[$name]=$(printf '%s\n' "${ours_s[@]}" | sort -n | sed -n "${mid}p")
    SEC[${name}_peer]=$(printf '%s\n' "${peer_s[@]}" | sort -n | sed -n "${mid}p")
    RATIO[$name]=$(printf '%s\n' "${ratios[@]}" | sort -n | sed -n "${mid}p")
    SPREAD[$name]="$(printf '%s\n' "${ratios[@]}" | sort -n | head -1)-$(printf '%s\n' "${ratios[@]}" | sort -n | tail -1)"
    KIB[$name]=$peak
    LAST_SEC[$name]=$a
}

# job_files: one automatic job, Schule, that saves $W/data whole into $W/ziel, with
# the settings of a run without logging.
job_files() {
    mkdir -p "$W/home/.config/vorlix-backup" "$W/shared/VorlixBackup" "$W/ziel"
    chmod 700 "$W"
    printf 'BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nSchule,%s,%s,1,\r\n' \
        "$W/ziel" "$W/def.csv" > "$W/shared/VorlixBackup/Backupjobs.csv"
    printf 'NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nDaten,%s,*,1,1\r\n' "$W/data" > "$W/def.csv"
    printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"STRATEGIE"=dword:00000002\n"LOGGING"=dword:00000000\n' \
        > "$W/home/.config/vorlix-backup/registry.reg"
}

ratio() { python3 -c "print('%.2f' % ($1 / max($2, 0.001)))"; }
size() { stat -c %s "$1"; }
warm_cache() { find "$W/data" -type f -exec cat {} + > /dev/null; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
