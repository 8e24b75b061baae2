#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything and runs the whole test suite: unit, widget and
# end-to-end tests, then all of them again under the address, leak and
# undefined-behaviour sanitizers.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/deps.sh"
orva_install_deps
jobs=$(nproc)

cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVA_WERROR=ON >/dev/null
cmake --build "$here/build" -j"$jobs"
(cd "$here/build" && ctest --output-on-failure -j"$jobs")

cmake -S "$here" -B "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DORVA_SANITIZE=ON -DORVA_WERROR=ON >/dev/null
cmake --build "$here/build-asan" -j"$jobs"
(cd "$here/build-asan" &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS=suppressions="$here/tests/lsan.supp" ctest --output-on-failure -j"$jobs")
