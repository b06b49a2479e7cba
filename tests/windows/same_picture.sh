#!/usr/bin/env bash
# The screenshot of the Windows wizard's first page shows what the reference picture shows: the
# Japanese welcome text in a Japanese font (a missing font would draw boxes or nothing).
#   same_picture.sh SCREENSHOT REFERENCE
# After a deliberate change of the first page, renew the reference from the Windows leg:
#   convert build-win/velloran-windows.png -trim +repage docs/pages/form1-windows.png
set -euo pipefail
shot=$1
reference=$2
page=$(mktemp --suffix=.png)
trap 'rm -f "$page"' EXIT
# The page alone: Xvfb's black around it trimmed away.
convert "$shot" -trim +repage "$page"
size=$(identify -format '%wx%h' "$page")
[ "$size" = "$(identify -format '%wx%h' "$reference")" ] || { echo "the page is $size, the reference $(identify -format '%wx%h' "$reference")"; exit 1; }
differing=$(compare -metric AE -fuzz 10% "$page" "$reference" null: 2>&1 || true)
echo "$differing of $(( ${size%x*} * ${size#*x} )) pixels differ from the reference"
[ "${differing%%.*}" -le 300 ]
