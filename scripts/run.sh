#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Oxbrook and starts it.
# Without a desktop (no DISPLAY) it runs under xvfb-run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
build="${OXBROOK_BUILD_DIR:-build/release}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"

program="$build/app/oxbrook"
if [ ! -x "$program" ]; then
  echo "The program itself is not built yet: the store and engine libraries, tools and tests were built in $build."
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a "$program" "$@"
fi
exec "$program" "$@"
