#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The main job: installs what is missing, builds in Release and starts the tool.
# With a display: the printer simulator (unless --no-sim) and the application.
# Without one: the simulator and a short headless session with the `plenar` command.
# It exits non-zero when the build or any step of the headless session fails.
#
#   ./run.sh [--headless] [--no-sim]
#     --headless  the headless session even where a display is present
#     --no-sim    no simulator: the application for a real printer (headless: the engine alone)
set -euo pipefail
cd "$(dirname "$0")"
. scripts/lib/usage.sh

use_sim=1
for arg in "$@"; do
  case "$arg" in
    -h | --help) usage; exit 0 ;;
    --no-sim) use_sim=0 ;;
    --headless) unset DISPLAY WAYLAND_DISPLAY ;;
    *) refuse_option "$arg" ;;
  esac
done

./scripts/install-deps.sh
# Only the three programs and the language files: no tests, no benchmarks, no man pages. The
# Release tree is the one test.sh builds its suite in, so running both compiles once.
scripts/lib/release-build.sh plenar plenar-setting-tool plenar-printer-sim lang_files
bin=build/release/bin

exec scripts/main-job.sh "$bin" "$use_sim"
