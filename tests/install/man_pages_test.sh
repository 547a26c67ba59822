#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The built pages plenar(1) and plenar-profile(5): man and groff warn about nothing, and the
# pages hold a subsection for every command and an entry for every key the program lists
# (plenar --json help, plenar --json profile keys), with the exit codes.
# Arguments: the build folder and the plenar program.
set -uo pipefail
build=$1 plenar=$2
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pages=("$build/man/plenar.1" "$build/man/plenar-profile.5")
for page in "${pages[@]}"; do
  [ -f "$page" ] || { fail "no $page"; continue; }
  # As lintian reads a page, and as groff does on its default device.
  warnings=$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man --warnings $(basename "$page"): $warnings"
  warnings=$(LC_ALL=C man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man --warnings (C locale) $(basename "$page"): $warnings"
  warnings=$(groff -ww -z -man "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff -ww $(basename "$page"): $warnings"
done
[ "$failures" = 0 ] || exit 1

names() {  # names JSON-PATH: one name a line from plenar's JSON answer on stdin
  python3 -c 'import json, sys; d = json.load(sys.stdin)["result"]
for e in d[sys.argv[1]]: print(e[sys.argv[2]])' "$@"
}
commands=$("$plenar" --json help | names commands name)
[ -n "$commands" ] || fail "plenar --json help lists no command"
while read -r name; do
  grep -qxF ".SS \"${name//-/\\-}\"" "$build/man/plenar.1" || fail "plenar.1: no subsection $name"
done <<<"$commands"
keys=$("$plenar" --json profile keys | names keys key)
[ -n "$keys" ] || fail "plenar --json profile keys lists no key"
while read -r key; do
  grep -qxF ".B \"$key\"" "$build/man/plenar-profile.5" || fail "plenar-profile.5: no key $key"
done <<<"$keys"
for code in 0 1 2 64 65 66; do
  sed -n '/^\.SH "EXIT STATUS"/,/^\.SH /p' "$build/man/plenar.1" | grep -qx ".B $code" ||
    fail "plenar.1: exit status $code missing"
done

if [ "$failures" = 0 ]; then
  echo "man pages: every check passed ($(wc -l <<<"$commands") commands, $(wc -l <<<"$keys") keys)"
else
  exit 1
fi
