#!/usr/bin/env bash
# Installs what building, running and testing A_Tavrel need on Debian 12:
# CMake and Ninja, the native compiler and GoogleTest's sources, the 32-bit
# MinGW-w64 cross compiler (and the 64-bit one for machines that cannot run
# 32-bit programs), Wine (32- and 64-bit), a virtual X display,
# ImageMagick for screenshots, Python 3 and chrony (a reference time server
# and measurer for the NTP tests), NSIS for the installer, and what
# scripts/build-runtime.sh needs to rebuild the MinGW-w64 runtime for the
# 486 from Debian's sources (GCC's sources, the tools that unpack and
# build them, and deb-src entries for the machine's Debian suites). A
# machine that has them all is left alone: apt runs only for what is missing.
#
# A machine whose kernel cannot execute 32-bit programs (scripts/runs-i386.sh)
# gets no 32-bit Wine, which could not start there, but what the emulated
# 32-bit test machine needs (scripts/vm32): QEMU 9.1 or later, from
# bookworm-backports (Debian 12's own 7.2 crashes every 32-bit program in
# the guest), and debootstrap.
#
#   scripts/install-deps.sh [package ...]
#
# Further packages named on the command line (a measuring script's
# reference tools, such as htpdate) are installed the same way; a service
# one of them brings (chrony's, htpdate's: both steer the clock) is never
# started.
set -euo pipefail

packages=(cmake ninja-build g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64
          xvfb xauth imagemagick python3 file chrony nsis tzdata unicode-cldr-core
          gcc-12-source dpkg-dev make xz-utils patch "$@")
runs_i386=yes
"$(dirname "$0")/runs-i386.sh" || runs_i386=no
if [ "$runs_i386" = yes ]; then packages+=(wine32:i386); else packages+=(debootstrap e2fsprogs); fi

missing=()
# Installed, not merely known: a removed package keeps its configuration.
installed() { [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]; }
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done

# The MinGW-w64 CRT's sources come only as a Debian source package, so every
# Debian entry of the machine's apt sources gets a deb-src twin: the same
# mirror, suites and key (apt refuses two keys for one suite). Other
# vendors' repositories are left out.
deb_src_file=/etc/apt/sources.list.d/tavrel-deb-src
has_deb_src() { apt-get indextargets --format '$(TARGET_OF)' | grep -qx deb-src; }
# Prints "file:n" for each entry that brings Debian's packages (by the
# origin its Release file names): a stanza number in a .sources file, a
# line number in a .list file.
debian_entries() {
  apt-get indextargets --format '$(TARGET_OF) $(SOURCESENTRY) $(ORIGIN)' |
    awk '$1 == "deb" && $3 == "Debian" && NF == 3 { print $2 }' | sort -u
}
# A stanza's twin: the stanza with its Types line saying deb-src. Comment
# lines do not count as a stanza, as in apt.
deb822_twin() {
  awk -v n="$2" 'BEGIN { RS = ""; FS = "\n" }
    { real = 0; for (i = 1; i <= NF; i++) if ($i !~ /^#/) real = 1 }
    real && ++stanza == n { for (i = 1; i <= NF; i++) { if ($i ~ /^Types:/) $i = "Types: deb-src"; print $i }; print "" }' "$1"
}
write_deb_src() {
  local entry file n sources="" lines=""
  for entry in $(debian_entries); do
    file=${entry%:*} n=${entry##*:}
    case $file in
      *.sources) sources+=$(deb822_twin "$file" "$n")$'\n\n' ;;
      *) lines+=$(sed -n "${n}s/^deb\([[:space:]]\)/deb-src\1/p" "$file")$'\n' ;;
    esac
  done
  if [ -n "$sources" ]; then printf '%s' "$sources" | "${sudo[@]}" tee "$deb_src_file.sources" >/dev/null; fi
  if [ -n "$lines" ]; then printf '%s' "$lines" | "${sudo[@]}" tee "$deb_src_file.list" >/dev/null; fi
}
need_deb_src=0
has_deb_src || need_deb_src=1
qemu_missing=no
if [ "$runs_i386" = no ] && ! { installed qemu-system-x86 &&
    dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-system-x86)" ge 1:9.1; }; then
  qemu_missing=yes
fi
if [ ${#missing[@]} -eq 0 ] && [ "$qemu_missing" = no ] && [ "$need_deb_src" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi

[ ${#missing[@]} -eq 0 ] && [ "$qemu_missing" = no ] ||
  echo "install-deps: installing ${missing[*]}$([ "$qemu_missing" = yes ] && echo " qemu-system-x86 (backports)")"
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
if [ "$runs_i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
backports=/etc/apt/sources.list.d/tavrel-bookworm-backports.sources
if [ "$qemu_missing" = yes ] && ! grep -rqs "bookworm-backports" /etc/apt/sources.list /etc/apt/sources.list.d; then
  printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: %s\n' \
    http://deb.debian.org/debian /usr/share/keyrings/debian-archive-keyring.gpg | "${sudo[@]}" tee "$backports" >/dev/null
fi
# A mirror caught in the middle of a sync serves an index that does not match
# its release file ("File has unexpected size"): try again, and then go on
# with the indexes apt has; the install below says whether they sufficed.
apt_update() {
  local try
  for try in 1 2 3; do
    if "${sudo[@]}" apt-get update; then return; fi
    if [ "$try" -lt 3 ]; then sleep 10; fi
  done
  echo "install-deps: some package indexes could not be fetched; going on with those apt has" >&2
}
apt_update
# Which entries are Debian's is known from their Release files, so only
# after an update.
if [ "$need_deb_src" -eq 1 ]; then
  echo "install-deps: adding Debian's source packages ($deb_src_file.*)"
  write_deb_src
  apt_update
fi
apt_install=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=900)
if [ ${#missing[@]} -gt 0 ]; then
  "${apt_install[@]}" "${missing[@]}" </dev/null
fi
if [ "$qemu_missing" = yes ]; then
  "${apt_install[@]}" --no-install-recommends -t bookworm-backports qemu-system-x86 </dev/null
fi
# Where systemd runs, the packages also enable their services for the next boot.
if [ -d /run/systemd/system ]; then
  for service in chrony htpdate; do
    installed "$service" || continue
    "${sudo[@]}" systemctl disable --now "$service.service" >/dev/null 2>&1 || true
    "${sudo[@]}" systemctl mask "$service.service" >/dev/null 2>&1 || true
  done
fi
