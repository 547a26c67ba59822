#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages from the source package in debian/ with dpkg-buildpackage, on a
# clean copy of the tree (tracked files and new ones not ignored, as they are in the working
# tree; no build folder), so the repository gets nothing of the build:
#   plenar_<version>-<rev>_amd64.deb               the command line (plenar) and its files
#   plenar-setting-tool_<version>-<rev>_amd64.deb  the desktop application, on plenar
#   plenar-printer-sim_<version>-<rev>_amd64.deb   the printer simulator
# with their -dbgsym packages, the source package (.dsc, .orig.tar.gz, .debian.tar.xz), the
# .buildinfo and the .changes. Then checks each package's files and dependencies
# (tests/install/package_test.sh contents) and runs lintian on the .changes, which covers the
# .dsc and every .deb: an error or a warning fails; info and pedantic tags are printed.
# Install with `sudo apt install ./plenar_*.deb` (the command line alone), with
# ./plenar-setting-tool_*.deb for the window, ./plenar-printer-sim_*.deb for the simulator.
#
#   scripts/package.sh [--build DIR] [--out DIR] [--version X.Y] [--reproducible]
#     --build DIR      work folder (default build/pkg): the copy of the tree is
#                      DIR/dpkg/plenar-X.Y, dpkg-buildpackage leaves what it makes in DIR/dpkg
#     --out DIR        where the packages and the source package are copied
#                      (default build/pkg-out)
#     --version X.Y    the same source under another version number (the upgrade check builds
#                      the previous version this way): the copy's debian/changelog gets that
#                      version as its only entry, and relations to versions after it go
#                      (Breaks/Replaces of the package splits)
#     --reproducible   build the binary packages a second time in another folder, with another
#                      time zone, locale, umask and file dates, and compare every .deb byte
#                      for byte (a difference fails; diffoscope, when installed, writes what
#                      differs to DIR/diffoscope.txt); CI runs it, with PLENAR_WERROR=ON
#     --help           print this text and exit
# The environment: PLENAR_WERROR=ON makes compiler warnings errors (CI sets it), PLENAR_JOBS the
# compile jobs (default 2: the machine is shared), DEB_BUILD_OPTIONS as dpkg-buildpackage reads it.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

usage() { sed -n '/^#   scripts\/package.sh/,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }
die() {
  echo "package.sh: $*" >&2
  exit 1
}

build=build/pkg
out=build/pkg-out
version=""
reproducible=0
while [ $# -gt 0 ]; do
  case $1 in
    --build | --out | --version)
      [ $# -ge 2 ] && [ -n "$2" ] || { echo "package.sh: $1 needs a value" >&2; usage >&2; exit 64; }
      case $1 in
        --build) build=$2 ;;
        --out) out=$2 ;;
        --version) version=$2 ;;
      esac
      shift 2
      ;;
    --reproducible) reproducible=1; shift ;;
    --help | -h) usage; exit 0 ;;
    *) echo "package.sh: unknown option $1" >&2; usage >&2; exit 64 ;;
  esac
done
if [ -n "$version" ] && ! [[ $version =~ ^[0-9]+\.[0-9]+(\.[0-9]+)?$ ]]; then
  echo "package.sh: --version $version: not MAJOR.MINOR or MAJOR.MINOR.PATCH" >&2
  exit 64
fi

./scripts/install-deps.sh
started=$(date +%s)

# ---- the version: debian/changelog's, which must be the project's ----
project_version=$(sed -n 's/^project(PlenarSettingTool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
changelog_version=$(dpkg-parsechangelog -l debian/changelog -S Version)
revision=${changelog_version##*-}
if [ "${changelog_version%-*}" != "$project_version" ]; then
  die "debian/changelog is at $changelog_version, CMakeLists.txt at $project_version:" \
    "add a changelog entry for $project_version (dch -v $project_version-1)"
fi
upstream=${version:-$project_version}
deb_version=$upstream-$revision

# ---- a clean copy of the tree: DIR/dpkg/plenar-<upstream> ----
mkdir -p "$build"
build=$(cd "$build" && pwd)
case $build/ in
  "$repo"/build/*) ;;
  "$repo"/*) die "--build $build: in the source tree, outside build/" ;;
esac
work=$build/dpkg
rm -rf "$work" "$build/again"
source_dir=$work/plenar-$upstream
mkdir -p "$source_dir"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  # Tracked files (a deleted one left out) and new ones not ignored.
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] || [ -L "$f" ] && printf '%s\0' "$f"; done |
    tar --null -T - -cf - | tar -xf - -C "$source_dir"
  changed=$(git status --porcelain --untracked-files=normal | wc -l)
  [ "$changed" = 0 ] || echo "note: the packages are of the working tree, not of commit" \
    "$(git rev-parse --short HEAD): $changed files changed or new (git status)"
else
  tar --exclude='./build*' --exclude=./.git -cf - . | tar -xf - -C "$source_dir"
fi

if [ -n "$version" ]; then
  # That version as it would have been packaged: one changelog entry, dated as the current one
  # (the packages' file dates come from it), and no relation to a version that came after it.
  top=$(dpkg-parsechangelog -l debian/changelog -S Maintainer)
  date=$(dpkg-parsechangelog -l debian/changelog -S Date)
  cat >"$source_dir/debian/changelog" <<EOF
plenar ($deb_version) unstable; urgency=medium

  * The sources of $changelog_version under the version number $upstream, for the
    upgrade check (scripts/package-check.sh).

 -- $top  $date
EOF
  awk -v v="$deb_version" '
    /^(Breaks|Replaces): plenar \(<< [^)]*\),?$/ {
      split($0, p, /<< |~?\)/)
      if (system("dpkg --compare-versions " v " lt " p[2]) == 0) next
    }
    { print }' debian/control >"$source_dir/debian/control"
fi

# ---- the source package's upstream tarball, from the copy without debian/ ----
epoch=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Timestamp)
tar -C "$work" --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
  --mode=go-w --exclude="plenar-$upstream/debian" -cf - "plenar-$upstream" |
  gzip -9n >"$work/plenar_$upstream.orig.tar.gz"
if [ "$reproducible" = 1 ]; then  # the second build's copy, before the first build touches it
  again=$build/again/elsewhere-$RANDOM
  mkdir -p "$again"
  # Files dated now, as another checkout's would be.
  cp -r "$source_dir" "$again/"
  cp "$work/plenar_$upstream.orig.tar.gz" "$again/"
fi

# ---- dpkg-buildpackage ----
jobs=${PLENAR_JOBS:-2}
build_options=${DEB_BUILD_OPTIONS:-}
[[ " $build_options " == *" parallel="* ]] || build_options="$build_options parallel=$jobs"
export DEB_BUILD_OPTIONS="${build_options# }"
echo "dpkg-buildpackage: plenar $deb_version in $source_dir (DEB_BUILD_OPTIONS=$DEB_BUILD_OPTIONS," \
  "PLENAR_WERROR=${PLENAR_WERROR:-OFF})"
log=$work/dpkg-buildpackage.log
(cd "$source_dir" && dpkg-buildpackage -us -uc) >"$log" 2>&1 ||
  { tail -60 "$log"; die "dpkg-buildpackage failed (the whole log: $log)"; }
grep -E '(warning|error):' "$log" | grep -v '^dpkg-' | sed 's/^/  compiler: /' || true
changes=$work/plenar_${deb_version}_$(dpkg-architecture -qDEB_HOST_ARCH).changes
[ -f "$changes" ] || die "no $changes"

# Every file the .changes lists (the packages, the source package, the .buildinfo), and itself.
made=("$changes")
while read -r name; do made+=("$work/$name"); done < <(
  sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]\{32\} [0-9]* [^ ]* [^ ]* //p' "$changes")
debs=()
for f in "${made[@]}"; do case $f in *.deb) debs+=("$f") ;; esac; done
[ ${#debs[@]} -eq 6 ] || die "expected three packages and their -dbgsym, dpkg-buildpackage made: ${debs[*]}"
mkdir -p "$out"
cp "${made[@]}" "$out/"
for deb in "${debs[@]}"; do
  echo "Package: $out/$(basename "$deb")"
  dpkg-deb --field "$deb" Package Version Architecture Multi-Arch Depends | sed 's/^/  /'
done

bash tests/install/package_test.sh contents "$work" "$work" ||
  die "the packages' contents (tests/install/package_test.sh contents)"

# Root runs it too (CI, the package check): lintian only warns about that.
echo "lintian --fail-on error,warning -I --pedantic $(basename "$changes")"
lintian --fail-on error,warning -I --pedantic "$changes" \
  2> >(grep -v 'running with root privileges' >&2) ||
  die "lintian found errors or warnings"
echo "lintian: no errors, no warnings"

# ---- a second build, to compare ----
if [ "$reproducible" = 1 ]; then
  echo "dpkg-buildpackage -b again in $again (TZ, locale, umask and file dates changed)"
  (cd "$again/plenar-$upstream" && umask 0002 && TZ=Asia/Shanghai LC_ALL=C.UTF-8 \
    dpkg-buildpackage -us -uc -b) >"$build/again.log" 2>&1 ||
    { tail -40 "$build/again.log"; die "the second build failed ($build/again.log)"; }
  differ=()
  for deb in "${debs[@]}"; do
    cmp -s "$deb" "$again/$(basename "$deb")" || differ+=("$(basename "$deb")")
  done
  if [ ${#differ[@]} -gt 0 ]; then
    echo "not reproducible: ${differ[*]} differ between $work and $again" >&2
    if command -v diffoscope >/dev/null; then
      for name in "${differ[@]}"; do
        diffoscope --text - "$work/$name" "$again/$name" || true
      done >"$build/diffoscope.txt" 2>&1
      echo "what differs: $build/diffoscope.txt" >&2
    fi
    exit 1
  fi
  echo "reproducible: the ${#debs[@]} packages of both builds are byte for byte the same"
  rm -rf "$build/again"
fi
echo "done in $(($(date +%s) - started)) s: $out"
