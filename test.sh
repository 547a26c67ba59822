#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the whole suite with CTest. Exits non-zero on any
# failure. With CI=true (or --sanitizers) it also runs the suite under AddressSanitizer +
# UndefinedBehaviorSanitizer, the core tests under ThreadSanitizer, a 20-site Ansible fleet and
# the fuzzers.
set -euo pipefail
cd "$(dirname "$0")"

sanitizers=0
[ "${CI:-}" = "true" ] && sanitizers=1
[ "${1:-}" = "--sanitizers" ] && sanitizers=1

./scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

build_and_test() {
  local dir=$1 label=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null || return 1
  cmake --build "$dir" -j "$jobs" || return 1
  # --no-tests=error: a build that registered no test is a failure, not a pass.
  if [ -n "$label" ]; then
    ctest --test-dir "$dir" -j "$jobs" --timeout 300 --no-tests=error -L "$label" || return 1
  else
    ctest --test-dir "$dir" -j "$jobs" --timeout 300 --no-tests=error || return 1
  fi
}

status=0
if [ "$sanitizers" = 1 ]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build_and_test build/asan "" -DCMAKE_BUILD_TYPE=Debug -DPLENAR_SANITIZE=address \
    -DPLENAR_BUILD_BENCH=OFF || status=1
  echo "== ThreadSanitizer (core) =="
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    build_and_test build/tsan core -DCMAKE_BUILD_TYPE=Debug -DPLENAR_SANITIZE=thread \
    -DPLENAR_BUILD_GUI=OFF -DPLENAR_BUILD_BENCH=OFF || status=1
fi

echo "== Test suite =="
build_and_test build/test "" -DCMAKE_BUILD_TYPE=RelWithDebInfo || status=1

# CI also builds the Ansible collection's tarball, installs it into an empty collections path
# and brings a fleet of 20 simulated sites to one profile with it and real ansible-playbook (and
# 20 more over an sshd of its own), with the suite's programs.
if [ "$sanitizers" = 1 ]; then
  echo "== Fleet: 20 sites with ansible-playbook, from the collection's tarball =="
  ./scripts/fleet.sh 20 --bin build/test/bin --ssh-sites 20 --work "$PWD/build/fleet-ci" \
    --from-tarball || status=1
fi

# CI also fuzzes every parser for 20 s each (libFuzzer needs clang; skipped without it).
if [ "$sanitizers" = 1 ]; then
  if command -v clang++ >/dev/null; then
    echo "== Fuzzing (20 s per target) =="
    ./scripts/fuzz.sh 20 || status=1
  else
    echo "== Fuzzing skipped: clang++ is not installed =="
  fi
fi
exit $status
