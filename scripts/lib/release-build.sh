#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds TARGETs in build/release, the one Release tree that run.sh, test.sh, fleet.sh and
# screenshot.sh share, so that a user or CI who runs several of them compiles once. A new tree
# gets the programs only (no tests, no benchmarks) and warnings as warnings; a tree test.sh has
# configured keeps its settings (tests, and warnings as errors).
#
#   scripts/lib/release-build.sh TARGET...
set -euo pipefail
cd "$(dirname "$0")/../.."

tree=build/release
first=()
[ -f "$tree/CMakeCache.txt" ] || first=(-DPLENAR_BUILD_TESTS=OFF -DPLENAR_BUILD_BENCH=OFF)
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release "${first[@]}" >/dev/null
cmake --build "$tree" -j "$(nproc)" --target "$@"
