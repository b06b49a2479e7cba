#!/bin/bash
# The Windows companion exports the Linux companion's animation, frame for frame: the README's
# three-move chain as WebP (whole and halved) and as GIF, each decoded on Linux and compared frame
# by frame (its start, its time, its whole canvas) and for its looping.
#   same_animation.sh LINUX_VELRA_SCRIPT WINDOWS_VELRA_SCRIPT_EXE WINE_RUNNER ANIMATION_FRAMES
set -euo pipefail
linux=$1
windows=$2
runner=$3
frames=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$(readlink -f "$1" | tr / '\\')"; }
# BMP pictures, so that no JPEG decoder of either system comes into it: a sky and a banner of many
# colours.
convert -size 640x480 gradient:'#5a96e6'-'#c8e6ff' -type TrueColor "BMP3:$work/back.bmp"
convert -size 120x90 plasma:fractal -seed 7 -type TrueColor "BMP3:$work/mark.bmp"
printf '"mark.bmp","120","90"\r\n"back.bmp","640","480","640","480"\r\n2\r\n"-120","-90","100","80",2,"40",3,"0","0",1\r\n"420","120",2,"40",5,"6","0.42","0","0.58","1"\r\n"640","480",1,"7",1,"0"\r\n' >"$work/chain.dat"
checks=0
for case in "webp:" "webp:--scale 0.5 --once --fps 90" "gif:" "gif:--scale 0.5 --fps 50 --once"; do
    kind=${case%%:*}
    read -r -a more <<<"${case#*:}"
    "$linux" preview "$work/chain.dat" --scroll-picture "$work/mark.bmp" --background-picture "$work/back.bmp" \
        --animation -o "$work/linux.$kind" "${more[@]}"
    "$runner" "$windows" preview "$(winpath "$work/chain.dat")" --scroll-picture "$(winpath "$work/mark.bmp")" \
        --background-picture "$(winpath "$work/back.bmp")" --animation -o "$(winpath "$work")\\windows.$kind" "${more[@]}" >/dev/null
    "$frames" "$work/linux.$kind" >"$work/linux.txt"
    "$frames" "$work/windows.$kind" >"$work/windows.txt"
    [ "$(wc -l <"$work/linux.txt")" -gt 20 ] || { echo "FAIL: the Linux $kind ${more[*]} holds few frames"; exit 1; }
    diff -u "$work/linux.txt" "$work/windows.txt" >"$work/diff" || {
        echo "FAIL: the Windows $kind (${more[*]}) plays other frames than Linux's:"; head -20 "$work/diff"; exit 1; }
    checks=$((checks + 1))
done
echo "$checks animations: the Windows frames are Linux's, frame for frame"
