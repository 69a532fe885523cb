#!/usr/bin/env bash
# Builds Lustrana and runs every test. Usage: tools/test.sh [BUILD_DIR [SANITIZE [LABEL]]]
#   SANITIZE: empty, "address,undefined" or "thread"; LABEL: run only tests with this label.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh test

dir="${1:-build}"
sanitize="${2:-}"
label="${3:-}"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLUSTRANA_SANITIZE="$sanitize" > /dev/null
cmake --build "$dir" -j"$(nproc)"

args=(--output-on-failure -j2)
[ -n "$label" ] && args+=(-L "$label")
ctest --test-dir "$dir" "${args[@]}"
