#!/usr/bin/env bash
# Builds the reader fuzzers with clang (libFuzzer + AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs them one after the other on their corpora in build-fuzz/.
#   fuzz/run.sh [-runs=N] [SECONDS] [NAME...]
#     SECONDS  time limit of each fuzzer (default 60; with -runs=N and no SECONDS, no time limit)
#     -runs=N  stop each fuzzer after N executions
#     NAME     preset, obj, pp2, heightmap, gdal, exr, gltf, work (default: all eight)
# The readers resample on threads, which libFuzzer's comparison tracing slows several times over:
# run a fuzzer on one core (taskset -c 0 fuzz/run.sh ...), and two of them side by side on two.
# Corpora: build-fuzz/corpus (presets, seeded from data/presets), build-fuzz/corpus-obj (every
# .obj under data/content/Runtime/Geometries), build-fuzz/corpus-pp2 (every .pp2 under
# data/content/Runtime/Libraries), build-fuzz/corpus-heightmap (the PNG/RAW heightmap reader:
# small 16-bit PNGs and RAWs made here, and every .png under data/), build-fuzz/corpus-gdal (the
# elevation models read through GDAL, written here by GDAL's own drivers, see fuzz/seeds.cpp)
# build-fuzz/corpus-exr (OpenEXR heightmaps of every compression, also from fuzz/seeds.cpp),
# build-fuzz/corpus-gltf (the studio's glTF scene reader: a .gltf and a .glb that the studio's own
# writer makes on the fuzzer's first run, see fuzz/gltf_fuzzer.cpp) and build-fuzz/corpus-work
# (work files, made here).
# Crash inputs are left in build-fuzz/ as crash-*. The readers' warnings on the standard output
# are dropped (-close_fd_mask=1); libFuzzer reports on stderr.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$top/build-fuzz"

runs="" seconds="" names=()
for arg in "$@"; do
  case "$arg" in
    -runs=*) runs="${arg#-runs=}" ;;
    preset|obj|pp2|heightmap|gdal|exr|gltf|work) names+=("$arg") ;;
    *[!0-9]*|"") echo "usage: fuzz/run.sh [-runs=N] [SECONDS] [preset|obj|pp2|heightmap|gdal|exr|gltf|work ...]" >&2; exit 2 ;;
    *) seconds="$arg" ;;
  esac
done
[ ${#names[@]} -gt 0 ] || names=(preset obj pp2 heightmap gdal exr gltf work)
[ -n "$seconds" ] || [ -n "$runs" ] || seconds=60

limits=()
[ -z "$seconds" ] || limits+=("-max_total_time=$seconds")
[ -z "$runs" ] || limits+=("-runs=$runs")

mkdir -p "$out/corpus" "$out/corpus-obj" "$out/corpus-pp2" "$out/corpus-heightmap" "$out/corpus-gdal" "$out/corpus-exr" "$out/corpus-gltf" "$out/corpus-work"
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

# Work files: a small one with a terrain, an item and every part, and a bare one.
python3 - "$out/corpus-work" <<'PY'
import base64, json, struct, sys, zlib
def pack(values):
    raw = b"".join(struct.pack("<f", v) for v in values)
    return base64.b64encode(struct.pack(">I", len(raw)) + zlib.compress(raw)).decode()
for g in (2, 3):
    work = {"format": "orovista-work", "version": 1, "nodes": "I1Type=3\nI1frequency=12\n",
            "terrain": {"size": 100, "grid": g, "vertices": pack([i * 0.5 for i in range(g * g * 3)]),
                        "sizeExponent": 2, "elevation": [-40, 220]},
            "starSeed": 4000000000, "textureLight": [1, 2, 40, 45, 45],
            "items": [{"prop": "Runtime/Libraries/Props/Trees/pine.pp2", "id": 0, "x": 1.5, "y": 2, "z": -3,
                       "rot": [0, 63, 0], "scale": 100, "scales": [100, 110, 100], "tint": [0.6, 0.7, 0.8]}],
            "chosenProp": "Runtime/Libraries/Props/Rocks/boulder.pp2", "sky": {"glSunPitchSlider": 12},
            "camera": [0, 0, 200, 0, 20, 0], "light": [90, 45, 100],
            "create": {"createDAZTerrainNameLineEdit": "valley", "normalMapSizeComboBox": 2}}
    open(f"{sys.argv[1]}/seed_{g}.orovista", "w").write(json.dumps(work, indent=1))
open(f"{sys.argv[1]}/seed_bare.orovista", "w").write('{"format": "orovista-work", "version": 1, "nodes": ""}')
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

# The host's SDK library (dzcore) as the glTF reader needs it, with its meta-object code: its
# sources are built into the fuzzer, instrumented like the reader.
dzcoresources() {
  local mocdir="$out/moc-dzcore" h
  mkdir -p "$mocdir"
  for h in "$top"/host/sdk/*.h "$top"/host/src/*.h; do
    grep -q Q_OBJECT "$h" || continue
    /usr/lib/qt6/libexec/moc -I"$top/host/sdk" "$h" -o "$mocdir/moc_$(basename "${h%.h}").cpp"
    echo "$mocdir/moc_$(basename "${h%.h}").cpp"
  done
  for h in "$top"/host/src/*.cpp; do   # classes declared in a source file include its .moc
    grep -q '\.moc"' "$h" && /usr/lib/qt6/libexec/moc -I"$top/host/sdk" "$h" -o "$mocdir/$(basename "${h%.cpp}").moc"
  done
  ls "$top"/host/src/*.cpp
}

cd "$out"
for name in "${names[@]}"; do
  case "$name" in
    preset) extralibs="-ljpeg" build preset "$top/fuzz/preset_fuzzer.cpp" "$top/presets/presetfile.cpp" "$top/noise/outputfiles.cpp"; corpus="$out/corpus" ;;
    obj) build obj "$top/fuzz/obj_fuzzer.cpp" "$top/library/glm.cpp"; corpus="$out/corpus-obj" ;;
    pp2) build pp2 "$top/fuzz/pp2_fuzzer.cpp" "$top/library/propfile.cpp"; corpus="$out/corpus-pp2" ;;
    work) extralibs="-ljpeg" build work "$top/fuzz/work_fuzzer.cpp" "$top/presets/workfile.cpp" "$top/noise/outputfiles.cpp"; corpus="$out/corpus-work" ;;
    heightmap) extralibs="$pnglibs" build heightmap "$top/fuzz/heightmap_fuzzer.cpp" "$top/terrain/heightmapraster.cpp"; corpus="$out/corpus-heightmap" ;;
    gdal) extralibs="$importlibs" build gdal "$top/fuzz/gdal_fuzzer.cpp" "${importsources[@]}"; corpus="$out/corpus-gdal" ;;
    exr) extralibs="$importlibs" build exr "$top/fuzz/exr_fuzzer.cpp" "${importsources[@]}"; corpus="$out/corpus-exr" ;;
    gltf)
      mapfile -t sdk < <(dzcoresources)
      extralibs="$(pkg-config --cflags --libs Qt6Widgets Qt6Qml Qt6OpenGL Qt6OpenGLWidgets) -lGL -ltinygltf" \
        build gltf -I"$top/host/sdk" -I"$top/host/src" -I"$out/moc-dzcore" -DDZCORE_LIBRARY "$top/fuzz/gltf_fuzzer.cpp" "${sdk[@]}"
      corpus="$out/corpus-gltf"
      # The first run writes the seed scenes (through the studio's writer) into the corpus.
      ls "$corpus"/seed_scene.gl* >/dev/null 2>&1 || GLTF_FUZZER_SEEDS="$corpus" "./gltf_fuzzer" -runs=0 >/dev/null 2>&1 || true ;;
  esac
  # Qt is not instrumented: the allocation stacks AddressSanitizer keeps run through it without
  # frame pointers, are different at almost every call and fill its stack store, which then grows
  # by hundreds of MB and slows every run. The prop reader calls Qt for nearly everything, and
  # GDAL and OpenEXR are not instrumented either, so these fuzzers keep no allocation stacks (set
  # ASAN_OPTIONS to have them back when replaying a crash).
  asan="${ASAN_OPTIONS:-}"
  case "$name" in pp2|gdal|exr|gltf) [ -n "$asan" ] || asan=malloc_context_size=0 ;; esac
  echo "== ${name}_fuzzer ${limits[*]}"
  ASAN_OPTIONS="$asan" "./${name}_fuzzer" "${limits[@]}" -max_len=65536 -close_fd_mask=1 -print_final_stats=1 "$corpus"
done
