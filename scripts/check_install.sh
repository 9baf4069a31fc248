#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and checks what a desktop needs from it: the
# program, its help book, the icons in every size, a valid desktop entry and valid AppStream data.
# Usage: check_install.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
build="$1"
prefix="$2/usr"
rm -rf "$2"
cmake --install "$build" --prefix "$prefix" >/dev/null

missing=0
for file in bin/oxbrook share/oxbrook/Oxbrook.html share/applications/oxbrook.desktop \
            share/metainfo/com.example.oxbrook.metainfo.xml; do
  [ -e "$prefix/$file" ] || { echo "missing: $file"; missing=1; }
done
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/oxbrook.png"
  if [ ! -s "$icon" ]; then
    echo "missing: $icon"
    missing=1
  elif [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" != "89504e470d0a1a0a" ]; then
    echo "not a PNG: $icon"
    missing=1
  fi
done
[ "$missing" = 0 ]

desktop-file-validate "$prefix/share/applications/oxbrook.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/com.example.oxbrook.metainfo.xml"
# The tree check also looks for the desktop entry and the icon the AppStream data names.
appstreamcli validate-tree --no-net "$prefix/.."
echo "install tree: every file in place and valid"
