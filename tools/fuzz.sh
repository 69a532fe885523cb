#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# and runs each for SECONDS (default 60) from a copy of the committed seed corpus.
# Usage: tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Release -DLUSTRANA_FUZZ=ON \
  -DLUSTRANA_SANITIZE=address,undefined -DLUSTRANA_TESTS=OFF > /dev/null
cmake --build build-fuzz -j"$(nproc)" --target dispatcher_fuzz process_fuzz
for target in dispatcher process; do
  corpus="build-fuzz/corpus-$target"
  rm -rf "$corpus" && mkdir -p "$corpus" && cp tests/fuzz/corpus/$target/* "$corpus"/
  echo "== fuzzing $target for $seconds s"
  log="build-fuzz/fuzz-$target.log"
  set +e
  "build-fuzz/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/ "$corpus" > "$log" 2>&1
  rc=$?
  set -e
  grep -E 'stat::number_of_executed_units|^Done' "$log" || true
  if [ $rc -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "fuzzing $target found a failing input (see build-fuzz/crash-*)" >&2
    exit 1
  fi
done
