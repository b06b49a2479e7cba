#!/usr/bin/env bash
# Starts the real wizard under Xvfb, waits for its window titled "Velloran", closes it as the close
# box would, and checks that the process has ended. Catches a missing platform plugin, font or
# library that the offscreen tests cannot.
#   realwindow.sh VELLORAN X11CLOSE
set -u
app=$1
closer=$2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
xvfb-run -a -s '-screen 0 800x600x24 -dpi 96' bash -c '
    "$0" 2>"$2" & pid=$!
    if ! "$1" Velloran 10; then kill $pid 2>/dev/null; exit 1; fi
    for _ in $(seq 50); do
        kill -0 $pid 2>/dev/null || { wait $pid; rc=$?; echo "velloran ended (exit $rc)"; exit $rc; }
        sleep 0.1
    done
    echo "velloran still running 5 s after its window was closed"; kill $pid; exit 1
' "$app" "$closer" "$log"
rc=$?
[ $rc -eq 0 ] || { echo "--- what velloran printed:"; grep -v XDG_RUNTIME_DIR "$log"; }
exit $rc
