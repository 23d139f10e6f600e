# Shared by the benchmark scripts: sourced after W (the work folder) and SCALE are set.
# Generates the data set in $W/data and defines measure, ratio and size.

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
ratio() { python3 -c "print('%.2f' % ($1 / max($2, 0.001)))"; }
size() { stat -c %s "$1"; }
warm_cache() { find "$W/data" -type f -exec cat {} + > /dev/null; }
