#!/usr/bin/env bash
# Builds the reader fuzzers with clang (libFuzzer + AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs them one after the other on their corpora in build-fuzz/.
#   fuzz/run.sh [-runs=N] [SECONDS] [NAME...]
#     SECONDS  time limit of each fuzzer (default 60; with -runs=N and no SECONDS, no time limit)
#     -runs=N  stop each fuzzer after N executions
#     NAME     preset, obj, pp2, heightmap, gdal, exr (default: all six)
# The readers resample on threads, which libFuzzer's comparison tracing slows several times over:
# run a fuzzer on one core (taskset -c 0 fuzz/run.sh ...), and two of them side by side on two.
# Corpora: build-fuzz/corpus (presets, seeded from data/presets), build-fuzz/corpus-obj (every
# .obj under data/content/Runtime/Geometries), build-fuzz/corpus-pp2 (every .pp2 under
# data/content/Runtime/Libraries), build-fuzz/corpus-heightmap (the PNG/RAW heightmap reader:
# small 16-bit PNGs and RAWs made here, and every .png under data/), build-fuzz/corpus-gdal (the
# elevation models read through GDAL, written here by GDAL's own drivers, see fuzz/seeds.cpp)
# and build-fuzz/corpus-exr (OpenEXR heightmaps of every compression, also from fuzz/seeds.cpp).
# Crash inputs are left in build-fuzz/ as crash-*. The readers' warnings on the standard output
# are dropped (-close_fd_mask=1); libFuzzer reports on stderr.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$top/build-fuzz"

runs="" seconds="" names=()
for arg in "$@"; do
  case "$arg" in
    -runs=*) runs="${arg#-runs=}" ;;
    preset|obj|pp2|heightmap|gdal|exr) names+=("$arg") ;;
    *[!0-9]*|"") echo "usage: fuzz/run.sh [-runs=N] [SECONDS] [preset|obj|pp2|heightmap|gdal|exr ...]" >&2; exit 2 ;;
    *) seconds="$arg" ;;
  esac
done
[ ${#names[@]} -gt 0 ] || names=(preset obj pp2 heightmap gdal exr)
[ -n "$seconds" ] || [ -n "$runs" ] || seconds=60

limits=()
[ -z "$seconds" ] || limits+=("-max_total_time=$seconds")
[ -z "$runs" ] || limits+=("-runs=$runs")

mkdir -p "$out/corpus" "$out/corpus-obj" "$out/corpus-pp2" "$out/corpus-heightmap" "$out/corpus-gdal" "$out/corpus-exr"
cp -n "$top"/data/presets/*.opf "$out/corpus/" 2>/dev/null || true
# Sample models and props may be added at any time: glob them afresh on every run. Names are
# flattened (trees/oak.obj becomes trees_oak.obj) so that equal names in two folders both stay.
seed() {   # seed FOLDER PATTERN CORPUS
  (cd "$1" && find . -type f -iname "$2" -print0) | while IFS= read -r -d '' f; do
    f="${f#./}"
    cp -n "$1/$f" "$3/seed_${f//\//_}"
  done
}
seed "$top/data/content/Runtime/Geometries" '*.obj' "$out/corpus-obj"
seed "$top/data/content/Runtime/Libraries" '*.pp2' "$out/corpus-pp2"
seed "$top/data/resources" '*.png' "$out/corpus-heightmap"
# Heightmaps as the exporter writes them: 16-bit grey PNGs and little-endian RAWs, square and not.
python3 - "$out/corpus-heightmap" <<'PY'
import struct, sys, zlib
def png(w, h, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff)
    raw = b"".join(b"\0" + b"".join(struct.pack(">H", v) for v in row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 16, 0, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
for w, h in ((2, 2), (8, 8), (16, 9)):
    rows = [[(x * 4099 + y * 997) % 65536 for x in range(w)] for y in range(h)]
    open(f"{sys.argv[1]}/made_{w}x{h}.png", "wb").write(png(w, h, rows))
    open(f"{sys.argv[1]}/made_{w}x{h}.r16", "wb").write(b"".join(struct.pack("<H", v) for row in rows for v in row)
                                                     + (bytes([w]) if w != h else b""))
PY

qtflags=$(pkg-config --cflags Qt6Core Qt6Gui)
qtlibs=$(pkg-config --libs Qt6Core Qt6Gui)
pnglibs=$(pkg-config --cflags --libs libpng)
# The GDAL and EXR readers as the import calls them, with what they need of the rest.
importsources=("$top/terrain/heightmapimport.cpp" "$top/terrain/heightmapraster.cpp" "$top/noise/outputfiles.cpp")
importlibs="$(gdal-config --cflags) $(gdal-config --libs) $(pkg-config --cflags --libs OpenEXR) $pnglibs -ljpeg"
extralibs=""
build() {   # build NAME SOURCES... (with $extralibs)
  local name="$1"; shift
  clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$top" $qtflags -fPIC "$@" $qtlibs $extralibs -o "$out/${name}_fuzzer"
}
case " ${names[*]} " in
  *" gdal "*|*" exr "*)
    clang++ -std=c++17 -O1 "$top/fuzz/seeds.cpp" $(gdal-config --cflags) $(pkg-config --cflags OpenEXR) \
      $(gdal-config --libs) $(pkg-config --libs OpenEXR) -o "$out/seeds"
    "$out/seeds" "$out/corpus-gdal" "$out/corpus-exr" ;;
esac

cd "$out"
for name in "${names[@]}"; do
  case "$name" in
    preset) build preset "$top/fuzz/preset_fuzzer.cpp" "$top/presets/presetfile.cpp" "$top/noise/outputfiles.cpp"; corpus="$out/corpus" ;;
    obj) build obj "$top/fuzz/obj_fuzzer.cpp" "$top/library/glm.cpp"; corpus="$out/corpus-obj" ;;
    pp2) build pp2 "$top/fuzz/pp2_fuzzer.cpp" "$top/library/propfile.cpp"; corpus="$out/corpus-pp2" ;;
    heightmap) extralibs="$pnglibs" build heightmap "$top/fuzz/heightmap_fuzzer.cpp" "$top/terrain/heightmapraster.cpp"; corpus="$out/corpus-heightmap" ;;
    gdal) extralibs="$importlibs" build gdal "$top/fuzz/gdal_fuzzer.cpp" "${importsources[@]}"; corpus="$out/corpus-gdal" ;;
    exr) extralibs="$importlibs" build exr "$top/fuzz/exr_fuzzer.cpp" "${importsources[@]}"; corpus="$out/corpus-exr" ;;
  esac
  # Qt is not instrumented: the allocation stacks AddressSanitizer keeps run through it without
  # frame pointers, are different at almost every call and fill its stack store, which then grows
  # by hundreds of MB and slows every run. The prop reader calls Qt for nearly everything, and
  # GDAL and OpenEXR are not instrumented either, so these fuzzers keep no allocation stacks (set
  # ASAN_OPTIONS to have them back when replaying a crash).
  asan="${ASAN_OPTIONS:-}"
  case "$name" in pp2|gdal|exr) [ -n "$asan" ] || asan=malloc_context_size=0 ;; esac
  echo "== ${name}_fuzzer ${limits[*]}"
  ASAN_OPTIONS="$asan" "./${name}_fuzzer" "${limits[@]}" -max_len=65536 -close_fd_mask=1 -print_final_stats=1 "$corpus"
done
