#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs `ansible-test sanity` or `ansible-test units` (--local) on a copy of the plenar.printer
# collection in WORK, so that ansible-test's output stays out of the source tree.
#   ansible_test.sh sanity|units WORK
set -euo pipefail
what=$1
work=$2
here="$(cd "$(dirname "$0")" && pwd)"
source="$here/../../ansible/ansible_collections/plenar/printer"
copy="$work/ansible_collections/plenar/printer"

rm -rf "$work"
mkdir -p "$(dirname "$copy")"
cp -r "$source" "$copy"
cd "$copy"

# Debian's Python, ansible-test and test tools, not a Python from pyenv or a virtual environment.
export PATH=/usr/bin:/bin
python=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
if [ "$what" = sanity ]; then
  # The sanity tests' environments, made from Debian's packages (no PyPI here).
  /usr/bin/python3 "$here/offline_sanity_venvs.py"
fi
exec ansible-test "$what" --local --python "$python" --color no
