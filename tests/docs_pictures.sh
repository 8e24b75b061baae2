#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The README's pictures are the program's: each picture in docs/ must equal,
# pixel for pixel (ImageMagick's compare -metric AE), what scripts/screenshots.sh
# makes now under Xvfb. A picture that differs in three runs in a row is named.
#   docs_pictures.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pending=$(cd "$source/docs" && ls ./*.png | sed 's|^\./||')
for run in 1 2 3; do
    # A loaded machine may shoot the full view after its trace cleared: a
    # run again, never a tolerance, covers that.
    "$source/scripts/screenshots.sh" "$build" "$work/$run" >"$work/log" 2>&1 || cat "$work/log"
    left=""
    for picture in $pending; do
        differ=$(compare -metric AE "$source/docs/$picture" "$work/$run/$picture" null: 2>&1)
        [ "$differ" = 0 ] || left="$left $picture"
        [ "$differ" = 0 ] || [ "$run" -lt 3 ] || echo "FAIL: docs/$picture is not what scripts/screenshots.sh makes: ${differ} pixels apart"
    done
    pending=$left
    [ -z "$pending" ] && { echo "PASS: every picture in docs/ is the program's"; exit 0; }
done
exit 1
