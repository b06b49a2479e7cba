#!/bin/sh
# Started without a display, the wizard says so in Japanese on standard error and exits 1 (no core).
#   nodisplay.sh VELLORAN
err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1" 2>&1 >/dev/null)
code=$?
[ "$code" -eq 1 ] || { echo "exit $code, not 1: $err"; exit 1; }
case "$err" in
    *ディスプレイ*) echo "said: $err" ;;
    *) echo "not said in Japanese: $err"; exit 1 ;;
esac
