#!/usr/bin/env bash
# Builds Lustrana and runs the main job. Usage: tools/demo.sh [OUTDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DLUSTRANA_TESTS=OFF > /dev/null
cmake --build build -j"$(nproc)"
build/tools/lustrana-render --demo "${1:-out/demo}"
