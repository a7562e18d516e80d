#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang 14 (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer;
# warnings are errors) into build-fuzz and runs each for SECONDS (default 60), one after the
# other, from its seed corpus. New inputs go to build-fuzz/corpus/<target>; a crash or failed
# check stops the script and leaves its input in build-fuzz/findings/<target>. With
# --build-only it builds them and stops, as the test script does.
#   scripts/fuzz.sh [SECONDS | --build-only]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh

dir=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVESK_FUZZ=ON \
  -DTALVESK_WERROR=ON -DTALVESK_TESTS=OFF -DTALVESK_BENCH=OFF >/dev/null
targets=(extraction preview folder_name file_name item_data)
cmake --build "$dir" --target "${targets[@]/#/fuzz_}"
[ "$seconds" != --build-only ] || exit 0

# Readable stack traces in a finding's report.
scripts/install-deps.sh llvm-14
export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
  corpus="$dir/corpus/$target"
  findings="$dir/findings/$target"
  mkdir -p "$corpus" "$findings"
  echo "== fuzz_$target for ${seconds}s"
  # The seeds are read; new inputs are written to the build folder's corpus only.
  log="$dir/findings/$target.log"
  rc=0
  "$dir/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || rc=$?
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec|==[0-9]+==ERROR|fuzz check failed|  about|SUMMARY)' "$log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 40 "$log" >&2
    echo "fuzz_$target found a fault: its input is in $findings" >&2
    exit 1
  fi
done
echo "Fuzzing found nothing."
