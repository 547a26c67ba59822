#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The main job: installs what is missing, builds in Release and starts the tool.
# With a display: the printer simulator (unless --no-sim) and the application.
# Without one: the simulator and a short headless session with the `plenar` command.
set -euo pipefail
cd "$(dirname "$0")"

use_sim=1
for arg in "$@"; do
  case "$arg" in
    --no-sim) use_sim=0 ;;
    --headless) unset DISPLAY WAYLAND_DISPLAY ;;
  esac
done

./scripts/install-deps.sh
# Only the three programs and the language files: no tests, no benchmarks, no man pages.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLENAR_BUILD_BENCH=OFF \
  -DPLENAR_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target plenar plenar-setting-tool plenar-printer-sim \
  lang_files
bin=build/release/bin

exec scripts/main-job.sh "$bin" "$use_sim"
