#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test.
# Usage: scripts/test.sh [extra ctest arguments, e.g. -L store]
#        scripts/test.sh --sanitize [extra ctest arguments]
#          builds the store, engine and tools (no Qt, no benchmarks) with AddressSanitizer and
#          UndefinedBehaviorSanitizer in build/sanitize and runs their tests and corpus replays;
#          any finding stops the test that made it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

sanitize=0
if [ "${1:-}" = "--sanitize" ]; then
  sanitize=1
  shift
fi

bash scripts/setup.sh
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
if [ "$sanitize" = 1 ]; then
  build="${OXBROOK_SANITIZE_BUILD_DIR:-build/sanitize}"
  flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DOXBROOK_UI=OFF -DOXBROOK_BENCH=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)"
  cd "$build"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  ctest --output-on-failure -j "$(nproc)" --timeout 900 -L "store|ftp|tools|fuzz|layout" "$@"
  exit
fi

build="${OXBROOK_BUILD_DIR:-build/test}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && ctest --output-on-failure -j "$(nproc)" --timeout 600 "$@")

# A whole run also packages what it built, installs the package and starts it once; a run of
# some labels only (-L ...) leaves that out.
if [ "$#" = 0 ]; then
  OXBROOK_BUILD_DIR="$build" bash scripts/package.sh --check
fi
