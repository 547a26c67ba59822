#!/usr/bin/env bash
# Starts what the build produced: see run.sh. Arguments: the bin folder, 1 to start the simulator.
set -uo pipefail
bin=$1
use_sim=$2
work=$(mktemp -d /tmp/plenar-run.XXXXXX)
sim_pid=""

cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

start_sim() {
  if [ ! -x "$bin/plenar-printer-sim" ]; then
    echo "The printer simulator is not built yet; continuing without it."
    return 1
  fi
  "$bin/plenar-printer-sim" --serial-link "$work/printer-tty" --udp 127.0.0.1:5100 \
    --state "$work/printer-state.json" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 50); do
    grep -q '^ready' "$work/sim.out" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "The printer simulator did not start:"; cat "$work/sim.err"
  return 1
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  if [ "$use_sim" = 1 ] && start_sim; then
    echo "Printer simulator running: serial port $work/printer-tty (device rate 9600),"
    echo "network 127.0.0.1 port 5100. Type that port name or address in the connection window."
  fi
  "$bin/plenar-setting-tool"
  exit $?
fi

echo "No display: running the main job headless with the plenar command."
if [ "$use_sim" = 1 ] && start_sim; then
  echo "Printer simulator: serial $work/printer-tty, UDP 127.0.0.1:5100"
  cp "$bin"/*.lng "$work"/ 2>/dev/null
  step() {
    echo
    echo "\$ plenar $*"
    "$bin/plenar" --dir "$work" --lang en "$@"
    echo "-> exit code $?"
  }
  if "$bin/plenar" --help | grep -q '^  test '; then
    step --serial "$work/printer-tty" test
    step --net 127.0.0.1:5100 test
  else
    echo "The link test (plenar test) is not built yet."
  fi
  "$bin/plenar" --help | grep -q '^  set-codepage' && step --serial "$work/printer-tty" set-codepage 0
  if "$bin/plenar" --help | grep -q '^  font '; then
    head -c 600 /dev/urandom >"$work/font.bin"
    step --serial "$work/printer-tty" font "$work/font.bin" --address 100000
    step --serial "$work/printer-tty" read-back --address 100000 --length 600 "$work/readback.bin"
    cmp -n 600 "$work/font.bin" "$work/readback.bin" && echo "read-back matches the font file"
  fi
else
  echo "Without the simulator only the engine runs:"
  echo "\$ plenar run-code 0"
  "$bin/plenar" --dir "$work" run-code 0
  echo "-> exit code $? (the worker ran an empty command and wrote $work/debug.log)"
fi
