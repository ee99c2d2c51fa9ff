#!/usr/bin/env bash
# Builds every program and test with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs the whole test suite there (the drawing tests on a virtual X display).
# Slow (several times the plain build and run), so kept out of ./test.sh: run it before a
# change to readers, writers or the noise modules lands.
#   scripts/sanitize.sh [CTEST ARGS...]     e.g. scripts/sanitize.sh -R Heightmap
# Any report of either sanitizer stops the test that made it, which then fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
orovista_install_missing
top="$(pwd)"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOROVISTA_BENCHMARKS=OFF \
  "${launcher[@]}" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$top/build-asan" --parallel "$(nproc)"
# Leaks are not checked: the GL driver and the toolkit keep allocations for the process's life.
# The plug-in is a shared library the studio loads with dlopen; its ASan runtime comes with the
# executables, which are linked with it.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=0:halt_on_error=1:detect_odr_violation=0:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
cd "$top/build-asan"
xvfb-run -a -s "-screen 0 1920x1200x24" ctest --output-on-failure --timeout 1800 -j "$(nproc)" "$@"
