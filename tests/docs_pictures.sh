#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Each picture in docs/ must equal, pixel for pixel (compare -metric AE), what
# scripts/screenshots.sh makes now. A loaded machine may shoot the full view
# after its trace cleared, so a picture that differs is shot again, up to three
# runs, never compared with a tolerance.   docs_pictures.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
cd "$2/docs" && left=$(ls ./*.png)
for run in 1 2 3; do
    "$2/scripts/screenshots.sh" "$1" "$work/$run" >"$work/log" 2>&1 || cat "$work/log"
    for picture in $left; do
        apart=$(compare -metric AE "$picture" "$work/$run/$picture" null: 2>&1)
        [ "$apart" = 0 ] && left=${left/$picture/}
        [ "$apart" = 0 ] || [ $run -lt 3 ] || echo "FAIL: docs/${picture#./} is not what scripts/screenshots.sh makes: $apart pixels apart"
    done
    [ -n "${left//[[:space:]]/}" ] || { echo "PASS: every picture in docs/ is the program's"; exit 0; }
done
exit 1
