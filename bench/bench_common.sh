# Shared by the benchmark scripts: sourced after W (the work folder) and SCALE are set.
# Generates the data set in $W/data and defines measure, measure_median, ratio and size.

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
DATASET="$HERE/make_dataset.py"
SEVEN=$(command -v 7zz || command -v 7z)

rm -rf "$W"; mkdir -p "$W"
[ "${VB_BENCH_KEEP:-0}" = 1 ] || trap 'rm -rf "$W"' EXIT
python3 "$DATASET" "$W/data" --scale "$SCALE" >/dev/null

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

ratio() { python3 -c "print('%.2f' % ($1 / max($2, 0.001)))"; }
size() { stat -c %s "$1"; }
warm_cache() { find "$W/data" -type f -exec cat {} + > /dev/null; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
