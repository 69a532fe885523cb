#!/usr/bin/env bash
# One command from a fresh clone: installs the benchmark's Debian packages (as root), builds
# the plug-in and the benchmark in build-bench/, and prints the side-by-side summary.
# Usage: bash bench/run.sh [plugin_bench options: --rounds=9, --before=OLD.so (an earlier build
#        measured alongside), --soak[=MINUTES] (an hour of audio through one instance instead)]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh build
bash tools/bench-setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DLUSTRANA_BENCH=ON -DLUSTRANA_TESTS=OFF
make -C build-bench -j2 plugin_bench
build-bench/bench/plugin_bench "$@"
