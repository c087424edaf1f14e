#!/usr/bin/env bash
# Builds the two release packages into build/release/:
#   A_Tavrel-<version>.zip        the install tree (Tavrel\A_Tavrel.exe,
#                                 Common\language\english.lng,
#                                 common\license\UrlList.txt, ReadMe.txt)
#   A_Tavrel-<version>-setup.exe  the Windows installer (NSIS, ANSI)
# The version is the project's (project() in CMakeLists.txt). Installs what
# is missing first, like the other scripts.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

version=$(sed -n 's/^project(A_Tavrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "release.sh: no version in the project() line of CMakeLists.txt" >&2
  exit 1
fi

# The packages always carry the shipped 32-bit program, whatever Wine runs.
# The runtime libraries the shipped program links, rebuilt for the 486
# (about ten minutes once per machine, then cached).
./scripts/build-runtime.sh >/dev/null
cmake --preset win32 -DTAVREL_WERROR=ON
cmake --build --preset win32 -j 2 --target tavrel_release

out=build/release
mkdir -p "$out"
for file in "A_Tavrel-$version.zip" "A_Tavrel-$version-setup.exe"; do
  cp "build/win32/release/$file" "$out/$file"
done
size=$(stat -c %s "$out/A_Tavrel-$version-setup.exe")
limit=1457664
echo "release.sh: $out/A_Tavrel-$version.zip ($(stat -c %s "$out/A_Tavrel-$version.zip") bytes)"
echo "release.sh: $out/A_Tavrel-$version-setup.exe ($size bytes, at most $limit: one 1.44 MB floppy)"
if [ "$size" -gt "$limit" ]; then
  echo "release.sh: the installer does not fit on one floppy disk" >&2
  exit 1
fi
