#!/bin/sh
# An executable's imports, checked against what Windows 95, 98, Me,
# NT 4.0, 2000, XP and 2003 export (Internet Explorer 4.01 counted as
# present on 95 and NT 4.0). Used for the installer and for the program.
# Each further argument is a table of the project's own rows (floor.tsv
# columns, with their sources) for imports floor.tsv does not list; without
# any, setup-imports.tsv here: the Windows base API that only the installer
# stub imports. Exit 77 (skipped) without the import tables.
set -eu
checker=$1 exe=$2 objdump=$3
shift 3
if [ ! -f "$checker" ]; then
  echo "no import tables at $checker: skipped"
  exit 77
fi
[ $# -gt 0 ] || set -- "$(dirname "$0")/setup-imports.tsv"
extra=""
for table in "$@"; do extra="$extra --extra $table"; done
# shellcheck disable=SC2086  # one word per option and table
exec python3 "$checker" "$exe" $extra --with-ie4 --floor 95 98 me nt4 2000 xp 2003 --objdump "$objdump"
