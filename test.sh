#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the whole suite with CTest. Exits non-zero on any
# failure. The suite builds in Release with warnings as errors, in build/release, the tree run.sh
# starts the programs from (running both compiles once).
# With CI=true (or --sanitizers) it also runs the suite under AddressSanitizer +
# UndefinedBehaviorSanitizer and the core tests under ThreadSanitizer; and with CI=true the
# README's main job (./run.sh --headless), the Debian package build with warnings as errors and
# lintian, a 20-site Ansible fleet and the fuzzers. Each stage prints its time.
#
#   ./test.sh [--sanitizers]
set -euo pipefail
cd "$(dirname "$0")"
. scripts/lib/usage.sh

sanitizers=0
ci=0
[ "${CI:-}" = "true" ] && { sanitizers=1; ci=1; }
for arg in "$@"; do
  case "$arg" in
    -h | --help) usage; exit 0 ;;
    --sanitizers) sanitizers=1 ;;
    *) refuse_option "$arg" ;;
  esac
done

./scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

build_and_test() {
  local dir=$1 label=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja -DPLENAR_WERROR=ON "$@" >/dev/null || return 1
  cmake --build "$dir" -j "$jobs" || return 1
  # --no-tests=error: a build that registered no test is a failure, not a pass.
  if [ -n "$label" ]; then
    ctest --test-dir "$dir" -j "$jobs" --timeout 300 --no-tests=error -L "$label" || return 1
  else
    ctest --test-dir "$dir" -j "$jobs" --timeout 300 --no-tests=error || return 1
  fi
}

status=0
stages=()
# stage NAME COMMAND...: runs it, records its time and outcome; a failure fails the run.
stage() {
  local name=$1 started rc=0
  shift
  echo "== $name =="
  started=$(date +%s)
  "$@" || rc=$?
  local line
  line=$(printf '%-52s %5ss  %s' "$name" "$(($(date +%s) - started))" \
    "$([ "$rc" = 0 ] && echo ok || echo "FAILED ($rc)")")
  stages+=("$line")
  [ "$rc" = 0 ] || status=1
}

if [ "$sanitizers" = 1 ]; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    stage "AddressSanitizer + UndefinedBehaviorSanitizer" \
    build_and_test build/asan "" -DCMAKE_BUILD_TYPE=Debug -DPLENAR_SANITIZE=address \
    -DPLENAR_BUILD_BENCH=OFF
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    stage "ThreadSanitizer (core)" \
    build_and_test build/tsan core -DCMAKE_BUILD_TYPE=Debug -DPLENAR_SANITIZE=thread \
    -DPLENAR_BUILD_GUI=OFF -DPLENAR_BUILD_BENCH=OFF
fi

stage "Test suite (Release, warnings as errors)" \
  build_and_test build/release "" -DCMAKE_BUILD_TYPE=Release -DPLENAR_BUILD_TESTS=ON \
  -DPLENAR_BUILD_BENCH=ON

if [ "$ci" = 1 ]; then
  # The README's first command, as a user without a display runs it, on the tree just built.
  stage "Main job: ./run.sh --headless" ./run.sh --headless
  # The packages as a distribution builds them (dpkg-buildpackage), with warnings as errors in
  # CI only, and lintian.
  stage "Debian packages (dpkg-buildpackage, lintian)" \
    env PLENAR_WERROR=ON scripts/package.sh --out build/pkg-out
  # The Ansible collection's tarball, installed into an empty collections path, brings a fleet
  # of 20 simulated sites to one profile with real ansible-playbook (and 20 more over an sshd
  # of its own), with the suite's programs.
  stage "Fleet: 20 sites with ansible-playbook, from the tarball" \
    ./scripts/fleet.sh 20 --bin build/release/bin --ssh-sites 20 --work "$PWD/build/fleet-ci" \
    --from-tarball
fi

# CI also fuzzes every parser for 20 s each (libFuzzer needs clang; skipped without it).
if [ "$sanitizers" = 1 ]; then
  if command -v clang++ >/dev/null; then
    stage "Fuzzing (20 s per target)" ./scripts/fuzz.sh 20
  else
    echo "== Fuzzing skipped: clang++ is not installed =="
  fi
fi

echo "== Stages =="
printf '  %s\n' "${stages[@]}"
exit $status
