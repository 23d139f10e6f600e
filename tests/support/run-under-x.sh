#!/bin/sh
# Runs a command on a virtual X display of the given size, with a window manager that
# frames the windows as a desktop does: run-under-x.sh 1024x768 command [arguments...]
# The command's exit status is the script's.
size=$1
shift
for tool in xvfb-run openbox xprop; do
    command -v "$tool" >/dev/null || { echo "run-under-x.sh: $tool is not installed (make deps)" >&2; exit 1; }
done
exec xvfb-run -a -s "-screen 0 ${size}x24 -dpi 96 -nolisten tcp" sh -c '
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    # Qt reads what the window manager supports when it connects: wait until it runs.
    tries=0
    until xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_FRAME_EXTENTS; do
        tries=$((tries + 1))
        [ $tries -gt 300 ] && { echo "run-under-x.sh: the window manager did not start" >&2; exit 1; }
        sleep 0.1
    done
    "$@"
    status=$?
    kill $wm 2>/dev/null
    exit $status' run-under-x "$@"
