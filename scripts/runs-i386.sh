#!/bin/sh
# Exits 0 when this machine's kernel executes 32-bit x86 programs, 1 when it
# cannot ("Exec format error": a kernel built without 32-bit emulation).
# The probe is the smallest such program, written here byte by byte: an
# ELF32 header, one loadable segment, and exit(0) through int 0x80. Needs
# nothing installed, so install-deps.sh can ask before Wine is there.
probe=$(mktemp "${TMPDIR:-/tmp}/tavrel-i386.XXXXXX")
trap 'rm -f "$probe"' EXIT
# Header: 32-bit, little-endian, executable, i386, entry 0x08048054, one
# program header at 52. Segment: file offset 0 at 0x08048000, 93 bytes,
# read and execute. Code: mov eax, 1; xor ebx, ebx; int 0x80.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$probe"
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$probe"
printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000' >>"$probe"
printf '\270\001\000\000\000\061\333\315\200' >>"$probe"
chmod 700 "$probe"
"$probe" 2>/dev/null
