#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Captures the connection window, the batch bench dialog and every tab of the parameter window, in Chinese and in English,
# to docs/screenshots/ (PNG), with the
# application running under a virtual X server (xvfb-run). The window saves itself
# (--screenshot) once it has been laid out and painted, then the application exits.
#
#   scripts/screenshot.sh [BIN_DIR]   (default: build/release/bin, built when missing)
#   scripts/screenshot.sh --help
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/usage.sh

case ${1:-} in
  -h | --help) usage; exit 0 ;;
  -*) refuse_option "$1" ;;
esac
[ $# -le 1 ] || { echo "screenshot.sh: one bin folder at most (--help)" >&2; exit 64; }
bin=${1:-build/release/bin}
if [ ! -x "$bin/plenar-setting-tool" ]; then
  scripts/lib/release-build.sh plenar-setting-tool lang_files
  bin=build/release/bin
fi
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: run scripts/install-deps.sh"; exit 1; }

out=docs/screenshots
mkdir -p "$out"
shoot() {
  local language=$1 file=$2
  shift 2
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$bin/plenar-setting-tool" --language="$language" --screenshot="$out/$file" "$@"
  echo "$out/$file"
}
shoot 0 connection-window-zh.png
shoot 1 connection-window-en.png
shoot 0 batch-dialog-zh.png --batch-dialog
shoot 1 batch-dialog-en.png --batch-dialog
tabs=(basic bluetooth wifi network infrared program blackmark product)
for i in "${!tabs[@]}"; do
  shoot 0 "parameters-${tabs[$i]}-zh.png" --parameter-tab="$i"
  shoot 1 "parameters-${tabs[$i]}-en.png" --parameter-tab="$i"
done
