#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Safe to run again; needs root (or sudo) on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  zlib1g-dev libbotan-2-dev libsimpleini-dev libsqlite3-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  python3 python3-pyftpdlib vsftpd dante-server microsocks ftp-proxy
  curl lftp xvfb xauth procps iproute2
  clang-14 libfuzzer-14-dev
  desktop-file-utils appstream dpkg-dev
  libssl-dev openssl python3-openssl
  # ProFTPD runs unpacked (its package would remove vsftpd): only its libraries are installed.
  libhiredis0.14 libmemcached11 libmemcachedutil2 libpcre2-posix3 libsodium23 libidn2-0
  libcap2 libacl1
)

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi

# ProFTPD for the tests, unpacked beside vsftpd (never installed: the packages conflict).
"$(dirname "$0")/peers/unpack_proftpd.sh"
