#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the language files the program reads (GBK, CRLF lines) from their UTF-8 sources in
# lang/src. Run after editing a source; the tests check that the two stay in step.
set -euo pipefail
cd "$(dirname "$0")"
for src in src/*.lng.utf8; do
  out=$(basename "$src" .utf8)
  iconv -f UTF-8 -t GBK "$src" | sed 's/$/\r/' >"$out.tmp"
  mv "$out.tmp" "$out"
done
