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
  libtinygltf-dev libhwy-dev libgdal-dev libturbojpeg0-dev
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

# The Khronos glTF validator (npm package, version pinned in tools/gltf/package-lock.json) for
# the tests of the glTF writer. Node.js comes from Debian only when there is no node at all: a
# node installed another way (for example from NodeSource) brings its own npm, and Debian's npm
# package would conflict with it. Without network the validator test is skipped, not failed.
orovista_install_gltf_validator() {
  local tools
  tools="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tools/gltf"
  if ! command -v node >/dev/null 2>&1; then
    echo "Installing: nodejs npm"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends nodejs npm
  fi
  if ! command -v npm >/dev/null 2>&1; then
    echo "warning: node is installed without npm; the glTF validator test will be skipped" >&2
    return 0
  fi
  # Up to date when the installed validator is the version the lock file pins.
  if (cd "$tools" && node -e '
      const fs = require("fs");
      const want = JSON.parse(fs.readFileSync("package-lock.json")).packages["node_modules/gltf-validator"].version;
      const have = JSON.parse(fs.readFileSync("node_modules/gltf-validator/package.json")).version;
      process.exit(want === have ? 0 : 1);' 2>/dev/null); then
    return 0
  fi
  echo "Installing the glTF validator into tools/gltf/node_modules"
  if ! (cd "$tools" && npm ci --no-audit --no-fund --loglevel=error); then
    echo "warning: could not install the glTF validator; its test will be skipped" >&2
  fi
}

orovista_build() {
  local top
  top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
  cmake --build "$top/build" --parallel "$(nproc)"
}
