#!/usr/bin/env bash
# Unpacks ProFTPD (with its TLS and digest modules) into a folder without installing it: the
# Debian package conflicts with vsftpd, which the tests need too. Its libraries are installed
# by scripts/setup.sh. Usage: unpack_proftpd.sh [DEST]
# DEST defaults to $OXBROOK_PROFTPD_ROOT or ~/.cache/oxbrook-peers/proftpd.
set -euo pipefail
dest="${1:-${OXBROOK_PROFTPD_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/oxbrook-peers/proftpd}}"
if [ -x "$dest/usr/sbin/proftpd" ] && [ -f "$dest/usr/lib/proftpd/mod_tls.so" ]; then
  exit 0
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
(cd "$work" && apt-get download proftpd-core proftpd-mod-crypto >/dev/null)
mkdir -p "$dest.new"
for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$dest.new"; done
rm -rf "$dest"
mv "$dest.new" "$dest"
echo "proftpd unpacked in $dest"
