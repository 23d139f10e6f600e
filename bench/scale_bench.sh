#!/usr/bin/env bash
# Whether a full backup grows linearly with the data: `vorlixbackup /BACKUP` of the
# data set at scale 1 and at scale S (default 10; about 4 GB), warm cache. Both data
# sets lie on disk together, and the runs alternate, scale 1 then scale S, in
# $VB_BENCH_PAIRS pairs (default 5): a machine whose speed drifts (a shared host)
# then weighs on both halves of a pair alike. Each pair gives a ratio; the median
# and the spread of the ratios are reported. Goals: time at scale S at most
# 1.05 x S times that at scale 1, peak memory the same within 10 %. Needs about
# 7 x S GB of free disk.
# Info-ZIP's `zip -r -6` does the same at both scales once (no goal): its scaling
# beside ours tells whether the disk or the page cache limits everyone.
#
#   bench/scale_bench.sh BUILD_DIR [S]
# Work folder: $VB_BENCH_DIR (default /tmp/vb-scale-bench), removed afterwards unless
# VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
BIG=${2:-10}
PROGRAM="$BUILD/vorlixbackup"
ROOT=${VB_BENCH_DIR:-/tmp/vb-scale-bench}
HERE=$(cd "$(dirname "$0")" && pwd)
for SCALE in 1 "$BIG"; do
    W="$ROOT/scale-$SCALE"
    source "$HERE/bench_common.sh"
    trap - EXIT
    job_files
done
[ "${VB_BENCH_KEEP:-0}" = 1 ] || trap 'rm -rf "$ROOT"' EXIT

# backup SCALE: one /BACKUP of that scale's data set into a new archive, after a
# sync; its seconds and peak RSS (KiB) in $RUN.
backup() {
    local W="$ROOT/scale-$1"
    rm -f "$W/ziel/Schule.zip"
    sync
    /usr/bin/time -f "%e %M" -o "$W/time.txt" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        HOME="$W/home" XDG_CONFIG_HOME="$W/home/.config" XDG_RUNTIME_DIR="$W" \
        VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" "$PROGRAM" /BACKUP >/dev/null 2>"$W/err.txt" ||
        { cat "$W/err.txt"; exit 1; }
    RUN=$(cat "$W/time.txt")
}
median_of() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

W="$ROOT/scale-1" warm_cache
W="$ROOT/scale-$BIG" warm_cache
declare -a small_sec small_kib big_sec big_kib ratios
declare -A PEER_SEC PEER_KIB
for ((i = 1; i <= PAIRS; i++)); do
    backup 1; read -r s k <<< "$RUN"; small_sec+=("$s"); small_kib+=("$k")
    backup "$BIG"; read -r b m <<< "$RUN"; big_sec+=("$b"); big_kib+=("$m")
    ratios+=("$(ratio "$b" "$s")")
done
sorted=$(printf '%s\n' "${ratios[@]}" | sort -n)
S1=$(median_of "${small_sec[@]}") SB=$(median_of "${big_sec[@]}")
K1=$(median_of "${small_kib[@]}") KB=$(median_of "${big_kib[@]}")
echo "full backup, scale 1 against scale $BIG, $PAIRS alternating pairs; load after $(load) (on $(nproc) cores)"
printf 'time: median %.2f s and %.2f s; ratio of each pair: median %s x, %s-%s x (goal at most %s x)\n' \
    "$S1" "$SB" "$(median_of "${ratios[@]}")" "$(head -1 <<< "$sorted")" "$(tail -1 <<< "$sorted")" \
    "$(python3 -c "print('%g' % (1.05 * $BIG))")"
printf 'peak memory: median %d MiB and %d MiB, %s x; highest %d MiB and %d MiB (goal 0.90-1.10 x)\n' \
    "$((K1 / 1024))" "$((KB / 1024))" "$(ratio "$KB" "$K1")" \
    "$(($(printf '%s\n' "${small_kib[@]}" | sort -n | tail -1) / 1024))" \
    "$(($(printf '%s\n' "${big_kib[@]}" | sort -n | tail -1) / 1024))"
for SCALE in 1 "$BIG"; do
    W="$ROOT/scale-$SCALE"
    cd "$W/data"
    REPEAT=1 measure_median peer "rm -f '$W/peer.zip'" zip -q -r -6 "$W/peer.zip" .
    cd - >/dev/null
    PEER_SEC[$SCALE]=${SEC[peer]} PEER_KIB[$SCALE]=${KIB[peer]}
    rm -f "$W/peer.zip"
done
printf 'zip -r -6, one run each: %.2f s and %.2f s, %s x; %d MiB and %d MiB, %s x\n' "${PEER_SEC[1]}" \
    "${PEER_SEC[$BIG]}" "$(ratio "${PEER_SEC[$BIG]}" "${PEER_SEC[1]}")" "$((PEER_KIB[1] / 1024))" \
    "$((PEER_KIB[$BIG] / 1024))" "$(ratio "${PEER_KIB[$BIG]}" "${PEER_KIB[1]}")"
