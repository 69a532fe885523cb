#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (as root), or prints the exact
# apt-get line to run (otherwise). Usage: tools/deps.sh [build|test|bench]
set -euo pipefail

packages=(build-essential cmake pkg-config libcairo2-dev libpng-dev zlib1g-dev libx11-dev
          libxext-dev libxtst-dev libfontconfig-dev fonts-liberation libsndfile1-dev lv2-dev)
# The LV2 tests: lilv for our own test programs, the validator, and the real hosts.
lv2hosts=(liblilv-dev sordi lilv-utils lv2proc jalv jackd2 ardour)
case "${1:-build}" in
  test) packages+=(libgtest-dev xvfb xauth xdotool "${lv2hosts[@]}") ;;
  test32)
    packages+=(libgtest-dev xvfb xauth xdotool g++-multilib sordi)
    for p in libcairo2-dev libpng-dev zlib1g-dev libx11-dev libxext-dev libxtst-dev libfontconfig-dev \
             libsndfile1-dev libgtest-dev liblilv-dev; do
      packages+=("$p:i386")
    done ;;
  bench) packages+=(libbenchmark-dev libfftw3-dev) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  if [ "${1:-}" = test32 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update
  apt-get install -y "${missing[@]}"
else
  echo "Missing Debian packages. Run as root:" >&2
  [ "${1:-}" = test32 ] && echo "  dpkg --add-architecture i386" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
