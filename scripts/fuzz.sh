#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang (ASan + UBSan, every library instrumented) and runs
# each for SECONDS (default 60), starting from the committed seeds in fuzz/corpus/<target>/.
# New inputs collect in build/fuzz/corpus/<target>/; a crash leaves its input in
# build/fuzz/artifacts/ and the script fails. Copy such an input to fuzz/regressions/<target>/
# once it is mended: the replay tests then run it in every build.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(reply_assembler ini_roundtrip language_file logo_bmp
  custom_data_hex frame_scanner cli_args)

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLENAR_SANITIZE=address -DPLENAR_FUZZ=ON \
  -DPLENAR_BUILD_GUI=OFF -DPLENAR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_all

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/artifacts"
status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  log="$build/fuzz_$t.log"
  echo "== fuzz_$t: ${seconds}s"
  if ! "$build/bin/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix="$build/artifacts/$t-" "$corpus" "fuzz/corpus/$t" >"$log" 2>&1; then
    echo "fuzz_$t FOUND A FAILURE (log: $log, input: $build/artifacts/$t-*)" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
  # The run's totals: executions and corpus size.
  grep -E "stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb" "$log" |
    sed "s/^/  /" || true
  echo "  corpus: $(find "$corpus" -type f | wc -l) inputs"
done
exit $status
