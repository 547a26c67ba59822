# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts: `usage` prints the calling script's header comment (the lines between
# the licence line and `set -euo pipefail`) as its help; `refuse_option` names an unknown option
# and exits 64, as the programs do for a usage error.
usage() {
  sed -n '3,/^set -/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//'
}

refuse_option() {
  echo "$(basename "$0"): unknown option '$1' (--help lists the options)" >&2
  exit 64
}
