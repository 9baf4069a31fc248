#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them; each prints its own figures and the ratios
# against the peer it measures in the same run. Usage: scripts/bench.sh [name ...]
# (names: store_bench net_bench ftp_bench queue_bench ui_bench; default: all that are built).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
build="${OXBROOK_BUILD_DIR:-build/bench}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"

names=("$@")
if [ "${#names[@]}" -eq 0 ]; then
  names=(store_bench net_bench ftp_bench queue_bench ui_bench)
fi
export QT_QPA_PLATFORM=offscreen OXBROOK_SOURCE_DIR="$root"
for name in "${names[@]}"; do
  program="$build/bench/$name"
  if [ ! -x "$program" ]; then
    echo "== $name: not built"
    continue
  fi
  echo "== $name"
  "$program"
done
