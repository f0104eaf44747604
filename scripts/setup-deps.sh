#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
# Quiet and idempotent: does nothing when everything is there already.
# `setup-deps.sh demo` installs what make demo needs on top (ffmpeg for its video).
set -euo pipefail
# clang with its sanitizer and libFuzzer runtimes and llvm-symbolizer: the sanitizer
# build and the fuzz targets of scripts/sanitizers.sh.
packages=(
  build-essential cmake pkg-config ccache
  libsdl2-dev libepoxy-dev libopenal-dev libstb-dev
  libgl1-mesa-dri libegl-mesa0 libegl1
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  clang libclang-rt-14-dev llvm-14
)
if [ "${1:-}" = demo ]; then
  packages=(ffmpeg)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
