#!/bin/bash
# The Windows companion writes the Linux companion's bytes: generate and save, on settings logs of
# every direction, alignment and end mode, Japanese names, scripts on both sides of 65,536 bytes and
# the largest script, into new and existing files, through Windows paths (drive letter, backslashes,
# a Japanese folder).
#   same_bytes.sh LINUX_VELRA_SCRIPT WINDOWS_VELRA_SCRIPT_EXE WINE_RUNNER
set -euo pipefail
linux=$1
windows=$2
runner=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder="$work/作品フォルダ"
mkdir -p "$folder/linux" "$folder/windows"
winpath() { printf 'Z:%s' "$(readlink -f "$1" | tr / '\\')"; }
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

checks=0
fail() { echo "FAIL: $*" >&2; exit 1; }
same() {
  cmp -s "$1" "$2" || fail "$3: the Windows bytes differ from the Linux bytes ($(cmp "$1" "$2" 2>&1 | head -1))"
  checks=$((checks + 1))
}

# log NAME SCROLLNAME W H DIRECTION STEP ALIGNMENT ENDMODE MOVES [WINDOWWIDTH]
log() {
  local file="$work/$1.dat" moves=$9
  [ "$8" = 3 ] || moves=
  {
    printf '"'; sjis "$2"; printf '","%s","%s"\r\n' "$3" "$4"
    printf '"'; sjis "背景.bmp"; printf '","640","480","%s","480"\r\n1\r\n' "${10:-640}"
    printf '%s,"%s",%s,%s,' "$5" "$6" "$7" "$8"
    [ -n "$moves" ] && printf '"%s"' "$moves"
    printf '\r\n'
  } >"$file"
  echo "$file"
}

logs=()
for direction in 1 2 3 4; do
  for alignment in 1 2 3; do
    for end in 1 2 3; do
      logs+=("$(log "d${direction}a${alignment}e${end}" "スクロール～画像.bmp" 101 57 $direction 7 $alignment $end 5)")
    done
  done
done
logs+=("$(log largest scroll.bmp 32127 480 3 1 1 2 '')")

# A chain of three moves: every curve of the whole numbers, and Bézier curves that overshoot and
# land on halves, where double precision must round alike on both systems.
chain="$work/chain.dat"
{
  printf '"'; sjis "スクロール～画像.bmp"; printf '","300","200"\r\n"'; sjis "背景.bmp"; printf '","640","480","640","480"\r\n2\r\n'
  printf '"640","0","-100","-20",2,"97",5,"3","2",2,"0.42","-0.6","0.58","1.7"\r\n'
  printf '"-101","-333",1,"3",4,"1"\r\n'
  printf '"17","5",2,"1001",5,"0","0.1","2.9999","0.9","-1.5"\r\n'
} >"$chain"
logs+=("$chain")

# A chain with a random shake (the seed past 2^31, the decay quadratic, slow ends) and the three
# bounces: whole numbers only, the same on both systems.
shake="$work/shake.dat"
{
  printf '"scroll.bmp","100","50"\r\n"back.bmp","640","480","640","480"\r\n2\r\n'
  printf '"100","50","37","21",3,"3",3,"2","1",1,"40",3,2,"3000000001"\r\n'
  printf '"-300","77",2,"61",6,"0"\r\n'
  printf '"500","-20",1,"7",7,"2"\r\n'
  printf '"0","0",2,"33",8,"0"\r\n'
  printf '"1000","0",3,"1",1,"0","100",1,1,"0"\r\n'
} >"$shake"
logs+=("$shake")

# The largest chain: 8 moves of 32,768 frames, every one a Bézier curve, 17 MB. Its frames are taken
# in order, each solution started from the frame before's: both systems must still round alike.
largest_chain="$work/largest-chain.dat"
{
  printf '"scroll.bmp","100","50"\r\n"back.bmp","640","480","640","480"\r\n2\r\n'
  printf '"0","0","-3500","100",2,"32768",5,"0","0",2,"0.68","-0.6","0.32","1.6"\r\n'
  for k in 2 3 4 5 6 7 8; do
    printf '"%s","%s",2,"32768",5,"0","0.42","0","0.58","1"\r\n' $(( k % 2 ? -3500 : 100 )) $((k * 10))
  done
} >"$largest_chain"
logs+=("$largest_chain")

# Scripts of exactly 65,535 and 65,536 bytes: with f frames every character of the picture's name
# adds f bytes, and the window's width changes the digits of the moving coordinate; some pair
# reaches each size exactly.
size_of() { "$linux" generate "$1" | wc -c; }
for target in 65535 65536; do
  found=
  for pair in 2:640 2:10 3:640 3:10 3:100 4:640 4:10 4:100 5:640 5:10 5:100; do
    frames=${pair%:*}
    width=${pair#*:}
    probe=$(log probe x.bmp 100 50 3 1 1 3 $((frames - 2)) "$width")
    base=$(( $(size_of "$probe") - 5 * frames ))
    if [ $(( (target - base) % frames )) -eq 0 ]; then
      name=$(printf 'n%.0s' $(seq 1 $(( (target - base) / frames - 4 ))))
      file=$(log "size$target" "$name.bmp" 100 50 3 1 1 3 $((frames - 2)) "$width")
      [ "$(size_of "$file")" -eq "$target" ] || fail "could not make a $target-byte script"
      logs+=("$file")
      found=yes
      break
    fi
  done
  [ -n "$found" ] || fail "no frame count reaches $target bytes"
done

existing="$work/existing.csf"
"$linux" save "${logs[0]}" --csf "$existing" --book 第一巻 --page 開始 >/dev/null

index=0
for file in "${logs[@]}"; do
  name=$(basename "$file" .dat)
  "$linux" generate "$file" -o "$folder/linux/$name.txt"
  "$runner" "$windows" generate "$(winpath "$file")" -o "$(winpath "$folder/windows")\\$name.txt"
  same "$folder/linux/$name.txt" "$folder/windows/$name.txt" "generate $name"
  # Standard output and the saves for every direction and end mode, and for the special sizes.
  index=$((index + 1))
  [ $((index % 4)) -eq 1 ] || [ "$index" -gt 36 ] || continue
  "$runner" "$windows" generate "$(winpath "$file")" >"$folder/windows/$name.stdout"
  same "$folder/linux/$name.txt" "$folder/windows/$name.stdout" "generate $name to standard output"
  for route in csf txt; do
    for kind in new existing; do
      out="$name-$kind.$route"
      [ $kind = existing ] && cp "$existing" "$folder/linux/$out" && cp "$existing" "$folder/windows/$out"
      "$linux" save "$file" --$route "$folder/linux/$out" --book 第二巻 --page "ページ～1"
      "$runner" "$windows" save "$(winpath "$file")" --$route "$(winpath "$folder/windows")\\$out" --book 第二巻 --page "ページ～1"
      same "$folder/linux/$out" "$folder/windows/$out" "save $out"
    done
  done
done
echo "${#logs[@]} settings logs, $checks files byte-identical on Linux and Windows"
