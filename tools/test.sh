#!/usr/bin/env bash
# Builds Lustrana and runs every test.
# Usage: tools/test.sh [BUILD_DIR [SANITIZE [LABEL]]]
#   SANITIZE: empty, "address,undefined" or "thread"; LABEL: run only tests with this label.
#   ARCH=i386 in the environment builds the 32-bit plug-in and its tests (BUILD_DIR defaults
#   to build32) and compares its output with the 64-bit build in build/ when that exists.
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${ARCH:-}"
if [ "$arch" = i386 ]; then
  bash tools/deps.sh test32
  dir="${1:-build32}"
else
  bash tools/deps.sh test
  dir="${1:-build}"
fi
sanitize="${2:-}"
label="${3:-}"

config=(-DCMAKE_BUILD_TYPE=Release -DLUSTRANA_SANITIZE="$sanitize" -DLUSTRANA_TEST_LABEL="$label")
if [ "$arch" = i386 ]; then
  config+=(-DCMAKE_TOOLCHAIN_FILE=cmake/i386.cmake)
  [ -x build/tools/lustrana-fingerprint ] && config+=(-DLUSTRANA_REFERENCE_BUILD="$PWD/build")
fi
cmake -S . -B "$dir" "${config[@]}" > /dev/null
cmake --build "$dir" -j"$(nproc)"

args=(--output-on-failure -j2)
[ -n "$label" ] && args+=(-L "$label")
ctest --test-dir "$dir" "${args[@]}"
