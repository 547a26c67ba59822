#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang (ASan + UBSan, every library instrumented) and runs
# each for SECONDS (default 60), starting from the committed seeds in fuzz/corpus/<target>/.
# New inputs collect in build/fuzz/corpus/<target>/ (PLENAR_FUZZ_BUILD names another build
# folder); a crash, an input slower than a second or one that takes more memory than the limit
# leaves its input in build/fuzz/artifacts/ and the script fails. Copy such an input to
# fuzz/regressions/<target>/ once it is mended: the replay tests then run it in every build.
# After each run the corpus is replayed once and any input that took more than 100 ms is named.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   scripts/fuzz.sh --help
#
# Targets: reply_assembler ini_roundtrip language_file logo_bmp custom_data_hex frame_scanner
# cli_args profile apply_record password_file set_override batch_state
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/usage.sh

all_targets=(reply_assembler ini_roundtrip language_file logo_bmp custom_data_hex frame_scanner
  cli_args profile apply_record password_file set_override batch_state)
case ${1:-} in
  -h | --help) usage; exit 0 ;;
  -*) refuse_option "$1" ;;
esac
seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "fuzz.sh: SECONDS is a whole number, not '$seconds'" >&2; exit 64; }
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "fuzz.sh: no target '$t' (--help lists them)" >&2; exit 64; }
done

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

build=${PLENAR_FUZZ_BUILD:-build/fuzz}
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DPLENAR_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLENAR_SANITIZE=address -DPLENAR_FUZZ=ON \
  -DPLENAR_BUILD_GUI=OFF -DPLENAR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_all

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/artifacts"

# The largest input each target reads per run. A run learns from inputs of the size a user
# gives, not from mutations that only repeat a line or a pixel row. A language file runs through
# the same code section by section: its seeds are its sections, cut at half a kilobyte (each
# with its section line), since every line of a run is a few allocations and a map entry.
max_len() {
  case $1 in
    password_file) echo 320 ;;
    language_file) echo 512 ;;
    cli_args | custom_data_hex | ini_roundtrip | set_override) echo 1024 ;;
    *) echo 4096 ;;
  esac
}

status=0
summary=()
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  log="$build/fuzz_$t.log"
  echo "== fuzz_$t: ${seconds}s"
  # No input may take a second (libFuzzer's smallest timeout) or a single allocation of 64 MB.
  if ! "$build/bin/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -max_len="$(max_len "$t")" \
    -rss_limit_mb=2048 -malloc_limit_mb=64 -timeout=1 -artifact_prefix="$build/artifacts/$t-" \
    "$corpus" "fuzz/corpus/$t" >"$log" 2>&1; then
    echo "fuzz_$t FOUND A FAILURE (log: $log, input: $build/artifacts/$t-*)" >&2
    tail -n 40 "$log" >&2
    # A timeout is wall time: on a loaded machine, replay the input alone to see if it is slow.
    for input in "$build/artifacts/$t"-timeout-*; do
      [ -f "$input" ] || continue
      "$build/bin/fuzz_$t" -runs=1 "$input" 2>&1 | grep -E "^Executed" | sed "s/^/  replayed alone: /" >&2
    done
    status=1
  fi
  # The run's totals: executions, coverage and corpus size.
  grep -E "stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb" "$log" |
    sed "s/^/  /" || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(grep -oE "cov: [0-9]+" "$log" | tail -n 1 | cut -d' ' -f2 || true)
  summary+=("$(printf '%-16s %12s executions  cov %s' "$t" "${runs:-?}" "${cov:-?}")")
  echo "  corpus: $(find "$corpus" -type f | wc -l) inputs"
  # Every input of the corpus once, timed: 100 ms is the most one may take.
  slow=$(find "$corpus" "fuzz/corpus/$t" -type f -print0 |
    xargs -0 -r "$build/bin/fuzz_$t" -runs=1 2>&1 |
    awk '/^Executed .* in [0-9]+ ms$/ && $(NF-1) > 100 { print "  slow: " $2 " " $(NF-1) " ms" }')
  if [ -n "$slow" ]; then
    echo "$slow"
    status=1
  fi
done
echo "== fuzz summary (${seconds}s per target)"
printf '  %s\n' "${summary[@]}"
exit $status
