#!/bin/bash
# The Windows companion exports the Linux companion's animation: the README's three-move chain as
# lossless WebP and as GIF (whole and scaled), the same bytes, decoded on Linux and compared frame by
# frame too (its start, its time, its whole canvas) and for its looping; as lossy WebP, its frames
# within 45 dB of Linux's; and under a size limit, fitting it.
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
for case in "webp:" "webp:--scale 0.5 --once --fps 90" "webp:--quality 80 --scale 1/3" "gif:" "gif:--scale 0.5 --fps 50 --once" \
    "gif:--every 3 --scale 1/4"; do
    kind=${case%%:*}
    read -r -a more <<<"${case#*:}"
    "$linux" preview "$work/chain.dat" --scroll-picture "$work/mark.bmp" --background-picture "$work/back.bmp" \
        --animation -o "$work/linux.$kind" "${more[@]}"
    "$runner" "$windows" preview "$(winpath "$work/chain.dat")" --scroll-picture "$(winpath "$work/mark.bmp")" \
        --background-picture "$(winpath "$work/back.bmp")" --animation -o "$(winpath "$work")\\windows.$kind" "${more[@]}" >/dev/null
    "$frames" "$work/linux.$kind" >"$work/linux.txt"
    "$frames" "$work/windows.$kind" >"$work/windows.txt"
    [ "$(wc -l <"$work/linux.txt")" -gt 20 ] || { echo "FAIL: the Linux $kind ${more[*]} holds few frames"; exit 1; }
    if [[ " ${more[*]} " == *" --quality "* ]]; then
        # libwebp's lossy coding calls the C library's pow: the frames, not the bytes, must agree.
        psnr=$("$frames" "$work/linux.$kind" "$work/windows.$kind") || { echo "FAIL: the Windows $kind (${more[*]}) plays other frames or times"; exit 1; }
        awk -v p="$psnr" 'BEGIN { exit !(p >= 45) }' || { echo "FAIL: the Windows $kind (${more[*]}) is $psnr dB from Linux's"; exit 1; }
    else
        cmp -s "$work/linux.$kind" "$work/windows.$kind" || { echo "FAIL: the Windows $kind (${more[*]}) is not Linux's bytes"; exit 1; }
        diff -u "$work/linux.txt" "$work/windows.txt" >"$work/diff" || {
            echo "FAIL: the Windows $kind (${more[*]}) plays other frames than Linux's:"; head -20 "$work/diff"; exit 1; }
    fi
    checks=$((checks + 1))
done
# A size limit: the Windows file fits it, as Linux's does, and both say what they chose.
for kind in webp gif; do
    for system in linux windows; do
        if [ $system = linux ]; then
            "$linux" preview "$work/chain.dat" --scroll-picture "$work/mark.bmp" --background-picture "$work/back.bmp" \
                --animation -o "$work/fit-linux.$kind" --max-size 300K >/dev/null 2>"$work/said-$system"
        else
            "$runner" "$windows" preview "$(winpath "$work/chain.dat")" --scroll-picture "$(winpath "$work/mark.bmp")" \
                --background-picture "$(winpath "$work/back.bmp")" --animation -o "$(winpath "$work")\\fit-windows.$kind" \
                --max-size 300K >/dev/null 2>"$work/said-$system"
        fi
        size=$(stat -c %s "$work/fit-$system.$kind")
        [ "$size" -le 300000 ] || { echo "FAIL: the $system $kind under --max-size 300K is $size bytes"; exit 1; }
        grep -q "velra-script: " "$work/said-$system" || { echo "FAIL: the $system $kind did not say what it chose"; exit 1; }
    done
    checks=$((checks + 1))
done
echo "$checks animations: the Windows files are Linux's (bytes for GIF and lossless WebP, frames within 45 dB for lossy WebP), and fit a size limit as Linux's do"
