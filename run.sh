#!/usr/bin/env bash
# Installs what is missing, builds, and starts the studio host with the OROVISTA plug-in.
# Without a display it runs the headless generator instead.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
orovista_install_missing
orovista_build

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/studio "$@"
fi

echo "No display found: running the headless generator instead of the studio window."
if [ -x build/bin/orovista ]; then
  exec build/bin/orovista generate --preset "build/plugins/orovistaData/presets/alpine ridges.opf" --out out "$@"
fi
echo "The headless generator is not built yet; it would run:"
echo "  build/bin/orovista generate --preset <preset.opf> --out out"
