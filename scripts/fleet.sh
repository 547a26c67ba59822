#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A chain's fleet on this machine: N simulated shop sites (default 1000), each a
# plenar-printer-sim with its own state (mostly serial pseudo-terminals and UDP, some USB and
# parallel ports through umockdev, 1 % with a fault), brought to one profile by the
# plenar.printer collection's fleet playbook with real ansible-playbook (forks 50, the tree
# callback's per-host report), every printer's state checked against the profile, the playbook
# run again, the faulty sites mended and completed, and 50 more sites reached over SSH (an sshd
# started here on 127.0.0.1 with a key made here). Prints the figures of each run.
#
#   scripts/fleet.sh [N] [--bin DIR] [--work DIR] [--forks N] [--ssh-sites N] [--no-bare]
#                        [--strategy linear|free|...] [--printers-per-host N] [--from-tarball]
#   scripts/fleet.sh --help
#
# --from-tarball builds the collection with `ansible-galaxy collection build`, installs the
# tarball into an empty collections path and runs the fleet from there, as a user who installed
# it would, instead of from the sources.
#
# Without --bin it builds plenar and plenar-printer-sim (Release) in build/release, the tree
# run.sh builds. Everything it starts it stops, by process id, also on Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/usage.sh

bin=""
tarball=0
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    -h | --help) usage; exit 0 ;;
    --bin) bin=$2; shift 2 ;;
    --from-tarball) tarball=1; shift ;;
    --work | --forks | --ssh-sites | --strategy | --printers-per-host)
      [ $# -ge 2 ] || { echo "fleet.sh: $1 needs a value" >&2; exit 64; }
      args+=("$1" "$2"); shift 2 ;;
    --no-bare) args+=("$1"); shift ;;
    -*) refuse_option "$1" ;;
    *) [[ $1 =~ ^[0-9]+$ ]] || { echo "fleet.sh: the number of sites is a whole number, not '$1'" >&2; exit 64; }
      args+=("$1"); shift ;;
  esac
done

./scripts/install-deps.sh
# The SSH run needs an sshd; the package's own service is not used (nor started here).
if [ ! -x /usr/sbin/sshd ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Installing: openssh-server"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    openssh-server openssh-client
fi

if [ -z "$bin" ]; then
  scripts/lib/release-build.sh plenar plenar-printer-sim lang_files
  bin=build/release/bin
fi

work_given=0
for a in "${args[@]}"; do [ "$a" = --work ] && work_given=1; done
[ "$work_given" = 1 ] || args+=(--work "${TMPDIR:-/tmp}/plenar-fleet")

collections=""
if [ "$tarball" = 1 ]; then
  collections=$(mktemp -d "${TMPDIR:-/tmp}/plenar-fleet-collection.XXXXXX")
  trap 'rm -rf "$collections"' EXIT
  PATH=/usr/bin:/bin ansible-galaxy collection build ansible/ansible_collections/plenar/printer \
    --output-path "$collections/dist"
  PATH=/usr/bin:/bin ansible-galaxy collection install --offline -p "$collections/installed" \
    "$collections"/dist/plenar-printer-*.tar.gz
  args+=(--collections "$collections/installed")
fi

# Debian's Python and Ansible, whatever python3 comes first on the PATH.
/usr/bin/python3 ansible/fleet/fleet.py --bin "$bin" "${args[@]}" &
fleet=$!
stop() {
  kill -TERM "$fleet" 2>/dev/null || true
  wait "$fleet" 2>/dev/null || true
  exit 130
}
trap stop INT TERM
wait "$fleet"
