#!/usr/bin/env bash
# Starts the Windows wizard under Wine on Xvfb with the windows platform, waits for its window titled
# "Velloran", takes a screenshot when asked, starts a second copy (which must say that one is running
# and end), closes the window as the close box would, and checks that the program has ended.
#   realwindow.sh X11CLOSE SCREENSHOT|- COMMAND...   (COMMAND runs velloran.exe under Wine)
set -u
closer=$1
shot=$2
shift 2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
export QT_QPA_PLATFORM=windows WINEQT_QPA_PLATFORM=windows
# A Wine session started without the display (an earlier program of the same prefix) would keep the
# window off the screen: wait until it has ended, so that this program starts one on Xvfb.
/usr/lib/wine/wineserver -w
xvfb-run -a -s '-screen 0 800x600x24 -dpi 96' bash -c '
    closer=$1 shot=$2 log=$3; shift 3
    "$@" 2>"$log" & pid=$!
    if ! "$closer" Velloran 60 --wait; then kill $pid 2>/dev/null; exit 1; fi
    if [ "$shot" != - ]; then
        sleep 2 # the first paint
        import -window root "$shot" || { echo "no screenshot"; kill $pid; exit 1; }
    fi
    # A second copy from the same folder says that one runs, and ends; the first goes on.
    "$@" 2>>"$log" & second=$!
    if ! "$closer" "すでに起動しています" 60; then echo "the second copy did not say that one is running"; kill $pid $second; exit 1; fi
    for _ in $(seq 150); do kill -0 $second 2>/dev/null || break; sleep 0.1; done
    if kill -0 $second 2>/dev/null; then echo "the second copy did not end"; kill $pid $second; exit 1; fi
    wait $second || { echo "the second copy ended with an error"; kill $pid; exit 1; }
    kill -0 $pid 2>/dev/null || { echo "the first copy ended with the second"; exit 1; }
    "$closer" Velloran 5 || { kill $pid; exit 1; }
    for _ in $(seq 150); do
        kill -0 $pid 2>/dev/null || { wait $pid; rc=$?; echo "velloran.exe ended (exit $rc)"; exit $rc; }
        sleep 0.1
    done
    echo "velloran.exe still running 15 s after its window was closed"; kill $pid; exit 1
' bash "$closer" "$shot" "$log" "$@"
rc=$?
[ $rc -eq 0 ] || { echo "--- what velloran.exe printed:"; cat "$log"; }
exit $rc
