#!/usr/bin/env bash
# Packs the Windows build as the zip a Windows user downloads, unpacks it into an empty folder of a
# fresh Wine prefix, and starts velloran.exe from there: no DLL or plugin may come from elsewhere.
#   zip.sh BUILD X11CLOSE REALWINDOW_SH
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
build=$(readlink -f "$1")
closer=$(readlink -f "$2")
realwindow=$(readlink -f "$3")
work=$(mktemp -d)
trap 'WINEPREFIX="$work/prefix" /usr/lib/wine/wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
(cd "$build" && cpack -G ZIP -B "$work/package" >/dev/null)
zip=$(ls "$work"/package/velloran-*-win64.zip)
kb=$(du -k "$zip" | cut -f1)
echo "packed $(basename "$zip") ($kb KB)"
[ "$kb" -le 12800 ] || { echo "the zip is $kb KB: over 12,800 KB"; exit 1; }

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
unset WINEPATH
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
/usr/lib/wine/wineserver -w
mkdir -p "$WINEPREFIX/drive_c/Velloran"
(cd "$WINEPREFIX/drive_c/Velloran" && cmake -E tar xf "$zip")
folder=$(ls -d "$WINEPREFIX"/drive_c/Velloran/velloran-*-win64)
for f in velloran.exe velra-script.exe velra-script-preview.exe Qt6Core.dll platforms/qwindows.dll translations/qtbase_ja.qm README.md; do
  [ -e "$folder/$f" ] || { echo "the zip lacks $f"; exit 1; }
done
# The licence of everything shipped: Velloran's, Qt's, each library inside the Qt DLLs, the runtime.
for name in Velloran Qt-LGPL-3.0 Qt-GPL-3.0 Qt-copyright libjpeg libpng zlib FreeType HarfBuzz PCRE2 \
    double-conversion md4c libwebp giflib libstdc++-libgcc-GCC-Runtime-Library-Exception winpthreads README; do
    [ -s "$folder/licenses/$name.txt" ] || { echo "the zip lacks licenses/$name.txt"; exit 1; }
done
grep -q 'GNU LESSER GENERAL PUBLIC LICENSE' "$folder/licenses/Qt-LGPL-3.0.txt" || { echo "no LGPL text"; exit 1; }
grep -q 'GCC RUNTIME LIBRARY EXCEPTION' "$folder/licenses/libstdc++-libgcc-GCC-Runtime-Library-Exception.txt" \
    || { echo "no GCC Runtime Library Exception"; exit 1; }
grep -q '6.4.2+dfsg-10' "$folder/licenses/README.txt" || { echo "the note does not say where Qt's source is"; exit 1; }
grep -q 'Redistribution and use in source and binary forms' "$folder/licenses/libwebp.txt" && grep -q 'Additional IP Rights Grant' "$folder/licenses/libwebp.txt" \
    || { echo "libwebp.txt is not libwebp's licence and patent grant"; exit 1; }
grep -q 'Eric S. Raymond' "$folder/licenses/giflib.txt" || { echo "giflib.txt is not giflib's licence"; exit 1; }
# Every text file as every Notepad reads it: CR LF line ends, and the UTF-8 byte order mark on one
# that is not plain ASCII.
while IFS= read -r -d '' text; do
    lines=$(tr -cd '\n' <"$text" | wc -c)
    [ "$lines" -gt 0 ] && [ "$(grep -c $'\r$' "$text")" = "$lines" ] || { echo "${text#"$folder"/} does not end every line with CR LF"; exit 1; }
    if LC_ALL=C grep -q '[^[:print:][:space:]]' "$text"; then
        [ "$(head -c 3 "$text" | od -An -tx1 | tr -d ' ')" = efbbbf ] || { echo "${text#"$folder"/} is not ASCII and lacks the UTF-8 BOM"; exit 1; }
    fi
done < <(find "$folder" -type f \( -name '*.txt' -o -name '*.md' -o -name '*.html' -o -name '*.css' -o -name LICENSE \) -print0)
# What a Japanese user reads first: UTF-8 with the byte order mark and CR LF, so that Notepad shows it,
# under a name the zip marks as UTF-8 (else Explorer reads it in the ANSI code page); and the manual
# with every picture it shows.
first="$folder/はじめにお読みください.txt"
for text in "$first" "$folder/licenses/README.txt"; do
    [ "$(head -c 3 "$text" | od -An -tx1 | tr -d ' ')" = efbbbf ] || { echo "$text lacks the UTF-8 BOM"; exit 1; }
    [ "$(tr -cd '\n' <"$text" | wc -c)" -gt 10 ] && [ "$(grep -c $'\r$' "$text")" = "$(tr -cd '\n' <"$text" | wc -c)" ] \
        || { echo "$text does not end every line with CR LF"; exit 1; }
done
# The table of the folder's contents stays aligned in a fixed-width font: each description starts
# in the column of the others (a name of plain ASCII, one column a character).
perl -CS -ne 'BEGIN { $/ = "\r\n" } chomp;
    if (/^■ フォルダーの中身/) { $in = 1; next } if ($in && /^■/) { $in = 0 }
    next unless $in && /^([\x21-\x7e]+ +|\s+)(\S)/;
    $col{length $1}++; END { exit(keys(%col) == 1 && (values %col)[0] >= 6 ? 0 : 1) }' "$first" \
    || { echo "the table of はじめにお読みください.txt is not aligned"; exit 1; }
grep -q 'manual' "$first" && grep -q 'フォルダー全体を展開してから起動してください' "$first" \
    || { echo "はじめにお読みください.txt does not say where the manual is or to unpack the whole folder"; exit 1; }
grep -q '常にこのアプリを使って .velra ファイルを開く' "$first" && grep -q 'レジストリに何も' "$first" \
    || { echo "はじめにお読みください.txt does not say how to open .velra files with velloran.exe"; exit 1; }
perl -e 'local $/; my $z = <STDIN>; my $marked = 0;
    while ($z =~ /PK\x01\x02/g) { my $at = pos($z) - 4; my $name = substr($z, $at + 46, unpack("v", substr($z, $at + 28, 2)));
        next unless $name =~ /[\x80-\xff]/; exit 1 unless unpack("v", substr($z, $at + 8, 2)) & 0x800; $marked++ }
    exit($marked ? 0 : 1)' <"$zip" || { echo "the zip does not mark its Japanese file name as UTF-8"; exit 1; }
perl "$here/../docs/check_manual.pl" "$here/../.." "$folder/manual"
# Windows takes a program's icon from its resources, not from its window.
for program in velloran.exe velra-script.exe velra-script-preview.exe; do
    size=$(x86_64-w64-mingw32-objdump -h "$folder/$program" | awk '$2 == ".rsrc" { print $3 }')
    [ $((16#${size:-0})) -gt 4096 ] || { echo "$program carries no icon (resources: 0x${size:-0} bytes)"; exit 1; }
done
# Every program and DLL without its debugging information.
while IFS= read -r -d '' binary; do
    if x86_64-w64-mingw32-objdump -h "$binary" | grep -q ' \.debug_'; then
        echo "${binary#"$folder"/} is not stripped"; exit 1
    fi
done < <(find "$folder" \( -name '*.exe' -o -name '*.dll' \) -print0)
version=$(/usr/lib/wine/wine64 "C:\\Velloran\\$(basename "$folder")\\velra-script.exe" --version | tr -d '\r')
[[ $version == "velra-script (Velloran) "* ]] || { echo "velra-script.exe --version printed: $version"; exit 1; }
echo "$version from the unpacked zip"
cd "$folder"
"$realwindow" "$closer" - /usr/lib/wine/wine64 "C:\\Velloran\\$(basename "$folder")\\velloran.exe"
