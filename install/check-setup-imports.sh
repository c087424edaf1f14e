#!/bin/sh
# The installer's own imports, checked against what Windows 95, 98, Me,
# NT 4.0, 2000, XP and 2003 export (Internet Explorer 4.01 counted as
# present on 95 and NT 4.0). setup-imports.tsv adds the rows of the Windows
# base API that only the installer stub imports. Exit 77 (skipped) without
# the import tables.
set -eu
checker=$1 setup=$2 objdump=$3
if [ ! -f "$checker" ]; then
  echo "no import tables at $checker: skipped"
  exit 77
fi
exec python3 "$checker" "$setup" --extra "$(dirname "$0")/setup-imports.tsv" --with-ie4 --floor 95 98 me nt4 2000 xp 2003 --objdump "$objdump"
