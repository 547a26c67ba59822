#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs `ansible-test sanity` or `ansible-test units` (--local), or ansible-lint with the
# production profile, on a copy of the plenar.printer collection in a temporary folder, removed
# afterwards: ansible-test writes its output into the collection, and inside a git work tree it
# would test only the files git lists (a build folder is ignored).
#   ansible_test.sh sanity|units|lint
set -euo pipefail
what=$1
here="$(cd "$(dirname "$0")" && pwd)"
source="$here/../../ansible/ansible_collections/plenar/printer"
work=$(mktemp -d "${TMPDIR:-/tmp}/plenar-ansible-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
copy="$work/ansible_collections/plenar/printer"
mkdir -p "$(dirname "$copy")"
cp -r "$source" "$copy"
cd "$copy"

# Debian's Python, ansible-test and test tools, not a Python from pyenv or a virtual environment.
export PATH=/usr/bin:/bin
python=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
if [ "$what" = lint ]; then
  # The collection's .ansible-lint holds the profile; the copy's collections path resolves
  # the collection's own modules and role.
  ANSIBLE_COLLECTIONS_PATH="$work" exec ansible-lint --nocolor
fi
skip=()
if [ "$what" = sanity ]; then
  # The sanity tests' environments, made from Debian's packages (no PyPI here).
  /usr/bin/python3 "$here/offline_sanity_venvs.py"
  # The changelog test needs antsibull-changelog, which Debian does not package; the unit test
  # tests/unit/test_collection_docs.py checks the fragments' form instead.
  skip=(--skip-test changelog)
fi
ansible-test "$what" --local --python "$python" --color no "${skip[@]}"
