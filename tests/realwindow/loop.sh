#!/usr/bin/env bash
# The author's loop in a real window, with the mouse and the keyboard: run 1 picks both pictures
# in the open dialog, sets a leftward scroll of 10 dots, generates, keeps its settings in a named
# file (設定を保存…) and saves a new CSF; run 2 starts from that file (設定を開く… on the start
# page), goes through three pages with Enter, back two with Alt+←,
# on again with Enter, changes only the step to 8 and presses Enter in it, and saves into the same
# file, which must then hold both books with their own frames; the settings log is a straight
# run's with step 8.
#   loop.sh COMMAND_PREFIX... -- X11CLOSE X11CLICK X11KEYS PATH_STYLE
# COMMAND_PREFIX starts the wizard (velloran, or wine-run.sh velloran.exe); PATH_STYLE is "unix"
# or "windows" (paths typed into the dialogs as Z:\...).
set -u
command=()
while [ "$1" != -- ]; do command+=("$1"); shift; done
shift
closer=$1 clicker=$2 keys=$3 style=$4
tmp=$(mktemp -d)
# The last run's settings (generated, or kept from a window closed before generating) that this
# test leaves in a Wine prefix go with it: other tests of the prefix (the first page's screenshot)
# see a first start, and this one starts from none an earlier test left.
kept() { rm -f "${WINEPREFIX:?}"/drive_c/users/*/AppData/Roaming/velloran/velra-{last,edited}.dat; }
trap 'rm -rf "$tmp"; [ "$style" = windows ] && kept' EXIT
export XDG_DATA_HOME=$tmp/data
if [ "$style" = windows ]; then
    # The Windows platform, on Xvfb; the last run's settings of an earlier test gone from the prefix.
    export QT_QPA_PLATFORM=windows WINEQT_QPA_PLATFORM=windows
    kept
    /usr/lib/wine/wineserver -w
fi

# Two pictures, black 24-bit BMPs: 100 x 50 to scroll, 640 x 480 behind.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
bmp() {
    local size=$(($2 * 3 * $3))
    { printf 'BM'; printf "$(le32 $((54 + size)))$(le32 0)$(le32 54)$(le32 40)$(le32 "$2")$(le32 "$3")"
      printf '\x01\x00\x18\x00'; printf "$(le32 0)$(le32 $size)$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
      head -c $size /dev/zero; } >"$1"
}
bmp "$tmp/scroll.bmp" 100 50
bmp "$tmp/back.bmp" 640 480
target=$tmp/comic.csf
typed() { if [ "$style" = windows ]; then printf 'Z:%s' "${1//\//\\}"; else printf '%s' "$1"; fi; }

xvfb-run -a -s '-screen 0 800x600x24 -dpi 96' bash -c '
    closer=$1 clicker=$2 keys=$3 scroll=$4 back=$5 target=$6 log=$7 settle=$8 settings=$9; shift 9
    # VELRA_LOOP_SHOT=FILE.png keeps a picture of the screen where it went wrong.
    fail() {
        echo "$1"
        [ -n "${VELRA_LOOP_SHOT:-}" ] && import -window root "$VELRA_LOOP_SHOT"
        kill $pid 2>/dev/null; exit 1
    }
    # A page takes clicks once the double-click time has passed since it showed; Wine places and
    # activates a new window a while after it appears.
    click() { sleep "$settle"; "$clicker" Velloran "$1" "$2" 60 1 >/dev/null || fail "no page to click at $1,$2 ($3)"; }
    # A file dialog: the full path typed into its name box, then Enter once the box has taken it.
    choose() {
        "$keys" "$1" 30 "$2" || fail "no dialog titled $1"
        sleep 1
        "$keys" - 0 "{Return}"
    }
    # The generation page: generate, then the CSF route, book BOOK, page P, saved into the target.
    generate_and_save() {
        [ "${3:-}" = on ] || click 262 211 次へ
        click 70 54 コード生成
        "$closer" 生成完了 20 >/dev/null || fail "$1: no message that the generation is done"
        if [ "${4:-}" = keep ]; then
            click 256 338 設定を保存
            choose 設定を保存 "$settings"
            "$closer" 設定の保存 20 >/dev/null || fail "$1: no word that the settings are kept"
        fi
        click 30 103 CSF
        click 150 147 ブック名; "$keys" - 0 "$2"
        click 150 193 ページ名; "$keys" - 0 P
        click 262 238 保存
        choose 保存先を選択 "$target"
    }
    ended() {
        for _ in $(seq 100); do kill -0 $pid 2>/dev/null || { wait $pid; return; }; sleep 0.1; done
        fail "the wizard did not end after the completion message"
    }

    # Run 1: everything chosen by hand.
    "$@" 2>>"$log" & pid=$!
    click 150 198 作業開始
    click 252 51 参照
    choose スクロールする画像を選択 "$scroll"
    click 260 196 次へ
    click 236 35 参照
    choose 背景画像を選択 "$back"
    click 252 200 次へ
    click 40 39 簡単設定モード
    click 260 190 次へ
    click 175 31 ←
    click 140 97 上寄せ
    click 215 149 移動回数指定
    click 40 100 間隔; "$keys" - 0 10
    click 250 175 回数; "$keys" - 0 2
    generate_and_save "run 1" Book1 "" keep
    "$closer" ファイル書き出し完了 20 >/dev/null || fail "run 1: no completion message"
    ended

    # Run 2: the kept settings opened, Enter through the pages, only the step changed.
    "$@" 2>>"$log" & pid=$!
    click 71 251 設定を開く
    choose 設定を開く "$settings.velra"
    # Wine'"'"'s own dialog takes a while to go: a key meanwhile would meet the page it blocks.
    for _ in $(seq 100); do "$closer" 設定を開く 0 --wait >/dev/null 2>&1 || break; sleep 0.2; done
    for page in Form2 Form3 Form4; do
        sleep "$settle"
        "$keys" Velloran 20 "{Return}" || fail "run 2: no $page"
    done
    # Back two pages, to the background page, and on again with Enter alone.
    for key in "{alt+Left}" "{alt+Left}" "{Return}" "{Return}"; do
        sleep "$settle"
        "$keys" Velloran 20 "$key" || fail "run 2: no page for $key"
    done
    click 40 100 間隔; "$keys" - 0 "{ctrl+a}" 8 "{Return}"
    generate_and_save "run 2" Book2 on
    "$keys" 保存先の確認 20 "{Return}" || fail "run 2: no word that a book is added"
    "$closer" ファイル書き出し完了 20 >/dev/null || fail "run 2: no completion message"
    ended
' bash "$closer" "$clicker" "$keys" "$(typed "$tmp/scroll.bmp")" "$(typed "$tmp/back.bmp")" "$(typed "$target")" \
    "$tmp/log" "$([ "$style" = windows ] && echo 2 || echo 0.3)" "$(typed "$tmp/motion")" "${command[@]}"
rc=$?
if [ $rc -ne 0 ]; then echo "--- what the wizard printed:"; grep -v XDG_RUNTIME_DIR "$tmp/log"; exit $rc; fi
[ -f "$target" ] || { echo "no file was saved"; exit 1; }
[ "$(head -1 "$tmp/motion.velra")" = "$(printf '\357\273\277Velloran settings 3\r')" ] || { echo "no settings file was kept"; exit 1; }
books=$(grep -c '^<Book=' "$target")
[ "$books" = 2 ] || { echo "the file holds $books books, not 2:"; cat "$target"; exit 1; }
head -1 "$target" | grep -q '^/// Fablescope for Win95' || { echo "no header"; exit 1; }
book2=$(sed -n '/^<Book="Book2">/,$p' "$target")
grep -q '/POS:640,0,100,50' <<<"$book2" && grep -q '/POS:624,0,100,50' <<<"$book2" \
    || { echo "the second book does not move 8 dots a frame:"; echo "$book2"; exit 1; }
sed -n '/^<Book="Book1">/,/^<Book End>/p' "$target" | grep -q '/POS:630,0,100,50' \
    || { echo "the first book does not move 10 dots a frame:"; sed -n '/^<Book="Book1">/,/^<Book End>/p' "$target"; exit 1; }
# The settings log, left in the program's folder, is a straight run's with step 8.
handoff="$(dirname "$(readlink -f "${command[${#command[@]}-1]}")")/velra.dat"
expected=$(printf '"scroll.bmp","100","50"\r\n"back.bmp","640","480","640","480"\r\n1\r\n3,"8",1,3,"2"\r\n' | od -An -tx1)
[ "$(od -An -tx1 <"$handoff")" = "$expected" ] || { echo "the settings log is not a straight run's:"; cat -A "$handoff"; exit 1; }
echo "both books saved, 10 and 8 dots a frame, run 2 from the kept settings; the log a straight run's"
