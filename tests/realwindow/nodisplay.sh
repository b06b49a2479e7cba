#!/bin/sh
# Started without a display, the wizard says so in Japanese on standard error and exits 1 (no core).
err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1" 2>&1 >/dev/null)
code=$?
echo "exit $code: $err"
[ "$code" -eq 1 ] && case "$err" in *ディスプレイ*) exit 0 ;; *) exit 1 ;; esac
