#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (the drawing ones on a virtual X display).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
orovista_install_missing
orovista_install_gltf_validator
orovista_build
cd build
xvfb-run -a -s "-screen 0 1920x1200x24" ctest --output-on-failure --timeout 600 -j "$(nproc)" "$@"
