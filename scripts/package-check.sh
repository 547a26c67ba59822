#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tries the Debian packages on a clean Debian 12 system, as a technician's machine would get
# them. Needs root (debootstrap, chroot, mounts) and the network to the Debian archive this
# machine's apt uses; ./test.sh does not run it.
#
#  1. builds plenar, plenar-setting-tool and plenar-printer-sim from the source package
#     (scripts/package.sh: dpkg-buildpackage in build/pkg, lintian), and the same source under an
#     earlier version number (build/pkg-prev) for the upgrade, whose plenar and
#     plenar-setting-tool are joined into one plenar package as it came before the window had a
#     package of its own;
#  2. makes a minimal bookworm root with debootstrap under build/pkg-check/ (cached as a tarball
#     there for reruns) with the archive and suites of this machine's apt sources;
#  3. installs `apt-get install ./plenar_*.deb` alone, apt resolving every dependency
#     (Recommends left out, so Depends alone must suffice), and checks that no Qt, X11, GL or font
#     package came with it (printing how many packages did); then the simulator, and as an
#     ordinary user runs: plenar --version, plenar --paths, man -w for each page, the installed
#     simulator on UDP with `plenar --json test` against it, the package's autopkgtest
#     (debian/tests/cli-session) as that user, the simulator's virtual USB printer seen by
#     `plenar list-usb`; then the window's package on top and plenar-setting-tool
#     --screenshot under Xvfb in Chinese and in English, checking that the Chinese window found
#     a font for its texts (it falls back to English and names the font package otherwise) and
#     printing the fonts installed;
#  4. purges the packages and checks nothing of theirs is left outside the user's folders;
#  5. installs the earlier version as the single plenar package (window included) with its
#     simulator, leaves settings and an apply record in the user's folders, upgrades to the three
#     new packages, checks the files survived, the window is still installed (now from
#     plenar-setting-tool) and the new version runs, and purges again.
# Prints each check and the time taken; exits non-zero when a check failed.
#
#   scripts/package-check.sh [--no-build] [--refresh-root] [--help]
#     --no-build       use the packages the last run left in build/pkg-check/debs
#     --refresh-root   debootstrap again instead of unpacking the cached root
#     --help           print this text and exit
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

usage() { sed -n '/^#   scripts\/package-check.sh/,/^#     --help/p' "$0" | sed 's/^# \{0,1\}//'; }
build_packages=1
refresh_root=0
for arg in "$@"; do
  case $arg in
    --no-build) build_packages=0 ;;
    --refresh-root) refresh_root=1 ;;
    --help | -h) usage; exit 0 ;;
    *) echo "package-check.sh: unknown option $arg" >&2; usage >&2; exit 64 ;;
  esac
done
if [ "$(id -u)" -ne 0 ]; then
  echo "package-check needs root (debootstrap, chroot, mounts): running it through sudo"
  exec sudo "$0" "$@"
fi

suite=bookworm
work=$repo/build/pkg-check
root=$work/root
debs=$work/debs
started=$(date +%s)
failures=0
checks=0

log() { printf '[%4ss] %s\n' "$(($(date +%s) - started))" "$*"; }
pass() {
  checks=$((checks + 1))
  log "ok: $*"
}
fail() {
  checks=$((checks + 1))
  failures=$((failures + 1))
  log "FAIL: $*"
}
die() {
  log "FAIL: $*"
  exit 1
}

# ---- clean-up: the simulator, the mounts; always, whatever ended the run ----
sim_pid=""
mounted=()
stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
  done
  mounted=()
}
cleanup() {
  stop_sim
  unmount_all
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mounts_under() { awk -v r="$1" '$2 == r || index($2, r "/") == 1 {print $2}' /proc/mounts; }
mount_in_root() {  # mount_in_root TARGET mount-arguments...
  local target=$root$1
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounted+=("$target")
}
remove_root() {
  [ -z "$(mounts_under "$root")" ] || die "still mounted under $root: $(mounts_under "$root")"
  rm -rf --one-file-system "$root"
}

# ---- the archive this machine's apt uses ----
# Prints "deb URI SUITE COMPONENTS" for every Debian source of $suite (its -updates and
# -security suites too) in sources.list, *.list and deb822 *.sources.
apt_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$f" | awk '$1 == "deb" && NF >= 4'
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled != "no")
          for (u = 1; u <= nu; u++) for (s = 1; s <= ns; s++)
            print "deb", uris[u], suites[s], components
        types = ""; enabled = ""; components = ""; nu = 0; ns = 0
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      {
        key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, "")
        if (key == "types") types = $0
        else if (key == "uris") nu = split($0, uris, " ")
        else if (key == "suites") ns = split($0, suites, " ")
        else if (key == "components") components = $0
        else if (key == "enabled") enabled = tolower($0)
      }
      END { flush() }' "$f"
  done
}
sources=$(apt_sources | awk -v s="$suite" '$3 == s || index($3, s "-") == 1' | sort -u)
mirror=$(awk -v s="$suite" '$3 == s {print $2; exit}' <<<"$sources")
[ -n "$mirror" ] || die "no '$suite' source in this machine's apt sources"
log "archive: $mirror ($suite); the root's sources:"
sed 's/^/    /' <<<"$sources"

# ---- 1. the packages: this version and an earlier one ----
version=$(sed -n 's/^project(PlenarSettingTool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || die "no version in CMakeLists.txt's project()"
if [ -z "${PLENAR_PREV_VERSION:-}" ]; then
  major=${version%%.*} rest=${version#*.}
  minor=${rest%%.*}
  if [ "$minor" -gt 0 ]; then PLENAR_PREV_VERSION=$major.$((minor - 1))
  else PLENAR_PREV_VERSION=$((major - 1)).99; fi
fi
prev_version=$PLENAR_PREV_VERSION
mkdir -p "$work"
if [ "$build_packages" = 1 ]; then
  log "building $version (build/pkg) and $prev_version (build/pkg-prev)"
  rm -rf "$debs"
  scripts/package.sh --build build/pkg --out "$debs/new" >"$work/package-new.log" 2>&1 ||
    { tail -30 "$work/package-new.log"; die "scripts/package.sh failed ($work/package-new.log)"; }
  scripts/package.sh --build build/pkg-prev --version "$prev_version" --out "$debs/prev" \
    >"$work/package-prev.log" 2>&1 ||
    { tail -30 "$work/package-prev.log"; die "scripts/package.sh --version failed"; }
  pass "both versions built, lintian clean (package logs in $work)"
fi
for v in new prev; do
  ls "$debs/$v"/plenar_*.deb "$debs/$v"/plenar-setting-tool_*.deb \
    "$debs/$v"/plenar-printer-sim_*.deb >/dev/null 2>&1 ||
    die "no packages in $debs/$v (run without --no-build)"
done

# The earlier version as it was packaged before the window had a package: one plenar holding the
# command line and the window, with the Depends of both.
join_single() {  # join_single DIR: writes DIR/../single/plenar_<version>_<arch>.deb
  local from=$1 tree out depends recommends
  tree=$(mktemp -d)
  out=$(dirname "$from")/single
  rm -rf "$out" && mkdir -p "$out"
  dpkg-deb -R "$from"/plenar_*.deb "$tree"
  dpkg-deb -x "$from"/plenar-setting-tool_*.deb "$tree"
  depends=$( (dpkg-deb -f "$from"/plenar_*.deb Depends
    dpkg-deb -f "$from"/plenar-setting-tool_*.deb Depends) | tr ',' '\n' | sed 's/^ *//' |
    grep -v '^plenar (' | grep -v '^$' | sort -u | paste -sd, | sed 's/,/, /g')
  recommends="$(dpkg-deb -f "$from"/plenar_*.deb Recommends), $(dpkg-deb -f \
    "$from"/plenar-setting-tool_*.deb Recommends)"
  sed -i -e "s/^Depends: .*/Depends: $depends/" -e "s/^Recommends: .*/Recommends: $recommends/" \
    -e '/^Suggests: /d' "$tree/DEBIAN/control"
  rm -f "$tree"/usr/share/doc/plenar-setting-tool/* "$tree"/usr/share/lintian/overrides/plenar-setting-tool
  rmdir "$tree"/usr/share/doc/plenar-setting-tool 2>/dev/null || true
  (cd "$tree" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | sort -z |
    xargs -0 md5sum) >"$tree/DEBIAN/md5sums"
  sed -i "s/^Installed-Size: .*/Installed-Size: $(du -sk --exclude=DEBIAN "$tree" | cut -f1)/" \
    "$tree/DEBIAN/control"
  dpkg-deb --root-owner-group -b "$tree" "$out" >/dev/null
  rm -rf "$tree"
  cp "$from"/plenar-printer-sim_*.deb "$out/"
}
join_single "$debs/prev" || die "could not join the earlier plenar and plenar-setting-tool"
new_deb_version=$(dpkg-deb -f "$debs"/new/plenar_*.deb Version)
prev_deb_version=$(dpkg-deb -f "$debs"/prev/plenar_*.deb Version)
dpkg --compare-versions "$prev_deb_version" lt "$new_deb_version" ||
  die "earlier package $prev_deb_version is not older than $new_deb_version"
log "packages: $new_deb_version, earlier $prev_deb_version"

# ---- 2. the clean root ----
command -v debootstrap >/dev/null || {
  log "installing debootstrap"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap \
    >/dev/null
}
# The cache is a tarball of a fresh root, named after the archive it came from.
cache=$work/cache/$suite-minbase-$(sed 's|[^A-Za-z0-9.]|_|g' <<<"$mirror").tar
[ -z "$(mounts_under "$root")" ] || die "a previous run left mounts under $root: unmount them"
remove_root
if [ "$refresh_root" = 1 ] || [ ! -f "$cache" ]; then
  log "debootstrap --variant=minbase $suite from $mirror"
  mkdir -p "$work/cache"
  debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; die "debootstrap failed ($work/debootstrap.log)"; }
  tar -C "$root" -cf "$cache.part" . && mv "$cache.part" "$cache"
  pass "debootstrap made a clean $suite root"
else
  mkdir -p "$root"
  tar -C "$root" -xf "$cache"
  pass "clean $suite root unpacked from $(basename "$cache")"
fi

# Inside: this machine's Debian sources, its name servers, no services started by packages, one
# ordinary user. The device nodes debootstrap made stay; ptys and /dev/shm are the root's own.
printf '%s\n' "$sources" >"$root/etc/apt/sources.list"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
for node in null:1:3 zero:1:5 random:1:8 urandom:1:9 tty:5:0 full:1:7; do
  IFS=: read -r name major minor <<<"$node"
  [ -e "$root/dev/$name" ] || mknod -m 666 "$root/dev/$name" c "$major" "$minor"
done
mount_in_root /proc -t proc proc
mount_in_root /sys -t sysfs -o ro sysfs
mount_in_root /dev/pts -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts
ln -sf pts/ptmx "$root/dev/ptmx"
mount_in_root /dev/shm -t tmpfs -o mode=1777 tmpfs
mount_in_root /run -t tmpfs -o mode=755 tmpfs

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive "$@"; }
in_root useradd --create-home --shell /bin/bash tech
uid=$(in_root id -u tech) gid=$(in_root id -g tech)
home=/home/tech
# As the user, with a login's environment and no display unless given one.
as_user() { chroot --userspec="$uid:$gid" "$root" /usr/bin/env -i HOME=$home USER=tech \
  LOGNAME=tech PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 "$@"; }
apt_in_root() { in_root apt-get -y -q -o Dpkg::Use-Pty=0 "$@" >>"$work/apt.log" 2>&1; }
: >"$work/apt.log"
apt_in_root update || { tail -20 "$work/apt.log"; die "apt-get update in the root failed"; }
pass "apt-get update from this machine's sources"
mkdir -p "$root/tmp/debs"
cp -r "$debs/new" "$debs/single" "$root/tmp/debs/"

install_debs() {  # install_debs new|single [PACKAGE-FILE-PATTERNS...] (default: all three)
  local from=$1
  shift
  # Not the -dbgsym packages, which lie beside them.
  [ $# -gt 0 ] || set -- './plenar_*.deb' './plenar-setting-tool_*.deb' './plenar-printer-sim_*.deb'
  in_root sh -c "cd /tmp/debs/$from && apt-get install -y -q -o Dpkg::Use-Pty=0 \
    --no-install-recommends $*" >>"$work/apt.log" 2>&1
}
installed_packages() { in_root dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' |
  awk '$1 == "ii" {print $2}' | sort; }
installed_version() { in_root dpkg-query -W -f='${Status} ${Version}' "$1" 2>/dev/null || true; }

# The simulator as the user, until it says it is ready: start_sim NAME ARGS... writes
# ~/NAME.out and ~/NAME.err in the root.
start_sim() {
  local name=$1 _
  shift
  : >"$root$home/$name.out"
  chroot --userspec="$uid:$gid" "$root" /usr/bin/env -i HOME=$home PATH=/usr/bin:/bin \
    plenar-printer-sim "$@" >"$root$home/$name.out" 2>"$root$home/$name.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    grep -q '^ready' "$root$home/$name.out" && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
}
start_udp_sim() {  # sets udp to the simulator's address, empty when it did not start
  start_sim sim --udp 127.0.0.1:0 --state $home/printer.json
  udp=$(sed -n 's/^udp //p' "$root$home/sim.out")
}

# `plenar --json test`; where this plenar has no --json yet, the plain `test`.
plenar_test() {  # plenar_test ADDR
  local rc=0
  as_user plenar --json test --net "$1" >"$work/test.out" 2>"$work/test.err" || rc=$?
  if [ "$rc" = 64 ] && grep -q "unknown option --json" "$work/test.err"; then
    log "note: this plenar has no --json: checked with 'plenar --net $1 test' instead"
    rc=0
    as_user plenar --net "$1" test >"$work/test.out" 2>"$work/test.err" || rc=$?
  fi
  cat "$work/test.out" "$work/test.err" | sed 's/^/    /'
  return "$rc"
}

packages=(plenar plenar-setting-tool plenar-printer-sim)
# Files of the packages installed (not folders), to check after the purge.
package_files() {
  local installed=() p
  for p in "${packages[@]}"; do
    case $(installed_version "$p") in "install ok installed"*) installed+=("$p") ;; esac
  done
  in_root dpkg-query -L "${installed[@]}" | while read -r f; do
    [ -d "$root$f" ] || echo "$f"
  done
}
# After a purge: nothing of the packages anywhere outside the user's folders (/home, /root,
# /tmp), apt's and dpkg's logs, and the pseudo file systems.
check_purged() {  # check_purged FILE-LIST
  local left=() f found
  for what in "${packages[@]}"; do
    case $(installed_version "$what") in
      "install ok installed"*) fail "$what still installed after the purge" ;;
    esac
  done
  while read -r f; do [ -e "$root$f" ] && left+=("$f"); done <"$1"
  [ ${#left[@]} = 0 ] || fail "left after the purge: ${left[*]}"
  found=$(cd "$root" && find . -xdev \( -path ./proc -o -path ./sys -o -path ./dev -o \
    -path ./run -o -path ./home -o -path ./root -o -path ./tmp -o -path ./var/log \) -prune \
    -o -iname '*plenar*' -print | sed 's|^\.||')
  if [ -n "$found" ]; then fail "named after plenar after the purge: $(tr '\n' ' ' <<<"$found")"
  else pass "purged: no file of either package left outside the user's folders"; fi
}

# ---- 3. a fresh install, and the programs as the user runs them ----
before_cli=$(installed_packages)
log "apt-get install ./plenar_*.deb alone ($new_deb_version)"
install_debs new './plenar_*.deb' ||
  { tail -30 "$work/apt.log"; die "apt-get install ./plenar_*.deb failed ($work/apt.log)"; }
came=$(comm -13 <(echo "$before_cli") <(installed_packages))
log "plenar brought $(wc -l <<<"$came") packages: $(tr '\n' ' ' <<<"$came")"
desktop=$(grep -Ei '(^|-)(qt|libqt|x11|libx|libxcb|libgl|libegl|mesa|wayland|fontconfig|freetype|harfbuzz|fonts-|xkb)' <<<"$came" || true)
if [ -z "$desktop" ]; then
  pass "the command line installed with $(wc -l <<<"$came") packages, none of Qt, X11, GL or fonts"
else fail "plenar brought desktop packages: $(tr '\n' ' ' <<<"$desktop")"; fi
log "apt-get install ./plenar-printer-sim_*.deb"
install_debs new './plenar-printer-sim_*.deb' ||
  { tail -30 "$work/apt.log"; die "apt-get install ./plenar-printer-sim_*.deb failed"; }
pass "apt-get installed plenar and plenar-printer-sim and their dependencies on a clean root"
case $(installed_version plenar-setting-tool) in
  "install ok installed"*) fail "plenar-setting-tool came without being asked for" ;;
esac
case $(installed_version plenar) in
  "install ok installed $new_deb_version") pass "dpkg: plenar $new_deb_version installed" ;;
  *) fail "dpkg: plenar is '$(installed_version plenar)'" ;;
esac
# Automation users reach the USB printers through the group the package makes.
if in_root getent group plenar >/dev/null &&
  grep -q 'GROUP="plenar", MODE="0660"' "$root/usr/lib/udev/rules.d/60-plenar.rules"; then
  pass "postinst made the group plenar; the udev rule gives it the USB printers"
else fail "no group plenar, or the udev rule does not name it"; fi
for package in libumockdev0 umockdev libglib2.0-0; do
  case $(installed_version "$package") in
    "install ok installed"*) pass "$package came with plenar-printer-sim" ;;
    *) fail "$package is not installed with plenar-printer-sim" ;;
  esac
done

out=$(as_user plenar --version 2>&1) || true
if grep -q " $version\$" <<<"$out"; then pass "plenar --version: $out"
else fail "plenar --version: '$out' (wanted $version)"; fi

out=$(as_user plenar --paths 2>&1) || true
sed 's/^/    /' <<<"$out"
if grep -q '^mode  *installed$' <<<"$out" &&
  grep -q "^sysconfig.ini  *$home/.config/plenar/sysconfig.ini$" <<<"$out" &&
  grep -q "^debug.log  *$home/.local/state/plenar/debug.log$" <<<"$out" &&
  grep -q '^English.lng  */usr/share/plenar/lang/English.lng$' <<<"$out"; then
  pass "plenar --paths: installed mode, the user's XDG folders, /usr/share/plenar/lang"
else fail "plenar --paths"; fi

log "installing the checks' own tools: man-db, xvfb, xauth"
apt_in_root install --no-install-recommends man-db xvfb xauth ||
  { tail -20 "$work/apt.log"; die "apt-get install man-db xvfb xauth failed"; }
start_udp_sim
if [ -z "$udp" ]; then
  fail "the installed simulator did not start on UDP"
  sed 's/^/    /' "$root$home/sim.err"
else
  pass "plenar-printer-sim serves UDP on $udp"
  if plenar_test "$udp"; then pass "plenar test against the installed simulator"
  else fail "plenar test against the installed simulator"; fi
fi
stop_sim

# The package's own autopkgtest, as the user, against the installed programs.
cp debian/tests/cli-session "$root/tmp/cli-session"
chmod 755 "$root/tmp/cli-session"
if as_user /tmp/cli-session >"$work/autopkgtest.log" 2>&1; then
  pass "autopkgtest debian/tests/cli-session: $(tail -1 "$work/autopkgtest.log")"
else
  fail "autopkgtest debian/tests/cli-session"
  sed 's/^/    /' "$work/autopkgtest.log"
fi

# The virtual USB printer needs umockdev's preload library: plenar-printer-sim must bring it.
start_sim usb --usb
umockdev_dir=$(sed -n 's/^usb UMOCKDEV_DIR=//p' "$root$home/usb.out")
if [ -n "$umockdev_dir" ] && as_user env UMOCKDEV_DIR="$umockdev_dir" \
  LD_PRELOAD=libumockdev-preload.so.0 plenar list-usb 2>&1 | grep -q 'VID_1234&PID_811E'; then
  pass "plenar list-usb sees the simulator's virtual USB printer"
else
  fail "the simulator's virtual USB printer"
  sed 's/^/    /' "$root$home/usb.out" "$root$home/usb.err"
fi
stop_sim

# The window on top of the command line, as a desktop user adds it.
log "apt-get install ./plenar-setting-tool_*.deb"
install_debs new './plenar-setting-tool_*.deb' ||
  { tail -30 "$work/apt.log"; die "apt-get install ./plenar-setting-tool_*.deb failed"; }
case $(installed_version plenar-setting-tool) in
  "install ok installed $new_deb_version") pass "plenar-setting-tool $new_deb_version on plenar" ;;
  *) fail "dpkg: plenar-setting-tool is '$(installed_version plenar-setting-tool)'" ;;
esac
for page in plenar plenar-setting-tool plenar-printer-sim; do
  out=$(as_user man -w "$page" 2>&1) || true
  if [ "$out" = "/usr/share/man/man1/$page.1.gz" ] &&
    as_user env MANWIDTH=80 man "$page" 2>/dev/null | grep -q "$page"; then
    pass "man -w $page: $out"
  else fail "man -w $page: '$out'"; fi
done

# The window in both languages. Chinese must be drawn with a font that has its characters: the
# window starts in English and names the font package when no installed font covers them, and a
# Chinese screenshot equal to the English one would be that fallback.
fonts=$(in_root dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' 'fonts-*' 2>/dev/null |
  awk '$1 == "ii" {print $2}' | tr '\n' ' ')
log "fonts installed with the window: ${fonts:-none}"
for lang in 0:zh 1:en; do
  IFS=: read -r index name <<<"$lang"
  rm -f "$root$home/window-$name.png"
  if as_user xvfb-run -a -s "-screen 0 1280x1024x24" plenar-setting-tool --language=$index \
    --screenshot $home/window-$name.png >"$work/screenshot-$name.log" 2>&1 &&
    [ "$(head -c 8 "$root$home/window-$name.png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = \
      89504e470d0a1a0a ]; then
    cp "$root$home/window-$name.png" "$work/window-$name.png"
    pass "plenar-setting-tool --language=$index --screenshot under Xvfb ($work/window-$name.png)"
  else
    fail "plenar-setting-tool --language=$index --screenshot under Xvfb"
    sed 's/^/    /' "$work/screenshot-$name.log"
  fi
done
if grep -q 'fonts-wqy-microhei' "$work/screenshot-zh.log"; then
  fail "the window found no font for its Chinese texts and fell back to English"
  sed 's/^/    /' "$work/screenshot-zh.log"
elif [ -f "$work/window-zh.png" ] && cmp -s "$work/window-zh.png" "$work/window-en.png"; then
  fail "the Chinese screenshot is the English one"
else
  pass "the Chinese window is drawn with an installed CJK font (no fallback to English)"
fi
if in_root sh -c 'command -v fc-list' >/dev/null; then
  log "fonts that draw Chinese: $(in_root fc-list :lang=zh family | tr '\n' ';')"
fi
cp "$work/window-zh.png" "$work/window.png" 2>/dev/null || true

# ---- 4. purge ----
package_files >"$work/files-new.txt"
apt_in_root purge "${packages[@]}" || die "apt-get purge failed ($work/apt.log)"
check_purged "$work/files-new.txt"
kept=$(cd "$root$home" && find .config/plenar .local/state/plenar -type f 2>/dev/null | tr '\n' ' ')
log "kept in the user's folders, as they should be: ${kept:-nothing}"
apt_in_root autoremove --purge || die "apt-get autoremove failed"

# ---- 5. upgrade from the earlier version: the user's files survive ----
rm -rf "$root$home/.config/plenar" "$root$home/.local/state/plenar"
log "apt-get install the earlier single plenar (window included) and its simulator ($prev_deb_version)"
install_debs single './plenar_*.deb' './plenar-printer-sim_*.deb' || { tail -30 "$work/apt.log"; die "installing $prev_deb_version failed"; }
[ "$(in_root dpkg-query -S /usr/bin/plenar-setting-tool 2>/dev/null)" = \
  "plenar: /usr/bin/plenar-setting-tool" ] || fail "the earlier plenar does not hold the window"
out=$(as_user plenar --version 2>&1) || true
grep -q " $prev_version\$" <<<"$out" || fail "earlier plenar --version: '$out'"
start_udp_sim
[ -n "$udp" ] && plenar_test "$udp" >/dev/null || fail "the earlier plenar against its simulator"
stop_sim
# A user's settings (readable by the user only, as the program makes it) and an apply record.
as_user sh -c "umask 077 && mkdir -p $home/.config/plenar $home/.local/state/plenar/apply &&
  printf '[MainDefault]\r\nIP Address=192.168.1.87\r\nLanguage=1\r\nTranMode=1\r\n' \
    >$home/.config/plenar/sysconfig.ini &&
  printf '{\"profile\":\"shop-80mm\",\"groups\":{\"basic\":\"5e1c9a\"}}\n' \
    >$home/.local/state/plenar/apply/package-check.json"
user_files=(.config/plenar/sysconfig.ini .local/state/plenar/apply/package-check.json)
before=$(cd "$root$home" && sha256sum "${user_files[@]}")
package_files >"$work/files-prev.txt"

log "upgrade: apt-get install ./plenar_*.deb ./plenar-setting-tool_*.deb ./plenar-printer-sim_*.deb ($new_deb_version)"
install_debs new || { tail -30 "$work/apt.log"; die "the upgrade failed ($work/apt.log)"; }
for package in "${packages[@]}"; do
  case $(installed_version "$package") in
    "install ok installed $new_deb_version") pass "upgraded $package to $new_deb_version" ;;
    *) fail "$package after the upgrade: '$(installed_version "$package")'" ;;
  esac
done
out=$(as_user plenar --version 2>&1) || true
if grep -q " $version\$" <<<"$out"; then pass "the upgraded plenar runs: $out"
else fail "the upgraded plenar --version: '$out'"; fi
start_udp_sim
if [ -n "$udp" ] && plenar_test "$udp" >/dev/null; then pass "the upgraded plenar against the upgraded simulator"
else fail "the upgraded plenar against the upgraded simulator"; fi
stop_sim
after=$(cd "$root$home" && sha256sum "${user_files[@]}" 2>&1) || true
if [ "$before" = "$after" ]; then
  pass "settings and the apply record survived the upgrade unchanged (${user_files[*]})"
else
  fail "the user's files changed in the upgrade"
  diff <(echo "$before") <(echo "$after") | sed 's/^/    /'
fi
perms=$(stat -c %a "$root$home/.config/plenar/sysconfig.ini")
[ "$perms" = 600 ] || fail "sysconfig.ini is $perms after the upgrade, not 600"
owner=$(in_root dpkg-query -S /usr/bin/plenar-setting-tool 2>/dev/null || true)
if [ "$owner" = "plenar-setting-tool: /usr/bin/plenar-setting-tool" ] &&
  as_user xvfb-run -a plenar-setting-tool --screenshot $home/upgraded.png >>"$work/screenshot.log" 2>&1
then pass "the window stayed installed through the upgrade ($owner) and opens"
else fail "the window after the upgrade: '$owner'"; fi

package_files >"$work/files-upgraded.txt"
apt_in_root purge "${packages[@]}" || die "apt-get purge failed ($work/apt.log)"
cat "$work/files-prev.txt" "$work/files-upgraded.txt" | sort -u >"$work/files-all.txt"
check_purged "$work/files-all.txt"

# ---- summary ----
stop_sim
unmount_all
elapsed=$(($(date +%s) - started))
log "$checks checks, $failures failed, in $((elapsed / 60)) min $((elapsed % 60)) s"
[ "$failures" = 0 ]
