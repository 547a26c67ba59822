#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian packages of debian/, checked the way dpkg and a technician's machine see them.
#   package_test.sh build    BUILD OUT   packages the programs CMake built in BUILD with the
#                                        debian/ packaging (dpkg-buildpackage -b on a copy of
#                                        debian/ whose build steps are BUILD's `cmake --install`)
#                                        into OUT, without compiling anything again
#   package_test.sh contents BUILD OUT   each package in OUT holds exactly the files of
#                                        packages/<name>.files; plenar neither depends on nor
#                                        links Qt, X11, GL, fonts, umockdev or GLib; the window
#                                        depends on plenar of its version; the simulator's
#                                        package brings umockdev; each has its -dbgsym
#   package_test.sh lintian  BUILD OUT   lintian --fail-on error,warning (exit 77: no lintian)
#   package_test.sh changelog VERSION    debian/changelog's version is VERSION-<revision>: the
#                                        packages carry the project's version
# scripts/package.sh runs `contents` on the packages dpkg-buildpackage built from source.
set -uo pipefail
mode=$1 build=$2 out=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" = 0 ]; then
    echo "package $mode: every check passed"
  else
    echo "package $mode: $failures check(s) failed"
    exit 1
  fi
}
deb_of() {  # deb_of NAME: the one package file of that name in OUT
  local found=("$out"/"$1"_*.deb)
  [ ${#found[@]} = 1 ] && [ -f "${found[0]}" ] || return 1
  echo "${found[0]}"
}

case $mode in
  build)
    rm -rf "$out"
    mkdir -p "$out"
    build=$(cd "$build" && pwd)
    scratch=$(mktemp -d /tmp/plenar-package-test.XXXXXX)
    trap 'rm -rf "$scratch"' EXIT
    mkdir -p "$scratch/plenar" && cp -a "$top/debian" "$scratch/plenar/"
    # debian/rules as it is, with the build steps replaced: the programs are BUILD's (make takes
    # the last recipe of a target and warns about the first).
    printf '\n%s\n%s\n\t%s\n' \
      'override_dh_auto_configure override_dh_auto_build override_dh_auto_test override_dh_auto_clean: ;' \
      'override_dh_auto_install:' \
      "DESTDIR=\$(CURDIR)/debian/tmp cmake --install $build --prefix /usr" \
      >>"$scratch/plenar/debian/rules"
    (cd "$scratch/plenar" && dpkg-buildpackage -us -uc -b -d) >"$build/package-test.log" 2>&1 ||
      { cat "$build/package-test.log"; exit 1; }
    mv "$scratch"/*.deb "$out/"
    ls "$out"/*.deb
    ;;

  contents)
    for name in plenar plenar-setting-tool plenar-printer-sim; do
      deb=$(deb_of "$name") || { fail "no single ${name}_*.deb in $out"; continue; }
      [ "$(dpkg-deb -f "$deb" Package)" = "$name" ] || fail "$deb: Package is not $name"
      # Regular files and links, not folders: a file that goes missing or lands in the other
      # package shows up as a difference.
      diff=$(diff -u --label expected --label "$name" "$here/packages/$name.files" \
        <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort))
      if [ -n "$diff" ]; then fail "$name: files differ from packages/$name.files"; echo "$diff"
      else echo "ok: $name holds exactly $(wc -l <"$here/packages/$name.files") files"; fi
    done
    plenar=$(deb_of plenar) && window=$(deb_of plenar-setting-tool) &&
      sim=$(deb_of plenar-printer-sim) || finish  # failed above

    # What apt installs with plenar: nothing of the desktop stack, umockdev or GLib.
    deps=$(dpkg-deb -f "$plenar" Pre-Depends Depends Recommends)
    echo "$deps"
    if grep -Eiq 'umockdev|glib|gobject|libgio|qt|x11|xcb|libgl|egl|mesa|fonts-' <<<"$deps"; then
      fail "plenar depends on a desktop library, umockdev or GLib"
    else echo "ok: plenar has no Qt, X11, GL, font, umockdev or GLib dependency"; fi
    version=$(dpkg-deb -f "$plenar" Version)
    grep -Eq "(^|, )plenar \(= $version\)" <<<"$(dpkg-deb -f "$window" Depends)" ||
      fail "plenar-setting-tool does not depend on plenar (= $version)"
    # Nor may the programs load them (the ELF test checks the build; this the packaged files):
    # plenar nothing of the desktop stack, neither program umockdev or GLib directly.
    unpacked=$(mktemp -d)
    trap 'rm -rf "$unpacked"' EXIT
    dpkg-deb -x "$plenar" "$unpacked"
    dpkg-deb -x "$window" "$unpacked"
    python3 "$here/check_needed.py" "$unpacked/usr/bin/plenar" \
      --also-forbid '^lib(glib|gobject|gio)-2' || fail "plenar links a desktop library or GLib"
    for program in plenar plenar-setting-tool; do
      binary=$unpacked/usr/bin/$program
      needed=$(readelf -d "$binary" | grep NEEDED)
      if grep -Eq 'umockdev|glib|gobject|gio-' <<<"$needed"; then
        fail "$program links umockdev or GLib directly"; echo "$needed"
      else echo "ok: $program does not link umockdev or GLib"; fi
      if ldd "$binary" | grep -q umockdev; then fail "$program loads umockdev"; fi
    done

    simdeps=$(dpkg-deb -f "$sim" Depends)
    for need in libumockdev0 umockdev; do
      grep -Eq "(^|, )$need( |,|$)" <<<"$simdeps" || fail "plenar-printer-sim does not depend on $need"
    done
    for deb in "$window" "$sim"; do
      [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb: version is not $version"
    done
    for deb in "$plenar" "$window" "$sim"; do
      maintainer=$(dpkg-deb -f "$deb" Maintainer)
      grep -q '<plenar-dev@plenar.org>' <<<"$maintainer" || fail "$deb: Maintainer $maintainer"
      # The debug symbols of its program, in a package of their own.
      name=$(dpkg-deb -f "$deb" Package)
      dbgsym=$(deb_of "$name-dbgsym") || { fail "no ${name}-dbgsym_*.deb"; continue; }
      [ "$(dpkg-deb -f "$dbgsym" Depends)" = "$name (= $version)" ] ||
        fail "$dbgsym: Depends is not $name (= $version)"
      dpkg-deb -c "$dbgsym" | grep '/usr/lib/debug/.build-id/.*\.debug$' >/dev/null ||
        fail "$dbgsym holds no .debug file"
    done
    finish
    ;;

  lintian)
    command -v lintian >/dev/null || { echo "lintian is not installed"; exit 77; }
    plenar=$(deb_of plenar) && window=$(deb_of plenar-setting-tool) &&
      sim=$(deb_of plenar-printer-sim) || { fail "packages missing"; finish; }
    # lintian warns that it runs as root (the CI container); that is not about the packages.
    lintian --fail-on error,warning "$plenar" "$window" "$sim" 2>&1 |
      grep -v 'running with root privileges'
    [ "${PIPESTATUS[0]}" = 0 ] || fail "lintian found errors or warnings"
    finish
    ;;

  changelog)
    # A new project version needs its changelog entry, else the packages keep the old number.
    project_version=$build
    version=$(dpkg-parsechangelog -l "$top/debian/changelog" -S Version) ||
      { fail "dpkg-parsechangelog cannot read debian/changelog"; finish; }
    if [ "${version%-*}" = "$project_version" ]; then echo "ok: debian/changelog is at $version"
    else fail "debian/changelog is at $version, the project at $project_version"; fi
    finish
    ;;

  *)
    echo "usage: $0 build|contents|lintian BUILD OUT, or $0 changelog VERSION" >&2
    exit 64
    ;;
esac
