#!/usr/bin/env bash
# Installs what the benchmark program needs besides the plug-in's own build: Google Benchmark,
# FFTW, and the anchors it is compared with (Dragonfly Plate Reverb loaded as a VST 2 plug-in,
# zita-convolver linked into the benchmark, LSP's plug-ins for reference runs by hand).
# Run as root; as a user it prints the apt-get line instead. Usage: tools/bench-setup.sh
set -euo pipefail

packages=(build-essential cmake pkg-config libbenchmark-dev libfftw3-dev
          libzita-convolver-dev dragonfly-reverb-vst lsp-plugins-vst)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${missing[@]}"
else
  echo "Missing Debian packages. Run as root:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
