#!/usr/bin/env bash
# Installs the Debian packages OROVISTA needs (only the missing ones), then configures and builds.
# Sourced by ./run.sh and ./test.sh.
set -euo pipefail

OROVISTA_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqt6opengl6-dev qt6-declarative-dev qt6-image-formats-plugins
  libnoise-dev libnoise0
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  libgtest-dev libgmock-dev libbenchmark-dev
  libopenexr-dev libpng-dev
  libtinygltf-dev
  xvfb xauth fonts-dejavu-core
)

orovista_install_missing() {
  local missing=()
  for p in "${OROVISTA_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

orovista_build() {
  local top
  top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
  cmake --build "$top/build" --parallel "$(nproc)"
}
