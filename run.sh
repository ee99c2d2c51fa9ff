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
preset="${OROVISTA_PRESET:-$(ls build/plugins/orovistaData/presets/*.opf | head -n 1)}"
echo "build/bin/orovista generate --preset \"$preset\" --out out $*"
exec build/bin/orovista generate --preset "$preset" --out out "$@"
