#!/usr/bin/env bash
# Installs what building, running and testing A_Tavrel need on Debian 12:
# CMake and Ninja, the native compiler and GoogleTest's sources, the 32-bit
# MinGW-w64 cross compiler (and the 64-bit one for machines that cannot run
# 32-bit programs), Wine (32- and 64-bit), a virtual X display,
# ImageMagick for screenshots, Python 3 and chrony (a reference time server
# and measurer for the NTP tests) and NSIS for the installer. A machine
# that has them all is left alone: apt runs only for what is missing.
#
#   scripts/install-deps.sh [package ...]
#
# Further packages named on the command line (a measuring script's
# reference tools, such as htpdate) are installed the same way; a service
# one of them brings (chrony's, htpdate's: both steer the clock) is never
# started.
set -euo pipefail

packages=(cmake ninja-build g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64
          xvfb xauth imagemagick python3 file chrony nsis tzdata unicode-cldr-core "$@")

missing=()
# Installed, not merely known: a removed package keeps its configuration.
installed() { [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]; }
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi

echo "install-deps: installing ${missing[*]}"
# The chrony package would start its service, and a running chronyd steers
# the machine's clock (so would htpdate's). A policy that refuses every
# service start keeps them stopped; the tests run chronyd themselves with -x
# or -Q only, the benchmark htpdate with -q. A policy the machine already
# has is left as it is.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# install-deps.sh: no service starts during this install.\nexit 101\n' |
    "${sudo[@]}" tee "$policy" >/dev/null
  "${sudo[@]}" chmod 755 "$policy"
  trap '"${sudo[@]}" rm -f "$policy"' EXIT
fi
# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" </dev/null
# Where systemd runs, the packages also enable their services for the next boot.
if [ -d /run/systemd/system ]; then
  for service in chrony htpdate; do
    installed "$service" || continue
    "${sudo[@]}" systemctl disable --now "$service.service" >/dev/null 2>&1 || true
    "${sudo[@]}" systemctl mask "$service.service" >/dev/null 2>&1 || true
  done
fi
