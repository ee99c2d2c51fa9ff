#!/usr/bin/env bash
# Builds the preset-reader fuzzer with clang (libFuzzer + AddressSanitizer) and runs it.
#   fuzz/run.sh [SECONDS]     (default 60)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$top/build-fuzz"
mkdir -p "$out/corpus"
cp -n "$top"/data/presets/*.opf "$out/corpus/" 2>/dev/null || true
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$top" $(pkg-config --cflags Qt6Core Qt6Gui) -fPIC \
  "$top/fuzz/preset_fuzzer.cpp" "$top/presets/presetfile.cpp" \
  $(pkg-config --libs Qt6Core Qt6Gui) -o "$out/preset_fuzzer"
cd "$out"
./preset_fuzzer -max_total_time="${1:-60}" -max_len=65536 "$out/corpus"
