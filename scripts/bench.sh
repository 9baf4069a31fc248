#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them; each runs both sides of every comparison in
# several rounds (5 unless BENCH_ROUNDS says otherwise; net_bench ten times and remote_bench
# three times as many; the 1 GiB transfers of ftp_bench and queue_bench 9, or
# BENCH_TRANSFER_ROUNDS, and three times that for the plain ones and the cost of verification)
# and prints medians with their spread.
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
# The 1 GiB transfers move more from round to round than anything else measured here (a
# loopback transfer's kernel work lands on whichever side happens to run it): nine rounds, so
# that their medians hold from one run to the next.
transfer_rounds="${BENCH_TRANSFER_ROUNDS:-$(( rounds > 9 ? rounds : 9 ))}"
export QT_QPA_PLATFORM=offscreen OXBROOK_SOURCE_DIR="$root"
summary="$(mktemp)"
trap 'rm -f "$summary"' EXIT
# The steal and total ticks of all processors (/proc/stat): on a virtual machine, the share of
# its processors' time that the host gave to others. A busy host slows every figure of a run.
ticks() { awk '/^cpu /{ t = 0; for (i = 2; i <= 9; ++i) t += $i; print $9, t; exit }' /proc/stat 2>/dev/null || echo "0 0"; }
share() { awk -v a="$1" -v b="$2" 'BEGIN { split(a, x, " "); split(b, y, " "); d = y[2] - x[2]; printf "%.1f", (d > 0 ? 100 * (y[1] - x[1]) / d : 0) }'; }
run_start="$(ticks)"
for name in "${names[@]}"; do
  program="$build/bench/$name"
  if [ ! -x "$program" ]; then
    echo "== $name: not built"
    continue
  fi
  echo "== $name"
  case "$name" in
    # A round of net_bench lasts a fifth of a second, and its round ratios spread over
    # 0.6-1.4: medians of fifteen rounds moved between 0.76 and 1.03 within minutes, of fifty
    # between 0.83 and 0.87. Ten times the rounds (about a minute and a half).
    net_bench) args=(1024 "$(( rounds * 10 ))") ;;
    # Its recursive changes last half a second to a second and a half against lftp's: their
    # ratio moved by 17% between two runs of five rounds. Three times the rounds.
    remote_bench) args=(--rounds "$(( rounds * 3 ))") ;;
    ftp_bench | queue_bench) args=(--rounds "$transfer_rounds") ;;
    *) args=(--rounds "$rounds") ;;
  esac
  status=0
  # The previous benchmark's files (gigabytes of them) are still being written back and freed:
  # that work is done here, not on the time of the next one.
  sync
  before="$(ticks)"
  "$program" "${args[@]}" | tee -a "$summary" || status=$?
  [ "$status" -eq 0 ] || echo "== $name exited with $status"
  echo "HOST name=$name steal=$(share "$before" "$(ticks)")" | tee -a "$summary"
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
  /^HOST / { split($2, n, "="); split($3, st, "="); host = host sprintf(" %s %s%%", n[2], st[2]) }
  END {
    printf "%d rows, %d missed\n", rows, missed
    printf "the host took of the processors'"'"' time:%s\n", host
  }
' "$summary"
echo "the host took $(share "$run_start" "$(ticks)")% of the processors' time over the whole run"
