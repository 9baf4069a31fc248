#!/usr/bin/env bash
# Runs one fuzz target for a while: scripts/fuzz.sh NAME SECONDS [extra libFuzzer flags]
# NAME: reply, listing, pasv_pwd, socks, store_file, blob, filter (fuzz/CMakeLists.txt).
# Builds with clang-14, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in
# build/fuzz, fuzzes a copy of the seed corpus in build/fuzz/work/NAME (new inputs stay there;
# copy a crash file into fuzz/corpus/NAME/ to keep it as a regression seed) and prints the
# executions run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh NAME SECONDS [libFuzzer flags]" >&2
  exit 2
fi
name="$1"
seconds="$2"
shift 2
build="${OXBROOK_FUZZ_BUILD_DIR:-build/fuzz}"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
flags="-g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++-14 \
  "${launcher[@]}" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DOXBROOK_FUZZ=ON -DOXBROOK_UI=OFF -DOXBROOK_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "fuzz_$name"
work="$build/work/$name"
mkdir -p "$work"
cp -n "fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
# Leaks are reported; a single input may take at most 10 s, and at most 2 GB.
"$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$build/work/$name-" "$@" "$work" 2>&1 |
  tee "$build/work/$name.log" | grep -E "^(stat::number_of_executed_units|==[0-9]+==|SUMMARY|Done|INFO: Running)" || true
status=${PIPESTATUS[0]}
echo "fuzz $name: $(grep -oE 'stat::number_of_executed_units: [0-9]+' "$build/work/$name.log" | grep -oE '[0-9]+') executions, exit $status"
exit "$status"
