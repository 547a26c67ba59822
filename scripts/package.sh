#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages, in one CPack run:
#   plenar_<version>-<rev>_amd64.deb               the command line (plenar) and its files
#   plenar-setting-tool_<version>-<rev>_amd64.deb  the desktop application, on plenar
#   plenar-printer-sim_<version>-<rev>_amd64.deb   the printer simulator
# Installs what is missing, builds the three programs, the language files and the man pages in
# Release (no tests, no benchmarks), runs CPack, then lintian on the packages (a warning or an
# error fails). Install with `sudo apt install ./plenar_*.deb` (the command line alone), with
# ./plenar-setting-tool_*.deb for the window, ./plenar-printer-sim_*.deb for the simulator.
#
#   scripts/package.sh [--build DIR] [--out DIR] [--version X.Y]
#     --build DIR    build folder (default build/pkg)
#     --out DIR      where the packages are copied (default: the repository's top folder)
#     --version X.Y  the same source under another version number (the upgrade check builds the
#                    previous version this way)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/pkg
out=.
version=""
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    *) echo "usage: $0 [--build DIR] [--out DIR] [--version X.Y]" >&2; exit 64 ;;
  esac
done

./scripts/install-deps.sh
override=(-UPLENAR_VERSION_OVERRIDE -UCMAKE_PROJECT_PlenarSettingTool_INCLUDE)
if [ -n "$version" ]; then
  override=(-DPLENAR_VERSION_OVERRIDE="$version"
    -DCMAKE_PROJECT_PlenarSettingTool_INCLUDE="$PWD/cmake/VersionOverride.cmake")
fi
# At most two compile jobs unless PLENAR_JOBS says otherwise: the machine is shared.
jobs=${PLENAR_JOBS:-2}
# Debian's hardening flags, as a package built by dpkg-buildpackage gets them: fortified string
# functions, stack protector, read-only relocations bound at start.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DPLENAR_BUILD_TESTS=OFF -DPLENAR_BUILD_BENCH=OFF "${override[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
rm -rf "$build/deb"
(cd "$build" && cpack -G DEB -B "$PWD/deb" >/dev/null)

mkdir -p "$out"
debs=()
for deb in "$build"/deb/*.deb; do
  cp "$deb" "$out/"
  debs+=("$out/$(basename "$deb")")
done
[ ${#debs[@]} -eq 3 ] || { echo "expected three packages, CPack made: ${debs[*]}" >&2; exit 1; }
for deb in "${debs[@]}"; do
  echo "Package: $deb"
  dpkg-deb --field "$deb" Package Version Architecture Depends | sed 's/^/  /'
done
# Root runs it too (the package check does): lintian only warns about that.
lintian --fail-on error,warning "${debs[@]}" 2> >(grep -v 'running with root privileges' >&2)
echo "lintian: no errors, no warnings"
