#!/usr/bin/env bash
# Both programs carry a version resource: company "Velloran", product, version, a Japanese description;
# and an application manifest: Windows 10 and 11, per-monitor DPI awareness v2, long paths.
#   version_resources.sh WINE_RUN VERSIONINFO VELLORAN VELRA_SCRIPT
set -uo pipefail
run=$1 info=$2
shift 2
for program in "$@"; do
    shown=$("$run" "$info" "Z:$(readlink -f "$program" | tr / '\\')" | tr -d '\r') || { echo "$(basename "$program"): no version resource"; exit 1; }
    echo "$(basename "$program"): $(sed '/^Manifest:/q' <<<"$shown" | tr '\n' ' ')"
    grep -qx 'CompanyName=Velloran' <<<"$shown" || { echo "no company Velloran"; exit 1; }
    grep -qx 'ProductName=Velloran' <<<"$shown" || { echo "no product name"; exit 1; }
    grep -qx 'ProductVersion=[0-9]*\.[0-9]*\.[0-9]*' <<<"$shown" || { echo "no product version"; exit 1; }
    grep '^FileDescription=' <<<"$shown" | grep -qF 'スクリプト' || { echo "no Japanese description"; exit 1; }
    manifest=$(sed -n '/^Manifest:/,$p' <<<"$shown")
    for setting in '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' '>PerMonitorV2</dpiAwareness>' \
                   '>true</longPathAware>' 'level="asInvoker"'; do
        grep -qF "$setting" <<<"$manifest" || { echo "the manifest lacks $setting"; exit 1; }
    done
done
