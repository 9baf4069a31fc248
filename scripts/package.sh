#!/usr/bin/env bash
# Builds the Debian package of Oxbrook (cpack -G DEB) and, with --check, installs it on this
# machine and starts the installed program once under xvfb-run, then removes it again.
# Usage: scripts/package.sh [--check]
#   OXBROOK_BUILD_DIR  build folder to package (default build/package, a Release build made here;
#                      scripts/test.sh passes its own so nothing is built twice)
# Prints the package's path as its last line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

check=0
[ "${1:-}" = "--check" ] && check=1

build="${OXBROOK_BUILD_DIR:-build/package}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOXBROOK_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target oxbrook oxbrook_icons
out="$build/packages"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$(pwd)/packages" >/dev/null)
deb="$(ls -t "$out"/oxbrook_*.deb | head -n 1)"
dpkg-deb --field "$deb" Package Version Depends

if [ "$check" = 1 ]; then
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  # apt resolves the run-time libraries a clean machine may still lack; dpkg installs the rest.
  $SUDO apt-get install -y -q --no-install-recommends "$(realpath "$deb")" >/dev/null
  home="$(mktemp -d)"
  trap 'rm -rf "$home"; $SUDO dpkg -r oxbrook >/dev/null' EXIT
  for file in /usr/bin/oxbrook /usr/share/oxbrook/Oxbrook.html \
              /usr/share/applications/oxbrook.desktop \
              /usr/share/icons/hicolor/48x48/apps/oxbrook.png; do
    [ -e "$file" ] || { echo "package check: $file was not installed"; exit 1; }
  done
  # A first start as a new user: the program makes its data folder and stores, shows its
  # window, and ends cleanly on SIGTERM, writing its layout as on any close.
  HOME="$home" XDG_DATA_HOME="$home/.local/share" xvfb-run -a /usr/bin/oxbrook &
  runner=$!
  data="$home/.local/share/oxbrook"
  for _ in $(seq 1 100); do
    [ -f "$data/all.dat" ] && break
    sleep 0.2
  done
  [ -f "$data/all.dat" ] || { echo "package check: the program made no stores in $data"; exit 1; }
  # The program is xvfb-run's own child: only that process is asked to end.
  program="$(pgrep -P "$runner" -x oxbrook)"
  kill -TERM "$program"
  wait "$runner"
  [ "$(stat -c %a "$data")" = 700 ] || { echo "package check: $data is not 0700"; exit 1; }
  grep -q '^\[WINDOW\]' "$data/forminfo.ini" ||
    { echo "package check: no window placement written on close"; exit 1; }
  echo "package check: installed, started, made $data, closed cleanly"
fi
echo "$deb"
