#!/usr/bin/env bash
# Gathers the licence texts of everything the Windows zip ships into DEST (the zip's licenses/):
# Velloran's own, Qt's (LGPL-3.0, and GPL-3.0 as the LGPL requires) with the libraries built into
# the Qt DLLs, and the MinGW runtime's. The texts come from Debian's copyright files of the very
# source packages the DLLs were built from (qt6-base 6.4.2+dfsg-10, gcc-mingw-w64, mingw-w64), so
# that nothing is guessed.  Run by the Windows build's install step.
# CODECS, when given, holds the licence texts of the animation codecs built with the programs
# (scripts/build-codecs-windows: libwebp.txt, giflib.txt).
#   licenses.sh SOURCE_DIR DEST [CODECS]
set -euo pipefail
source_dir=$1
dest=$2
codecs=${3:-}
qt=/usr/share/doc/libqt6core6/copyright
gcc=/usr/share/doc/gcc-mingw-w64-base/copyright
mingw=/usr/share/doc/mingw-w64-common/copyright
for f in "$qt" "$gcc" "$mingw" /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3; do
    [ -s "$f" ] || { echo "licenses.sh: $f is missing" >&2; exit 1; }
done
mkdir -p "$dest"

# The paragraphs of a Debian copyright file whose Files: name PATTERN, then the texts of the
# licences they name.
component() { # FILE PATTERN
    awk -v pattern="$2" '
        BEGIN { RS = ""; ORS = "\n\n" }
        /^Files:/ {
            files = $0; sub(/\nCopyright:.*/, "", files)
            if (files ~ pattern) {
                print
                match($0, /\nLicense: [^\n]*/)
                names = substr($0, RSTART + 10, RLENGTH - 10)
                gsub(/ (and|or|with) /, "\n", names)
                n = split(names, list, "\n")
                for (i = 1; i <= n; i++) wanted[list[i]] = 1
            }
            next
        }
        /^License: / {
            name = $0; sub(/^License: /, "", name); sub(/\n.*/, "", name)
            texts[name] = $0
        }
        END { for (name in wanted) if (name in texts) print texts[name] }
    ' "$1"
}

cp "$source_dir/LICENSE" "$dest/Velloran.txt"
cp /usr/share/common-licenses/LGPL-3 "$dest/Qt-LGPL-3.0.txt"
cp /usr/share/common-licenses/GPL-3 "$dest/Qt-GPL-3.0.txt"
cp "$qt" "$dest/Qt-copyright.txt"
# The libraries inside Qt6Core.dll, Qt6Gui.dll and the plugins, by their folder in Qt's source.
while read -r name folder; do
    component "$qt" "src/3rdparty/$folder/" >"$dest/$name.txt"
    [ -s "$dest/$name.txt" ] || { echo "licenses.sh: nothing found for $name" >&2; exit 1; }
done <<'LIST'
libjpeg libjpeg
libpng libpng
zlib zlib
FreeType freetype
HarfBuzz harfbuzz-ng
PCRE2 pcre2
double-conversion double-conversion
md4c md4c
TinyCBOR tinycbor
SHA-3 sha3
SHA-1 sha1
RFC6234-SHA rfc6234
easing easing
pixman pixman
sRGB-ICC-profile icc
LIST
if [ -n "$codecs" ] && [ -d "$codecs" ]; then
    for name in libwebp giflib; do
        [ -s "$codecs/$name.txt" ] || { echo "licenses.sh: $codecs/$name.txt is missing" >&2; exit 1; }
        cp "$codecs/$name.txt" "$dest/$name.txt"
    done
fi
cp "$gcc" "$dest/libstdc++-libgcc-GCC-Runtime-Library-Exception.txt"
component "$mingw" "winpthreads" >"$dest/winpthreads.txt"
[ -s "$dest/winpthreads.txt" ] || { echo "licenses.sh: nothing found for winpthreads" >&2; exit 1; }

# As Notepad reads it on every Windows: UTF-8 with its byte order mark, CR LF line ends.
note() { printf '\xef\xbb\xbf'; sed 's/$/\r/'; }
note >"$dest/README.txt" <<'NOTE'
ライセンスについて / About the licences

Velloran は MIT ライセンスのフリーソフトウェアです（Velloran.txt）。
このフォルダーには、同梱しているほかのソフトウェアのライセンス文書があります。

- Qt 6.4.2（Qt6Core.dll、Qt6Gui.dll、Qt6Widgets.dll、platforms・imageformats・styles のプラグイン）:
  GNU LGPL 3.0（Qt-LGPL-3.0.txt。LGPL が求める GNU GPL 3.0 は Qt-GPL-3.0.txt）。Qt の DLL に組み込まれた
  ライブラリ（libjpeg、libpng、zlib、FreeType、HarfBuzz、PCRE2 など）はそれぞれの名前のファイルに、
  すべての著作権表示は Qt-copyright.txt にあります。
- libwebp（アニメーション WebP の書き出し。プログラムに組み込み）: BSD 3 条項ライセンスと特許の許諾（libwebp.txt）。
  giflib（アニメーション GIF の書き出し。プログラムに組み込み）: MIT ライセンス（giflib.txt）。
  どちらも Debian の libwebp・giflib ソースパッケージから scripts/build-codecs-windows でビルドしたものです。
- MinGW のランタイム（libstdc++-6.dll、libgcc_s_seh-1.dll）: GNU GPL 3.0 と GCC ランタイムライブラリ例外
  （libstdc++-libgcc-GCC-Runtime-Library-Exception.txt）。libwinpthread-1.dll: winpthreads.txt。

Qt のソースコード: Debian の qt6-base ソースパッケージ 6.4.2+dfsg-10（Debian のアーカイブから入手できます）に、
Velloran のソースの scripts/qt-windows/qtbase-no-direct2d-fontdb.patch を当て、scripts/build-qt-windows の
設定で mingw-w64 によりビルドしたものです。
DLL の置き換え: Qt の DLL は、同じ版（6.4 系）の Qt を同じ mingw-w64 でビルドした DLL と置き換えられます。
このフォルダーの Qt6*.dll とプラグインのフォルダーを差し替えれば、Velloran はそれを使います。

Velloran is free software under the MIT licence (Velloran.txt). This folder holds the licences of
what the zip ships besides it:
- Qt 6.4.2 (the Qt6*.dll files and the plugins): GNU LGPL 3.0 (Qt-LGPL-3.0.txt, with the GNU GPL 3.0
  it refers to in Qt-GPL-3.0.txt). The libraries built into the Qt DLLs have a file each; every
  copyright notice of Qt's source is in Qt-copyright.txt.
- libwebp and giflib, built into the programs for the animation export from Debian's libwebp and
  giflib source packages (scripts/build-codecs-windows): BSD 3-clause with a patent grant
  (libwebp.txt), MIT (giflib.txt).
- The MinGW runtime: libstdc++ and libgcc under the GNU GPL 3.0 with the GCC Runtime Library
  Exception; winpthreads (winpthreads.txt).
The Qt source: Debian's qt6-base source package 6.4.2+dfsg-10, with scripts/qt-windows/
qtbase-no-direct2d-fontdb.patch of Velloran's source applied, built with mingw-w64 as
scripts/build-qt-windows does. To replace the Qt DLLs, put DLLs of a compatible Qt 6.4 built with
the same mingw-w64 in their place (the Qt6*.dll files and the plugin folders): Velloran loads those.
NOTE
