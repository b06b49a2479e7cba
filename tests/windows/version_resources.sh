#!/usr/bin/env bash
# Both programs carry a version resource: company "Velloran", product, version, a Japanese description.
#   version_resources.sh WINE_RUN VERSIONINFO VELLORAN VELRA_SCRIPT
set -uo pipefail
run=$1 info=$2
shift 2
for program in "$@"; do
    shown=$("$run" "$info" "Z:$(readlink -f "$program" | tr / '\\')" | tr -d '\r') || { echo "$(basename "$program"): no version resource"; exit 1; }
    echo "$(basename "$program"): $(tr '\n' ' ' <<<"$shown")"
    grep -qx 'CompanyName=Velloran' <<<"$shown" || { echo "no company Velloran"; exit 1; }
    grep -qx 'ProductName=Velloran' <<<"$shown" || { echo "no product name"; exit 1; }
    grep -qx 'ProductVersion=[0-9]*\.[0-9]*\.[0-9]*' <<<"$shown" || { echo "no product version"; exit 1; }
    grep '^FileDescription=' <<<"$shown" | grep -qF 'スクリプト' || { echo "no Japanese description"; exit 1; }
done
