#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary DESTDIR and checks the installed tree: every file in its
# place, the desktop entry, metainfo and man pages valid, and the installed plenar, run from an
# unrelated folder against the installed simulator, keeping its files in the XDG folders and
# nothing next to itself.
# Arguments: the build folder, then the install's bin, data and man folders (relative).
set -uo pipefail
build=$1 bindir=$2 datadir=$3 mandir=$4
work=$(mktemp -d /tmp/plenar-install.XXXXXX)
sim_pid=""
failures=0
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@" >"$work/check.out" 2>&1; then echo "ok: $what"; else fail "$what"; cat "$work/check.out"; fi
}

root=$work/root
prefix=/usr
if ! DESTDIR=$root cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi
usr=$root$prefix

# ---- the file list ----
gui=0
[ -x "$build/bin/plenar-setting-tool" ] && gui=1
man=0
[ -f "$build/man/plenar.1" ] && man=1
expected=(
  "$bindir/plenar" "$bindir/plenar-printer-sim"
  "$datadir/plenar/lang/Chinese.lng" "$datadir/plenar/lang/English.lng"
  "$datadir/plenar/plenar-result.schema.json"
  "lib/udev/rules.d/60-plenar.rules" "lib/sysusers.d/plenar.conf"
  "$datadir/bash-completion/completions/plenar" "$datadir/zsh/vendor-completions/_plenar"
)
if [ "$gui" = 1 ]; then
  expected+=(
    "$bindir/plenar-setting-tool"
    "$datadir/applications/com.plenar.settingtool.desktop"
    "$datadir/icons/hicolor/scalable/apps/com.plenar.settingtool.svg"
    "$datadir/metainfo/com.plenar.settingtool.metainfo.xml"
  )
fi
if [ "$man" = 1 ]; then
  expected+=("$mandir/man1/plenar.1.gz" "$mandir/man5/plenar-profile.5.gz")
  # help2man makes these two.
  [ -f "$build/man/plenar-printer-sim.1" ] && expected+=("$mandir/man1/plenar-printer-sim.1.gz")
  [ "$gui" = 1 ] && [ -f "$build/man/plenar-setting-tool.1" ] &&
    expected+=("$mandir/man1/plenar-setting-tool.1.gz")
fi
for f in "${expected[@]}"; do
  [ -e "$usr/$f" ] || fail "missing $prefix/$f"
done
(cd "$usr" && find . -type f | sed 's|^\./||' | sort) >"$work/installed.txt"
printf '%s\n' "${expected[@]}" | sort >"$work/expected.txt"
extra=$(comm -23 "$work/installed.txt" "$work/expected.txt")
[ -z "$extra" ] || fail "unexpected files installed: $extra"
echo "ok: file list ($(wc -l <"$work/installed.txt") files)"

# ---- the udev rule grants its devices by vendor and product, never by product alone ----
rules="$usr/lib/udev/rules.d/60-plenar.rules"
if grep -v '^#' "$rules" | grep 'GROUP=' | grep -qv 'ATTR{idVendor}=='; then
  fail "60-plenar.rules grants a device without naming its vendor"
else
  echo "ok: udev rule names vendor and product"
fi

# ---- validators, where present ----
if [ "$gui" = 1 ]; then
  if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate" desktop-file-validate \
      "$usr/$datadir/applications/com.plenar.settingtool.desktop"
  fi
  if command -v appstreamcli >/dev/null; then
    # Pedantic notes too: appstreamcli exits 0 with them, so its report must be empty of them.
    check "appstreamcli validate --pedantic" bash -c "appstreamcli validate --pedantic --no-net \
      '$usr/$datadir/metainfo/com.plenar.settingtool.metainfo.xml' | tee /dev/stderr |
      (! grep -Eq '^[EWIP]: ')"
  fi
fi
if [ "$man" = 1 ] && command -v groff >/dev/null; then
  for page in "$usr/$mandir"/man1/*.1.gz "$usr/$mandir"/man5/*.5.gz; do
    check "groff $(basename "$page")" bash -c \
      "zcat '$page' | groff -man -z -ww 2>&1 | tee /dev/stderr | (! grep -q .)"
  done
fi
check "bash completion parses" bash -n "$usr/$datadir/bash-completion/completions/plenar"
if command -v zsh >/dev/null; then
  check "zsh completion parses" zsh -n "$usr/$datadir/zsh/vendor-completions/_plenar"
fi

# ---- the installed programs, from an unrelated folder, as a user with a fresh home ----
home=$work/home
mkdir -p "$home"
before=$(ls "$usr/$bindir")
cd "$work"
run() { env -u XDG_CONFIG_HOME -u XDG_STATE_HOME HOME="$home" "$@"; }

paths=$(run "$usr/$bindir/plenar" --paths)
echo "$paths"
grep -q "^mode  *installed$" <<<"$paths" || fail "--paths: not installed mode"
grep -q "^sysconfig.ini  *$home/.config/plenar/sysconfig.ini$" <<<"$paths" ||
  fail "--paths: sysconfig.ini not under ~/.config/plenar"
grep -q "^debug.log  *$home/.local/state/plenar/debug.log$" <<<"$paths" ||
  fail "--paths: debug.log not under ~/.local/state/plenar"
grep -q "^English.lng  *$usr/$datadir/plenar/lang/English.lng$" <<<"$paths" ||
  fail "--paths: language files not from $prefix/$datadir/plenar/lang"
xdg=$(env XDG_CONFIG_HOME="$work/cfg" XDG_STATE_HOME="$work/state" HOME="$home" \
  "$usr/$bindir/plenar" --paths)
grep -q "^sysconfig.ini  *$work/cfg/plenar/sysconfig.ini$" <<<"$xdg" ||
  fail "--paths: XDG_CONFIG_HOME not followed"
grep -q "^1.bin  *$work/state/plenar/1.bin$" <<<"$xdg" || fail "--paths: XDG_STATE_HOME not followed"
run "$usr/$bindir/plenar" --version | grep -q "V1.0" || fail "--version does not show V1.0"

"$usr/$bindir/plenar-printer-sim" --udp 127.0.0.1:0 --state "$work/printer.json" \
  >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
  grep -q '^ready' "$work/sim.out" 2>/dev/null && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
udp=$(sed -n 's/^udp //p' "$work/sim.out")
if [ -z "$udp" ]; then
  fail "the installed simulator did not start"
  cat "$work/sim.err"
else
  check "plenar --net $udp test (installed)" run "$usr/$bindir/plenar" --net "$udp" test
  [ -s "$home/.local/state/plenar/debug.log" ] || fail "debug.log not in ~/.local/state/plenar"
  perms=$(stat -c %a "$home/.local/state/plenar")
  [ "$perms" = 700 ] || fail "state folder created $perms, not 700"
fi
if [ "$gui" = 1 ]; then
  # What the menu entry starts: the program its Exec line names, with the installed language
  # files, keeping its settings folder in the user's home.
  exec_line=$(sed -n 's/^Exec=//p' "$usr/$datadir/applications/com.plenar.settingtool.desktop")
  [ -x "$usr/$bindir/$exec_line" ] || fail "the desktop entry starts '$exec_line', not installed"
  rm -rf "$home/.config"
  check "the installed application starts" run env QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=0 "$usr/$bindir/plenar-setting-tool" --language=1 \
    --screenshot "$work/window.png"
  [ -s "$work/window.png" ] || fail "no window drawn"
  [ -d "$home/.config/plenar" ] || fail "the application did not make ~/.config/plenar"
fi
[ "$(ls "$usr/$bindir")" = "$before" ] || fail "files appeared next to the installed programs"
ls "$work" | grep -qx debug.log && fail "debug.log written in the current folder"

if [ "$failures" = 0 ]; then
  echo "install test: every check passed"
else
  echo "install test: $failures check(s) failed"
  exit 1
fi
