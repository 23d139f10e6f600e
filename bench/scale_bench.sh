#!/usr/bin/env bash
# Whether a full backup grows linearly with the data: `vorlixbackup /BACKUP` of the
# data set at scale 1 and at scale S (default 10; about 4 GB), warm cache, median of
# $VB_BENCH_REPEAT runs each. Goals: time at scale S at most 1.05 x S times that at
# scale 1, peak memory the same within 10 %. Needs about 7 x S GB of free disk.
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
declare -A RESULT_SEC RESULT_KIB PEER_SEC PEER_KIB
for SCALE in 1 "$BIG"; do
    W="$ROOT/scale-$SCALE"
    source "$(dirname "$0")/bench_common.sh"
    job_files
    warm_cache
    measure_median full "rm -f '$W/ziel/Schule.zip'" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        HOME="$W/home" XDG_CONFIG_HOME="$W/home/.config" XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" \
        "$PROGRAM" /BACKUP
    RESULT_SEC[$SCALE]=${SEC[full]} RESULT_KIB[$SCALE]=${KIB[full]}
    cd "$W/data"
    REPEAT=1 measure_median peer "rm -f '$W/peer.zip'" zip -q -r -6 "$W/peer.zip" .
    cd - >/dev/null
    PEER_SEC[$SCALE]=${SEC[peer]} PEER_KIB[$SCALE]=${KIB[peer]}
    rm -rf "$W"  # one data set on disk at a time
done
trap 'rm -rf "$ROOT"' EXIT
echo "full backup, scale 1 against scale $BIG, median of $REPEAT; load after $(load) (on $(nproc) cores)"
printf 'time: %.2f s and %.2f s, %s x (goal at most %s x)\n' "${RESULT_SEC[1]}" "${RESULT_SEC[$BIG]}" \
    "$(ratio "${RESULT_SEC[$BIG]}" "${RESULT_SEC[1]}")" "$(python3 -c "print(1.05 * $BIG)")"
printf 'peak memory: %d MiB and %d MiB, %s x (goal 0.90-1.10 x)\n' "$((RESULT_KIB[1] / 1024))" \
    "$((RESULT_KIB[$BIG] / 1024))" "$(ratio "${RESULT_KIB[$BIG]}" "${RESULT_KIB[1]}")"
printf 'zip -r -6, one run each: %.2f s and %.2f s, %s x; %d MiB and %d MiB, %s x\n' "${PEER_SEC[1]}" \
    "${PEER_SEC[$BIG]}" "$(ratio "${PEER_SEC[$BIG]}" "${PEER_SEC[1]}")" "$((PEER_KIB[1] / 1024))" \
    "$((PEER_KIB[$BIG] / 1024))" "$(ratio "${PEER_KIB[$BIG]}" "${PEER_KIB[1]}")"
