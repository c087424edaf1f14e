#!/usr/bin/env bash
# Builds the run-time libraries that the shipped 32-bit program links
# statically, for the 486, and prints the folder that holds them.
#
#   scripts/build-runtime.sh              build when not cached; print the folder
#   scripts/build-runtime.sh --print-dir  print the folder only (builds nothing)
#
# Debian's MinGW-w64 runtime is built for the Pentium Pro: its C runtime,
# libgcc and libstdc++ use CMOV and FCOMI, which a 486, Pentium, Pentium
# MMX, AMD K5/K6 or Cyrix 6x86 lack, and the start-up code runs one before
# WinMain. This script compiles the same sources (Debian's mingw-w64 source
# package; GCC's sources from gcc-12-source, configured the way Debian
# configures the win32-thread cross compiler, with the target headers that
# compiler ships for plugins) with the installed cross compiler and
# -march=i486, which costs nothing against the Pentium's i586: code for
# either differs only where 64-bit atomics would need CMPXCHG8B, and none
# of these libraries' code that a program links uses them. The win32 preset
# links the result ahead of Debian's libraries (-B, -L); every other
# library it links is an import library without code. The result is
# checked against Debian's own libraries (same members, same global
# symbols) and libstdc++'s headers against the installed ones.
#
# The folder, ${XDG_CACHE_HOME:-~/.cache}/tavrel/runtime-i486-<key>, is
# named by this script's contents and the versions of the packages it
# builds from, so a change of either builds anew and a fresh clone on the
# same machine reuses it. BUILT in it names the processor for CMake. A cold
# build takes about ten minutes on two idle cores; TAVREL_JOBS sets the
# parallel jobs (2).
set -euo pipefail

march=i486
triple=i686-w64-mingw32
jobs=${TAVREL_JOBS:-2}
script=$(readlink -f "${BASH_SOURCE[0]}")
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tavrel

# The packages whose contents go into, or decide, the result.
packages=(gcc-mingw-w64-i686-win32 g++-mingw-w64-i686-win32 gcc-mingw-w64-base mingw-w64-i686-dev
          mingw-w64-common binutils-mingw-w64-i686 gcc-12-source)
versions=$(dpkg-query -W -f='${Package} ${Version}\n' "${packages[@]}" 2>/dev/null || true)
key=$({ cat "$script"; echo "$versions"; } | sha256sum | cut -c1-12)
dir=$cache/runtime-$march-$key

if [ "${1:-}" = --print-dir ]; then
  echo "$dir"
  exit 0
fi

started=$(date +%s)
say() { echo "build-runtime: $* ($(( $(date +%s) - started )) s)" >&2; }

for package in "${packages[@]}" dpkg-dev make xz-utils patch; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    echo "build-runtime: $package is missing; scripts/install-deps.sh installs it" >&2
    exit 1
  fi
done

mkdir -p "$cache"
# Two builds at once (two checkouts, a test run beside a session) would
# only repeat each other: the second waits and then finds the folder.
exec 9>"$dir.lock"
flock 9
if [ -f "$dir/BUILT" ]; then
  echo "$dir"
  exit 0
fi

work=$dir.work
rm -rf "$work" "$dir"
mkdir -p "$work/logs" "$work/out"
# Runs a step with its output in a log of its own, stopping at its first
# failing command (a function called as an if's condition would not), and
# shows the log's end when the step fails.
step() {
  local name=$1 status
  shift
  set +e
  (set -e; "$@") >"$work/logs/$name.log" 2>&1
  status=$?
  set -e
  if [ $status -ne 0 ]; then
    echo "build-runtime: $name failed; the end of $work/logs/$name.log:" >&2
    tail -n 30 "$work/logs/$name.log" >&2
    exit 1
  fi
  say "$name done"
}
flags="-O2 -march=$march -mtune=generic"
cc=$triple-gcc-win32
cxx=$triple-g++-win32
gcc_home=$($cc -print-file-name=)      # /usr/lib/gcc/<triple>/12-win32/
gcc_home=${gcc_home%/}
plugin_include=$gcc_home/plugin/include

# --- the sources -----------------------------------------------------------
crt_version=$(dpkg-query -W -f='${Version}' mingw-w64-i686-dev)
gcc_version=$(dpkg-query -W -f='${Version}' gcc-12-source)
compiler_version=$(dpkg-query -W -f='${Version}' gcc-mingw-w64-i686-win32)
# libstdc++ must be compiled from the sources of the installed compiler.
case $compiler_version in
  "$gcc_version"+*) ;;
  *) echo "build-runtime: gcc-12-source $gcc_version is not the source of the cross compiler" \
       "$compiler_version" >&2
     exit 1 ;;
esac

fetch_crt() {
  cd "$work"
  apt-get source --download-only "mingw-w64=$crt_version"
  dpkg-source -x "mingw-w64_${crt_version#*:}.dsc" crt-src
  # Debian's patch to the CRT's Makefile.am drops -std=gnu99; its build
  # regenerates Makefile.in, this one edits it (no autotools needed).
  sed -i 's/^AM_CFLAGS = -pipe -std=gnu99 /AM_CFLAGS = -pipe /' crt-src/mingw-w64-crt/Makefile.in
  grep -q '^AM_CFLAGS = -pipe -D_CRTBLD' crt-src/mingw-w64-crt/Makefile.in
}

fetch_gcc() {
  local tarball top
  tarball=$(ls /usr/src/gcc-12/gcc-*.tar.xz)
  top=$(basename "$tarball" .tar.xz)
  top=${top%-dfsg}
  cd "$work"
  # The two libraries, the headers and the demangler they share with the
  # compiler, and the scripts their configure runs (libstdc++'s configure
  # writes the test suite's makefile, so that one file of it comes along).
  tar -xJf "$tarball" --exclude="$top/gcc/testsuite" --exclude="$top/libstdc++-v3/testsuite/*/*" \
    --exclude="$top/gcc/po" --exclude="$top/gcc/ada" --exclude="$top/gcc/d" --exclude="$top/gcc/fortran" \
    --exclude="$top/gcc/go" --exclude="$top/gcc/m2" --exclude="$top/libiberty/testsuite" \
    "$top/config" "$top/include" "$top/gcc" "$top/libgcc" "$top/libstdc++-v3" "$top/libiberty" \
    "$top/config.guess" "$top/config.sub" "$top/config-ml.in" "$top/install-sh" "$top/ltmain.sh" \
    "$top/missing" "$top/mkinstalldirs" "$top/move-if-change" "$top/compile" "$top/depcomp" \
    "$top/multilib.am" "$top/libtool.m4" "$top/ltoptions.m4" "$top/ltsugar.m4" "$top/ltversion.m4" \
    "$top/lt~obsolete.m4" "$top/config.rpath"
  mv "$top" gcc-src
  # Of Debian's patches to GCC, the one that touches these libraries'
  # sources (the others concern other targets, languages and packaging).
  patch -d gcc-src -p2 <"/usr/src/gcc-12/debian/patches/cuda-float128.diff"
}

# --- the MinGW-w64 C runtime -------------------------------------------------
# Only what holds code and is linked: the start-up objects, the libraries
# every program links and ws2_32's helpers; the other import libraries have
# no code and stay Debian's.
crt_parts=(crt1.o crt2.o crt1u.o crt2u.o dllcrt1.o dllcrt2.o CRT_fp8.o CRT_fp10.o txtmode.o binmode.o
           CRT_glob.o CRT_noglob.o libmingw32.a libmingwex.a libmoldname.a libmsvcrt.a libws2_32.a)
build_crt() {
  mkdir -p "$work/crt/lib32"
  cd "$work/crt"
  "$work/crt-src/mingw-w64-crt/configure" --host=$triple --prefix=/usr/$triple \
    --disable-lib64 --enable-lib32 --disable-dependency-tracking \
    CC="$cc" CFLAGS="$flags" CPPFLAGS=-Wno-expansion-to-defined
  make -j"$jobs" "${crt_parts[@]/#/lib32/}"
  for part in "${crt_parts[@]}"; do cp "lib32/$part" "$work/out/"; done
}

# --- libgcc -------------------------------------------------------------------
# libgcc's build reads the compiler's target headers from GCC's build folder;
# the installed compiler ships exactly those for plugins, so the folder is
# made from them instead of configuring and half-building GCC.
build_libgcc() {
  local objdir=$work/gcc-build/gcc
  mkdir -p "$objdir" "$work/gcc-build/$triple/libgcc"
  cp -r "$plugin_include"/. "$objdir"/
  (cd "$objdir" && HEADERS="$(sed -n 's/^TCONFIG_H=tconfig.h //p' b-header-vars)" DEFINES=USED_FOR_TARGET \
     bash "$work/gcc-src/gcc/mkconfig.sh" tconfig.h)
  # What GCC's makefile would write: its flags for target code, and libc
  # not inhibited (Debian's compiler was configured with the target headers).
  cat >"$objdir/libgcc.mvars" <<'EOF'
GCC_CFLAGS = -DIN_GCC -DCROSS_DIRECTORY_STRUCTURE -W -Wall -Wno-narrowing -Wwrite-strings -Wcast-qual -Wstrict-prototypes -Wmissing-prototypes -Wold-style-definition -isystem ./include
INHIBIT_LIBC_CFLAGS =
TARGET_SYSTEM_ROOT =
NO_PIE_CFLAGS =
EOF
  cd "$work/gcc-build/$triple/libgcc"
  "$work/gcc-src/libgcc/configure" --build="$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)" --host=$triple \
    --target=$triple --prefix=/usr --enable-shared --enable-static --enable-version-specific-runtime-libs \
    CC="$cc" CFLAGS="$flags"
  make -j"$jobs" libgcc.a libgcc_eh.a crtbegin.o crtend.o
  cp libgcc.a libgcc_eh.a crtbegin.o crtend.o "$work/out/"
}

# --- libstdc++ ------------------------------------------------------------------
# Configured like Debian's win32-thread cross compiler (see its -v). Its
# configure must see the C headers alone, as in GCC's own build, where no
# C++ headers exist yet. Shared as well as static, as there: that decides
# the symbol versioning its headers declare and the flags its objects are
# compiled with; but libtool is then told to make the static library only,
# the one the program links.
build_libstdcxx() {
  mkdir -p "$work/gcc-build/$triple/libstdc++-v3"
  cd "$work/gcc-build/$triple/libstdc++-v3"
  "$work/gcc-src/libstdc++-v3/configure" --build="$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)" --host=$triple \
    --target=$triple --prefix=/usr --disable-multilib --enable-shared --enable-static \
    --disable-libstdcxx-pch --disable-nls --enable-libstdcxx-time=yes --enable-fully-dynamic-string \
    --enable-libstdcxx-filesystem-ts=yes --enable-version-specific-runtime-libs --enable-threads=win32 \
    CC="$cc" CXX="$cxx -nostdinc++" CFLAGS="$flags" CXXFLAGS="$flags"
  sed -i 's/^build_libtool_libs=yes$/build_libtool_libs=no/' libtool
  grep -q '^build_libtool_libs=no$' libtool
  make -j"$jobs" -C include
  make -j"$jobs" -C libsupc++
  make -j"$jobs" -C src
  cp src/.libs/libstdc++.a libsupc++/.libs/libsupc++.a "$work/out/"
}

# --- the same libraries as Debian's ---------------------------------------------
# Same members and global symbols as the installed libraries they replace,
# and libstdc++ built with the very headers the program is compiled with.
compare_with_debian() {
  local file debian status=0
  for file in "$work/out"/*.a; do
    debian=$($cc -print-file-name="$(basename "$file")")
    diff <($triple-ar t "$debian" | sort) <($triple-ar t "$file" | sort) || status=1
    diff <($triple-nm -g --defined-only "$debian" | awk 'NF == 3 { print $2, $3 }' | sort) \
         <($triple-nm -g --defined-only "$file" | awk 'NF == 3 { print $2, $3 }' | sort) || status=1
  done
  # The build's include folder lacks what only installing adds; Debian
  # corrected the spelling of a few comments.
  if diff -r -I '^\s*\(//\|/\*\|\*\)' "$gcc_home/include/c++" "$work/gcc-build/$triple/libstdc++-v3/include" |
     grep -v '^Only in '; then
    status=1
  fi
  return $status
}

say "building the $triple runtime for the $march into $dir"
step fetch-crt fetch_crt
step fetch-gcc fetch_gcc
step crt build_crt
step libgcc build_libgcc
step libstdc++ build_libstdcxx
step compare-with-debian compare_with_debian

mv "$work/out" "$dir"
# CMake reads the processor from here.
{ echo "processor $march"; echo "$versions"; echo "built in $(( $(date +%s) - started )) s"; } >"$dir/BUILT"
rm -rf "$work"
say "done"
echo "$dir"
