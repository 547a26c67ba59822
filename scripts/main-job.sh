#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts what the build produced: see run.sh. Arguments: the bin folder, 1 to start the simulator.
# With a display: the printer simulator (serial link over a pseudo-terminal, UDP on 127.0.0.1, and
# a virtual USB printer and parallel port LPT1 through umockdev) and then the application under
# the umockdev preload.
# Without one: the simulator and a short session with the `plenar` command (link test, a setting,
# a font download, a logo download, a read-back), each step with its outcome. It exits non-zero
# when the simulator does not start or any step fails.
set -uo pipefail
bin=$(cd "$1" && pwd)
use_sim=$2
work=$(mktemp -d /tmp/plenar-run.XXXXXX)
sim_pid=""
udp=127.0.0.1:5100
usb_id='VID_1234&PID_811E'
usb_env=()  # the umockdev preload and testbed that show the simulator's USB printer

cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_sim() {
  if [ ! -x "$bin/plenar-printer-sim" ]; then
    echo "The printer simulator is not built; continuing without it."
    return 1
  fi
  # The virtual USB printer needs umockdev; without it the simulator serves serial and UDP only.
  local usb=()
  ldconfig -p 2>/dev/null | grep -q libumockdev-preload.so.0 && usb=(--usb --lpt 1)
  TMPDIR="$work" "$bin/plenar-printer-sim" --serial-link "$work/printer-tty" --udp "$udp" \
    "${usb[@]}" --state "$work/printer-state.json" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    if grep -q '^ready' "$work/sim.out" 2>/dev/null; then
      local dir
      dir=$(sed -n 's/^usb UMOCKDEV_DIR=//p' "$work/sim.out")
      [ -n "$dir" ] && usb_env=(env UMOCKDEV_DIR="$dir" LD_PRELOAD=libumockdev-preload.so.0)
      return 0
    fi
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "The printer simulator did not start:"
  cat "$work/sim.err"
  kill "$sim_pid" 2>/dev/null
  sim_pid=""
  return 1
}

stop_sim() {
  [ -n "$sim_pid" ] || return 0
  kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  sim_pid=""
  echo "Printer simulator stopped."
}

# ---- with a display: the application ----
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  if [ "$use_sim" = 1 ] && start_sim; then
    echo "Printer simulator running. In the connection window choose:"
    echo "  serial port:  type $work/printer-tty into the port box (device rate 9600)"
    echo "  network:      address 127.0.0.1, port ${udp##*:}"
    [ ${#usb_env[@]} -gt 0 ] && echo "  USB:          $usb_id in the USB list"
    [ ${#usb_env[@]} -gt 0 ] && echo "  parallel:     LPT1 in the parallel port list"
    echo "The simulator stops when the application is closed."
  fi
  # Under the preload the application sees the simulator's USB printer (and only virtual
  # devices in /sys: the serial list falls back to /dev/ttyS*, type the pseudo-terminal's path).
  "${usb_env[@]}" "$bin/plenar-setting-tool"
  exit $?
fi

# ---- without a display: a headless session ----
echo "No display: running the main job headless with the plenar command."
if [ "$use_sim" != 1 ]; then
  echo "Without the simulator and a printer, plenar lists what it would reach:"
  rc=0
  for words in "--version" "list-ports" "list-usb" "list-lpt"; do
    echo "\$ plenar $words"
    # shellcheck disable=SC2086 # one or two words, split on purpose
    "$bin/plenar" --dir "$work" $words || rc=$?
  done
  echo "-> exit code $rc"
  exit "$rc"
fi
# The simulator was asked for: a session without it would show nothing of the main job.
start_sim || exit 1
echo "Printer simulator: serial $work/printer-tty, UDP $udp"
cp "$bin"/*.lng "$work"/ 2>/dev/null

help=$("$bin/plenar" --help 2>&1)
failures=0
# Every command of the session is one plenar lists; one it does not is a failed step, not a skip.
has() {
  grep -q "^  $1\( \|$\)" <<<"$help" && return 0
  echo "plenar --help lists no command '$1'"
  failures=$((failures + 1))
  return 1
}
step() {
  echo
  echo "\$ plenar $*"
  "${usb_env[@]}" "$bin/plenar" --dir "$work" --lang en "$@"
  local rc=$?
  if [ "$rc" = 0 ]; then echo "-> OK"; else echo "-> failed (exit code $rc)"; failures=$((failures + 1)); fi
  return "$rc"
}
serial=(--serial "$work/printer-tty")

if has test; then
  step "${serial[@]}" test
  step --net "$udp" test
fi

has set-codepage && step "${serial[@]}" set-codepage 4

if [ ${#usb_env[@]} -gt 0 ] && has list-usb; then
  step list-usb
  step --usb "$usb_id" test
  has set-codepage && step --usb "$usb_id" set-codepage 4
fi

if [ ${#usb_env[@]} -gt 0 ] && has list-lpt; then
  step list-lpt
  step --lpt 1 test
  has paper-type && step --lpt 1 paper-type receipt
fi

if has font && has read-back; then
  head -c 600 /dev/urandom >"$work/font.bin"
  step "${serial[@]}" font "$work/font.bin" --address 100000
  if step "${serial[@]}" read-back --address 100000 --length 600 "$work/readback.bin"; then
    if cmp -s -n 600 "$work/font.bin" "$work/readback.bin"; then
      echo "   the 600 bytes read back match the font file"
    else
      echo "   the bytes read back differ from the font file"
      failures=$((failures + 1))
    fi
  fi
fi

if has logo-download; then
  # A 64 x 32 one-bit logo: a black frame with a bar.
  if command -v convert >/dev/null; then
    convert -size 64x32 xc:white -fill none -stroke black -draw "rectangle 1,1 62,30" \
      -fill black -draw "rectangle 8,12 55,19" -monochrome BMP3:"$work/logo.bmp" 2>/dev/null
  fi
  if [ -s "$work/logo.bmp" ]; then
    step "${serial[@]}" logo-download "$work/logo.bmp"
    has logo-print && step "${serial[@]}" logo-print 1
  else
    echo "No BMP tool (ImageMagick) to draw a logo; logo download skipped."
  fi
fi

stop_sim
echo
if [ "$failures" = 0 ]; then
  echo "Headless session finished: every step succeeded."
else
  echo "Headless session finished: $failures step(s) failed."
  exit 1
fi
