#!/bin/sh
# Fails on any include in src/ or tools/ whose path holds "..": such an include reaches a header
# past the folders of links that keep each layer to the layers below it, so it builds where the
# layers say it must not. Names every such include by file and line.
cd "${1:?the source folder}" || exit 2
found=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"][^>"]*\.\.' src tools)
if [ -n "$found" ]; then
    echo "Includes that climb out of their folder (name the header as folder/Header.h instead):"
    echo "$found"
    exit 1
fi
echo "No include climbs out of its folder."
