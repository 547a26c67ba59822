#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence identifier at the head of every source file that lacks it:
#   C++ (.cpp .h .hpp .cc)                    // SPDX-License-Identifier: GPL-3.0-or-later
#   shell, CMake, Python, bash completion     # SPDX-License-Identifier: GPL-3.0-or-later
# as the first line, or right after a #! line. A file that names an SPDX identifier in its
# first three lines is left alone, so the script can run any number of times.
#
#   scripts/add-spdx.sh           add the line where it is missing, print each file changed
#   scripts/add-spdx.sh --check   change nothing; list the files without it, exit 1 if any
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
case ${1:-} in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 64 ;;
esac
spdx="SPDX-License-Identifier: GPL-3.0-or-later"

# Tracked files and new ones not ignored; outside a checkout, every file but the build folders.
list_files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard
  else
    find . \( -path './build*' -o -path ./.git \) -prune -o -type f -printf '%P\0'
  fi
}

# Prints the comment leader of a source file ("//" or "#"), nothing for any other file.
comment_of() {
  local f=$1 first
  case $f in
    *.cpp | *.h | *.hpp | *.cc) echo "//"; return ;;
    *.sh | *.py | *.cmake | CMakeLists.txt | */CMakeLists.txt) echo "#"; return ;;
    dist/linux/completion/*) echo "#"; return ;;
    *.*) return ;;
  esac
  # No extension: a script by its #! line.
  IFS= read -r first <"$f" 2>/dev/null || true
  case $first in
    '#!'*sh* | '#!'*python*) echo "#" ;;
  esac
}

missing=0
while IFS= read -r -d '' f; do
  [ -f "$f" ] && [ ! -L "$f" ] || continue
  leader=$(comment_of "$f")
  [ -n "$leader" ] || continue
  head -n 3 "$f" | grep -q 'SPDX-License-Identifier:' && continue
  missing=$((missing + 1))
  if [ "$check" = 1 ]; then
    echo "$f"
    continue
  fi
  tmp=$(mktemp)
  if head -n 1 "$f" | grep -q '^#!'; then
    { head -n 1 "$f"; echo "$leader $spdx"; tail -n +2 "$f"; } >"$tmp"
  else
    { echo "$leader $spdx"; cat "$f"; } >"$tmp"
  fi
  # Written through the existing file, so its mode stays.
  cat "$tmp" >"$f"
  rm -f "$tmp"
  echo "added: $f"
done < <(list_files)

if [ "$check" = 1 ]; then
  if [ "$missing" -gt 0 ]; then
    echo "$missing source file(s) without '$spdx' (scripts/add-spdx.sh adds it)"
    exit 1
  fi
  echo "every source file names its licence"
fi
