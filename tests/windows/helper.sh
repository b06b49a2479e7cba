#!/usr/bin/env bash
# The drawing helper lives only as long as velra-script.exe: `preview --all` of a long chain is
# started, velra-script.exe is ended as Task Manager ends it (taskkill /F), and the frames folder
# must stop changing at once, the helper gone with the job that held it.
#   helper.sh WINE_RUN VELRA_SCRIPT_EXE
set -u
run=$1 program=$2
work=$(mktemp -d /tmp/velra-helper.XXXXXX)
trap 'rm -rf "$work"' EXIT
printf '"s.bmp","10","10"\r\n"b.bmp","64","48","64","48"\r\n2\r\n"0","0","40","30",2,"32768",1,"0","0",1\r\n"0","0",2,"32768",1,"0"\r\n' >"$work/long.dat"
win() { printf 'Z:%s' "${1//\//\\}"; }
"$run" "$program" preview "$(win "$work/long.dat")" --all -o "$(win "$work/frames")" >/dev/null 2>&1 &
for _ in $(seq 120); do [ "$(ls "$work/frames" 2>/dev/null | wc -l)" -gt 20 ] && break; sleep 0.5; done
[ "$(ls "$work/frames" 2>/dev/null | wc -l)" -gt 20 ] || { echo "the preview drew no frames"; exit 1; }
# Its answer is not the test (Wine may call a kill of a process already ending a failure): the frames are.
"$run" taskkill /F /IM "$(basename "$program")" >/dev/null 2>&1
sleep 3
before=$(ls "$work/frames" | wc -l)
sleep 5
after=$(ls "$work/frames" | wc -l)
[ "$before" = "$after" ] || { echo "the helper went on drawing after velra-script.exe ended ($before, then $after frames)"; exit 1; }
echo "velra-script.exe ended: its helper stopped with it ($after frames)"
