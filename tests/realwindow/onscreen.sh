#!/usr/bin/env bash
# Every page inside the screen, title bar and frame included, under a window manager (openbox), at
# 150 % on 1366 x 768 and 200 % on 1280 x 1024: a detailed run started from a settings file is walked
# with Enter alone to the generation page (the chain editor's first move uneven: its evenness words
# show as it is placed), a held Enter on the mode page moving one page only; then the script is
# generated, and the preview, the export's settings and the settings' save dialog open.
#   onscreen.sh VELLORAN X11WHERE X11KEYS X11CLICK
set -u
app=$1 where=$2 keys=$3 click=$4
if ! command -v openbox >/dev/null; then
    echo "openbox is not installed (scripts/deps installs it)"; exit 1
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_DATA_HOME=$tmp/data
# Two black 24-bit BMPs: 100 x 50 to scroll, 640 x 480 behind.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
bmp() {
    local size=$(($2 * 3 * $3))
    { printf 'BM'; printf "$(le32 $((54 + size)))$(le32 0)$(le32 54)$(le32 40)$(le32 "$2")$(le32 "$3")"
      printf '\x01\x00\x18\x00'; printf "$(le32 0)$(le32 $size)$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
      head -c $size /dev/zero; } >"$1"
}
bmp "$tmp/s.bmp" 100 50
bmp "$tmp/b.bmp" 640 480
printf 'Velloran settings 2\n%s\n%s\n\n\n\n"s.bmp","100","50"\r\n"b.bmp","640","480","640","480"\r\n2\r\n"640","0","-100","0",2,"40",1,"0","0",1\r\n"0","-200",2,"30",5,"0","0.42","0","0.58","1"\r\n' \
    "$tmp/s.bmp" "$tmp/b.bmp" >"$tmp/chain.velra"
for screen in "1366 768 1.5" "1280 1024 2"; do
    set -- $screen
    xvfb-run -a -s "-screen 0 ${1}x${2}x24 -dpi 96" bash -c '
        app=$1 where=$2 keys=$3 file=$4 scale=$5 tmp=$6 click=$7
        openbox >/dev/null 2>&1 & wm=$!
        sleep 1
        QT_SCALE_FACTOR=$scale "$app" "$file" 2>"$tmp/log" & pid=$!
        fail() { echo "at $scale: $*"; cat "$tmp/log"; kill $pid $wm 2>/dev/null; exit 1; }
        inside() {
            sleep 1.5
            set -- $("$where" "${title:-Velloran}" 20)
            [ $# -eq 6 ] || fail "no page $page"
            echo "at $scale, $page: frame $3 x $4 at $1,$2 on $5 x $6"
            [ $1 -ge 0 ] && [ $2 -ge 0 ] && [ $(($1 + $3)) -le $5 ] && [ $(($2 + $4)) -le $6 ] || fail "$page lies outside the screen"
            size="$3 $4"
        }
        for page in 2 3 4; do
            inside
            "$keys" Velloran 20 "{Return}" >/dev/null || fail "no page $page to press Enter on"
        done
        page=6 inside
        form6=$size
        # Back to the mode page, and Enter held down there (on the chosen mode it is 次へ): the
        # chain editor only.
        "$keys" Velloran 20 "{alt+Left}" >/dev/null
        page=4 inside
        "$keys" Velloran 20 "{hold+Return}" >/dev/null
        page=6 inside
        [ "$size" = "$form6" ] || fail "a held Enter went past the chain editor (a page of $size)"
        "$keys" Velloran 20 "{Return}" >/dev/null
        page=7 inside
        [ "$size" != "$form6" ] || fail "Enter on the chain editor did not go on"
        "$keys" Velloran 20 "{Return}" >/dev/null # コード生成
        "$keys" 生成完了 20 "{Return}" >/dev/null || fail "no message after the generation"
        at() { awk -v v="$1" -v s="$scale" "BEGIN { printf \"%d\", v * s }"; }
        "$click" Velloran "$(at 262)" "$(at 270)" 20 1 >/dev/null || fail "no preview button to click"
        title="Velloran プレビュー" page=preview inside
        # 書き出し…: the file named, its settings dialog opens inside the screen (Esc: no export).
        "$keys" "Velloran プレビュー" 20 "{ctrl+e}" >/dev/null
        "$keys" アニメーションの書き出し先 20 "$tmp/motion" >/dev/null || fail "no export file dialog"
        sleep 1
        "$keys" - 0 "{Return}" >/dev/null
        title="書き出しの設定" page="export settings" inside
        [ -n "${VELRA_ONSCREEN_SHOT:-}" ] && import -window root "$VELRA_ONSCREEN_SHOT-$scale.png"
        "$keys" 書き出しの設定 20 "{Escape}" >/dev/null
        sleep 1
        "$keys" "Velloran プレビュー" 20 "{Escape}" >/dev/null
        sleep 1
        "$click" Velloran "$(at 256)" "$(at 338)" 20 1 >/dev/null || fail "no 設定を保存… to click"
        title="設定を保存" page="save dialog" inside
        "$keys" 設定を保存 20 "{Escape}" >/dev/null
        kill $pid $wm 2>/dev/null
        exit 0
    ' bash "$app" "$where" "$keys" "$tmp/chain.velra" "$3" "$tmp" "$click" || exit 1
done
echo "every page, the preview, the export's settings and a file dialog inside the screen at 150 % and 200 %; a held Enter moved one page"
