#!/usr/bin/env bash
# Script text written to a console (not redirected) shows its Japanese names whole: Wine gives a
# program on a terminal a console, here the terminal of `script`.
#   console.sh WINE_RUN VELRA_SCRIPT
set -uo pipefail
run=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The worked example with the background named 背景.bmp (CP932 94 77 8C 69).
printf '"scroll.bmp","100","50"\r\n"\x94\x77\x8c\x69.bmp","640","480","640","480"\r\n1\r\n3,"10",1,3,"2"\r\n' >"$work/log.dat"
log="Z:$(readlink -f "$work/log.dat" | tr / '\\')"
shown=$(LANG=C.UTF-8 timeout 120 script -qec "$(printf '%q ' "$run" "$program" generate "$log")" /dev/null)
grep -qF 'Graphic "背景.bmp",0,0,0,0,"None",0,0,0,"/POS:0,0,640,480"' <<<"$shown" \
    || { echo "the console showed:"; head -c 400 <<<"$shown" | od -c | head; exit 1; }
echo "the console shows 背景.bmp whole"

# Messages redirected to a file are in the ANSI code page where it holds them, so that `type` on a
# Japanese Windows shows them: code page 932 under a Japanese locale (made here, Wine takes its code
# page from it); a character outside it (한) makes the whole message UTF-8 rather than lose it.
localedef -i ja_JP -f UTF-8 "$work/ja_JP.UTF-8" 2>/dev/null || { echo "no Japanese locale data (Debian's locales)"; exit 1; }
for case in '無い CP932' '한 UTF-8'; do
    read -r name encoding <<<"$case"
    LOCPATH=$work LC_ALL=ja_JP.UTF-8 timeout 120 "$run" "$program" generate "Z:\\tmp\\$name.dat" >/dev/null 2>"$work/said"
    expected="velra-script: 設定ログ「Z:\\tmp\\$name.dat」が見つかりません。"
    [ "$(iconv -f "$encoding" -t UTF-8 "$work/said" | tr -d '\r')" = "$expected" ] \
        || { echo "redirected, the message for $name was not $encoding:"; od -c "$work/said" | head; exit 1; }
done
echo "redirected messages are CP932 under code page 932, UTF-8 when it cannot hold them"
