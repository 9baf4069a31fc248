#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test.
# Usage: scripts/test.sh [extra ctest arguments, e.g. -L store]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
build="${OXBROOK_BUILD_DIR:-build/test}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && ctest --output-on-failure -j "$(nproc)" --timeout 600 "$@")

# A whole run also packages what it built, installs the package and starts it once; a run of
# some labels only (-L ...) leaves that out.
if [ "$#" = 0 ]; then
  OXBROOK_BUILD_DIR="$build" bash scripts/package.sh --check
fi
