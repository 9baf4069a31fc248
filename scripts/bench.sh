#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them; each runs both sides of every comparison in
# several rounds (5 unless BENCH_ROUNDS says otherwise) and prints medians with their spread.
# At the end a table gathers every ratio and figure with its goal and whether the median meets
# it. Usage: scripts/bench.sh [name ...]
# (names: store_bench net_bench ftp_bench queue_bench ui_bench pages_bench remote_bench;
# default: all that are built).
# OXBROOK_BENCH_DROP_CACHES=1 drops the page cache before every run of both sides (root only).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
build="${OXBROOK_BUILD_DIR:-build/bench}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"

names=("$@")
if [ "${#names[@]}" -eq 0 ]; then
  names=(store_bench net_bench ftp_bench queue_bench ui_bench pages_bench remote_bench)
fi
rounds="${BENCH_ROUNDS:-5}"
export QT_QPA_PLATFORM=offscreen OXBROOK_SOURCE_DIR="$root"
summary="$(mktemp)"
trap 'rm -f "$summary"' EXIT
for name in "${names[@]}"; do
  program="$build/bench/$name"
  if [ ! -x "$program" ]; then
    echo "== $name: not built"
    continue
  fi
  echo "== $name"
  case "$name" in
    net_bench) args=(1024 "$rounds") ;;
    *) args=(--rounds "$rounds") ;;
  esac
  status=0
  "$program" "${args[@]}" | tee -a "$summary" || status=$?
  [ "$status" -eq 0 ] || echo "== $name exited with $status"
done

echo
echo "== summary ($(uptime | sed 's/.*load/load/'))"
awk '
  /^(RATIO|FIGURE) / {
    for (i = 2; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = substr($i, length(kv[1]) + 2) }
    printf "%-34s %9s  %-19s %-8s %s\n", v["name"], v["median"], v["low"] "-" v["high"], v["goal"], v["met"] == "yes" ? "met" : "MISSED"
    rows++; missed += v["met"] != "yes"
  }
  BEGIN { printf "%-34s %9s  %-19s %-8s %s\n", "row", "median", "low-high", "goal", "median meets goal" }
  END { printf "%d rows, %d missed\n", rows, missed }
' "$summary"
