#!/bin/sh
# The shipped program is one 32-bit GUI executable that needs nothing beside
# it: every DLL it imports is one Windows itself provides.
set -eu
exe=$1
objdump=${2:-i686-w64-mingw32-objdump}
file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' || { file "$exe"; echo "not a PE32 i386 GUI executable"; exit 1; }
status=0
for dll in $("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
  case $(echo "$dll" | tr 'A-Z' 'a-z') in
    advapi32.dll|comctl32.dll|gdi32.dll|kernel32.dll|msvcrt.dll|oleaut32.dll|ole32.dll|shell32.dll|user32.dll|\
    version.dll|wininet.dll|winmm.dll|shlwapi.dll|comdlg32.dll|uxtheme.dll|ws2_32.dll|wsock32.dll) echo "imports $dll" ;;
    *) echo "imports $dll, which is no Windows system DLL"; status=1 ;;
  esac
done
exit $status
