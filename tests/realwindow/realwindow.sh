#!/usr/bin/env bash
# Starts the real wizard under Xvfb and uses it as a user would: waits for its window titled
# "Velloran", clicks 使い方 (the system's opener, here a stand-in, must be given the manual beside the
# program), double-clicks 作業開始 where the next page's 次へ appears (the second click must not
# click that page: no refusal box, no settings log), clicks that 次へ once it has settled (its
# refusal box must carry its title exactly), closes the window as the close box would, and checks
# that the process has ended. A second copy started meanwhile says that one is running and ends.
# Then, with a FIFO at each of the wizard's own files (the lock beside the program, the remembered
# settings and save folder), it starts again: the page shows at once and the program ends when it
# is closed. Last, a settings file given on the command line (as a double click gives it): one that
# is not a settings file is refused on the start page, a good one starts the run, whose first 次へ
# writes its picture into the settings log. Catches a missing platform plugin, font or library that
# the offscreen tests cannot.
#   realwindow.sh VELLORAN X11CLOSE X11CLICK
set -u
app=$1
closer=$2
clicker=$3
log=$(mktemp)
# A first start: no last run's settings to fill the pages with.
export XDG_DATA_HOME=$(mktemp -d)
# The system's document opener, standing in for the browser: it notes what it was given.
opener=$(mktemp -d)
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >"%s/opened"\n' "$opener" >"$opener/xdg-open"
chmod +x "$opener/xdg-open"
export PATH="$opener:$PATH"
lock="$(dirname "$(readlink -f "$app")")/.velra.lock"
trap 'rm -rf "$log" "$XDG_DATA_HOME" "$opener"; [ -p "$lock" ] && rm -f "$lock"' EXIT
# The hand-off files live beside the program (its folder is writable here).
settings="$(dirname "$(readlink -f "$app")")/velra.dat"
rm -f "$settings"
xvfb-run -a -s '-screen 0 800x600x24 -dpi 96' bash -c '
    app=$1 closer=$2 clicker=$3 log=$4 settings=$5 opened=$6
    "$app" 2>"$log" & pid=$!
    # 使い方 at the right end of the row below 作業開始.
    if ! "$clicker" Velloran 270 224 10 1; then kill $pid 2>/dev/null; exit 1; fi
    for _ in $(seq 50); do [ -s "$opened" ] && break; sleep 0.1; done
    manual="file://$(dirname "$(readlink -f "$app")")/manual/index.html"
    if [ "$(cat "$opened" 2>/dev/null)" != "$manual" ]; then
        echo "使い方 opened \"$(cat "$opened" 2>/dev/null)\", not $manual"; kill $pid; exit 1
    fi
    echo "使い方 opened $manual"
    # 作業開始 spans the page bottom; the scroll-image page puts 次へ at 216,184 88x25.
    if ! "$clicker" Velloran 260 198 10; then kill $pid 2>/dev/null; exit 1; fi
    sleep 1
    if "$closer" "記入情報がそろっていません" 0 --wait 2>/dev/null; then
        echo "the second click of the double click clicked the next page (a refusal box appeared)"
        kill $pid; exit 1
    fi
    if [ -e "$settings" ]; then echo "the double click wrote a settings log"; kill $pid; exit 1; fi
    # A second copy from the same folder says that one runs, and ends; the first goes on.
    "$app" 2>>"$log" & second=$!
    if ! "$closer" "すでに起動しています" 10; then echo "the second copy did not say that one is running"; kill $pid $second; exit 1; fi
    for _ in $(seq 50); do kill -0 $second 2>/dev/null || break; sleep 0.1; done
    if kill -0 $second 2>/dev/null; then echo "the second copy did not end"; kill $pid $second; exit 1; fi
    wait $second || { echo "the second copy ended with an error"; kill $pid; exit 1; }
    if ! kill -0 $pid 2>/dev/null; then echo "the first copy ended with the second"; exit 1; fi
    # A click once the page has settled is a click: the refusal box shows its title exactly.
    "$clicker" Velloran 260 198 10 1 >/dev/null
    if ! "$closer" "記入情報がそろっていません" 10; then echo "no box titled exactly 記入情報がそろっていません"; kill $pid; exit 1; fi
    sleep 0.5
    if ! "$closer" Velloran 10; then kill $pid 2>/dev/null; exit 1; fi
    for _ in $(seq 50); do
        kill -0 $pid 2>/dev/null || { wait $pid; rc=$?; echo "velloran ended (exit $rc)"; exit $rc; }
        sleep 0.1
    done
    echo "velloran still running 5 s after its window was closed"; kill $pid; exit 1
' bash "$app" "$closer" "$clicker" "$log" "$settings" "$opener/opened"
rc=$?
if [ $rc -eq 0 ]; then
    own="$XDG_DATA_HOME/velloran"
    mkdir -p "$own"
    rm -f "$lock" "$own/velra-last.dat" "$own/velra-save-folder.txt"
    mkfifo "$lock" "$own/velra-last.dat" "$own/velra-save-folder.txt"
    xvfb-run -a -s '-screen 0 800x600x24 -dpi 96' bash -c '
        app=$1 closer=$2 log=$3
        "$app" 2>>"$log" & pid=$!
        if ! "$closer" Velloran 10; then echo "no page with FIFOs at the own files"; kill -9 $pid; exit 1; fi
        for _ in $(seq 50); do
            kill -0 $pid 2>/dev/null || { wait $pid; rc=$?; echo "with FIFOs at its own files: velloran showed its page and ended (exit $rc)"; exit $rc; }
            sleep 0.1
        done
        echo "velloran still running 5 s after its window was closed (FIFOs at its own files)"; kill -9 $pid; exit 1
    ' bash "$app" "$closer" "$log"
    rc=$?
    rm -f "$lock"
fi
if [ $rc -eq 0 ]; then
    files=$(mktemp -d)
    # A 100 x 50 black 24-bit BMP, and a settings file that names it.
    { printf 'BM\xce\x3a\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\x64\x00\x00\x00\x32\x00\x00\x00'
      printf '\x01\x00\x18\x00\x00\x00\x00\x00\x98\x3a\x00\x00\x13\x0b\x00\x00\x13\x0b\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
      head -c 15000 /dev/zero; } >"$files/scroll.bmp"
    printf 'Velloran settings 2\n%s\n\n\n\n\n"scroll.bmp","100","50"\r\n"back.bmp","640","480","640","480"\r\n1\r\n3,"10",1,3,"2"\r\n' \
        "$files/scroll.bmp" >"$files/pan.velra"
    printf '"scroll.bmp","100","50"\r\n' >"$files/not.velra"
    # A name that is not text: the file the replacement character would name must not be opened.
    cp "$files/pan.velra" "$files/x$(printf '\357\277\275').velra"
    rm -f "$settings"
    xvfb-run -a -s '-screen 0 800x600x24 -dpi 96' bash -c '
        app=$1 closer=$2 clicker=$3 log=$4 settings=$5 files=$6
        "$app" "$files/not.velra" 2>>"$log" & pid=$!
        if ! "$closer" 設定を開けません 10; then echo "velloran FILE did not refuse a file that is not a settings file"; kill $pid; exit 1; fi
        "$closer" Velloran 10; wait $pid
        "$app" "$files/x$(printf "\377").velra" 2>>"$log" & pid=$!
        if ! "$closer" 設定を開けません 10; then echo "velloran opened a name that is not text"; kill $pid; exit 1; fi
        "$closer" Velloran 10; wait $pid
        if [ -e "$settings" ]; then echo "velloran opened the file a name that is not text was taken for"; exit 1; fi
        "$app" "$files/pan.velra" 2>>"$log" & pid=$!
        "$clicker" Velloran 260 196 10 1 >/dev/null # the scroll-image page'"'"'s 次へ, its picture filled in
        for _ in $(seq 50); do [ -s "$settings" ] && break; sleep 0.1; done
        "$closer" Velloran 10; wait $pid
        if ! head -1 "$settings" 2>/dev/null | grep -q "^\"scroll.bmp\",\"100\",\"50\""; then
            echo "velloran FILE.velra did not start the run from the file: $(head -1 "$settings" 2>/dev/null)"; exit 1
        fi
        echo "velloran FILE.velra: refused a log and a name that is not text, started a run from a settings file"
    ' bash "$app" "$closer" "$clicker" "$log" "$settings" "$files"
    rc=$?
    rm -rf "$files"
fi
[ $rc -eq 0 ] || { echo "--- what velloran printed:"; grep -v XDG_RUNTIME_DIR "$log"; }
exit $rc
