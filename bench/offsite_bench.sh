#!/usr/bin/env bash
# The copy of a new archive to an rclone remote against rclone copyto alone: the
# archive of a full backup of the generated school data set (scale 1: about 215 MB)
# to `rclone serve webdav` on localhost. Ours uploads under a temporary name, checks
# the size (WebDAV offers no hash), renames and lists around it; the peer only
# uploads. Five alternating pairs (VB_BENCH_PAIRS); goal: ours at most 10 % slower.
#
#   bench/offsite_bench.sh BUILD_DIR [SCALE]
# Work folder: $VB_BENCH_DIR (default /tmp/vb-offsite-bench), removed afterwards unless
# VB_BENCH_KEEP=1.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
SCALE=${2:-1}
PROGRAM="$BUILD/vorlixbackup"
W=${VB_BENCH_DIR:-/tmp/vb-offsite-bench}
source "$(dirname "$0")/bench_common.sh"
LOAD_BEFORE=$(load)

job_files
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$W/home" XDG_CONFIG_HOME="$W/home/.config" \
    XDG_RUNTIME_DIR="$W" VORLIXBACKUP_COMMON_DOCUMENTS="$W/shared" "$PROGRAM" /BACKUP 2>/dev/null
ARCHIVE="$W/ziel/Schule.zip"

# The server names its port once it listens; nothing is timed before that.
mkdir -p "$W/served"
export RCLONE_CONFIG="$W/rclone.conf"
: > "$RCLONE_CONFIG"
mkfifo "$W/server.log"
rclone serve webdav --addr 127.0.0.1:0 --user bench --pass bench "$W/served" >"$W/server.log" 2>&1 &
SERVER_PID=$!
trap 'kill "$SERVER_PID" 2>/dev/null; [ "${VB_BENCH_KEEP:-0}" = 1 ] || rm -rf "$W"' EXIT
exec 3<"$W/server.log"
PORT=""
while read -r line <&3; do
    case $line in *"Server started on"*) PORT=${line##*:}; PORT=${PORT%/}; break ;; esac
done
[ -n "$PORT" ] || { echo "rclone serve webdav did not start"; exit 1; }
# Drains the server's log so that it never blocks on a full pipe.
cat <&3 >/dev/null &
printf '[bench]\ntype = webdav\nurl = http://127.0.0.1:%s/\nvendor = other\nuser = bench\npass = %s\n' \
    "$PORT" "$(rclone obscure bench)" > "$RCLONE_CONFIG"

# The copies are removed through the server: it caches its folder listings, and would
# not see a file removed behind its back.
measure_pairs copy "rclone purge bench:ours 2>/dev/null || true" "'$BUILD/bench/offsite_bench' '$W/ziel' Schule bench:ours" \
    "rclone purge bench:peer 2>/dev/null || true" "rclone copyto '$ARCHIVE' bench:peer/Schule.zip"
cmp -s "$ARCHIVE" "$W/served/ours/Schule.zip" && SAME=yes || SAME=NO

echo "copy to rclone serve webdav, scale $SCALE: archive $(stat -c %s "$ARCHIVE") bytes;" \
     "$PAIRS pairs; load before $LOAD_BEFORE, after $(load) (on $(nproc) cores)"
printf '%-40s %9s %9s %7s %11s %6s\n' operation ours peer ratio spread goal
printf '%-40s %8.2fs %8.2fs %7s %11s %6s\n' "archive to webdav vs rclone copyto" "${SEC[copy]}" "${SEC[copy_peer]}" \
    "${RATIO[copy]}" "${SPREAD[copy]}" "<= 1.10"
echo "remote copy identical to the archive: $SAME"
