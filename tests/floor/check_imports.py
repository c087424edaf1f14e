#!/usr/bin/env python3
"""The import floor: fails when a 32-bit Windows executable imports a DLL or
a function that one of Windows 95, 98, Me, NT 4.0, 2000, XP and 2003 lacks.

Wine exports nearly every modern call, so the tests under Wine pass where
real Windows refuses to start the program ("The procedure entry point ...
could not be located"); only the import table tells. imports.tsv beside
this file gives, per DLL export, the first 9x and NT release that exports it
on a fresh install, and dlls.tsv the first release that ships each DLL,
each row with its source. An import the tables do not know fails too: look
it up and add its row.

The floor is the program's: on 95 and NT 4.0, Internet Explorer 4.01 is
installed, which brings what 98 and 2000 ship of wininet.dll, msvcrt.dll,
comctl32.dll (4.72) and shlwapi.dll, and the CryptoAPI of advapi32.dll.

usage: check_imports.py EXE [--objdump PROG] [--tables DIR]
Exit status 0 when every version has every import.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
NINE_X = ['95', '98', 'me']
NT = ['nt4', '2000', 'xp', '2003', 'vista']
TARGETS = ['95', '98', 'me', 'nt4', '2000', 'xp', '2003']
# The loader refuses a PE subsystem version newer than its own.
OS_VERSION = {'95': (4, 0), '98': (4, 10), 'me': (4, 90), 'nt4': (4, 0), '2000': (5, 0), 'xp': (5, 1),
              '2003': (5, 2)}
IE4_DLLS = {'wininet.dll', 'msvcrt.dll', 'comctl32.dll', 'shlwapi.dll'}


def load_tsv(path, keys):
    table = {}
    with open(path, encoding='utf-8') as f:
        header = f.readline().rstrip('\n').split('\t')
        for line in f:
            if line.strip() and not line.startswith('#'):
                row = dict(zip(header, line.rstrip('\n').split('\t')))
                table[tuple(row[k].lower() if k == 'dll' else row[k] for k in keys)] = row
    return table


def read_imports(exe, objdump):
    """({dll: [function or '#ordinal']}, (major, minor) subsystem version)."""
    out = subprocess.run([objdump, '-p', exe], capture_output=True, text=True, check=True).stdout
    imports, dll, inside = {}, None, False
    for line in out.splitlines():
        if line.startswith('The Import Tables'):
            inside = True
        elif inside and re.match(r'^[A-Z]', line):
            inside = False
        m = re.match(r'\s*DLL Name:\s*(\S+)', line)
        if inside and m:
            dll = m.group(1).lower()
            imports.setdefault(dll, [])
            continue
        m = re.match(r'^\t([0-9a-fA-F]+)\t\s*(\d+)\s+(\S+)', line)
        if inside and dll and m:
            thunk, hint, name = m.groups()
            by_ordinal = name == '<none>' or int(thunk, 16) & 0x80000000
            imports[dll].append('#' + hint if by_ordinal else name)
    sub = re.search(r'MajorSubsystemVersion\s+(\d+).*?MinorSubsystemVersion\s+(\d+)', out, re.S)
    return imports, (int(sub.group(1)), int(sub.group(2))) if sub else None


def missing_on(row, version):
    """None when `version` has what the row describes, else why not."""
    branch, column = (NINE_X, 'first_9x') if version in NINE_X else (NT, 'first_nt')
    first = row[column]
    if first == 'unknown':
        return 'not known for this version'
    if first not in branch:
        return 'not on ' + ('Windows 9x' if branch is NINE_X else 'NT')
    if branch.index(version) < branch.index(first):
        return 'first on ' + first
    return None


def brought_by_ie4(dll, name, version, why):
    return (version in ('95', 'nt4') and why in ('first on 98', 'first on 2000')
            and (dll in IE4_DLLS or (dll == 'advapi32.dll' and name.startswith('Crypt'))))


def check(version, imports, functions, dlls, subsystem):
    bad = []
    if subsystem and subsystem > OS_VERSION[version]:
        bad.append('PE subsystem version %d.%d: the loader refuses it' % subsystem)
    for dll, names in sorted(imports.items()):
        row = dlls.get((dll,))
        why = 'not in dlls.tsv' if row is None else missing_on(row, version)
        if why and not brought_by_ie4(dll, '', version, why):
            bad.append('%s: %s (%d imports)' % (dll, why, len(names)))
            continue
        for name in names:
            row = functions.get((dll, name))
            why = 'not in imports.tsv: look it up and add its row' if row is None else missing_on(row, version)
            if why and not brought_by_ie4(dll, name, version, why):
                bad.append('%s!%s: %s' % (dll, name, why))
    return bad


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('exe')
    ap.add_argument('--objdump', default='i686-w64-mingw32-objdump')
    ap.add_argument('--tables', default=HERE)
    args = ap.parse_args(argv)
    objdump = shutil.which(args.objdump) or shutil.which('objdump')
    if not objdump:
        sys.exit('no objdump (tried %s and objdump)' % args.objdump)
    functions = load_tsv(os.path.join(args.tables, 'imports.tsv'), ('dll', 'function'))
    dlls = load_tsv(os.path.join(args.tables, 'dlls.tsv'), ('dll',))
    imports, subsystem = read_imports(args.exe, objdump)
    count = sum(len(names) for names in imports.values())
    print('%s: %d imports from %d DLLs, PE subsystem %s' % (
        args.exe, count, len(imports), '%d.%d' % subsystem if subsystem else '?'))
    failed = False
    for version in TARGETS:
        bad = check(version, imports, functions, dlls, subsystem)
        failed = failed or bool(bad)
        print('Windows %-4s %s' % (version, 'FAIL' if bad else 'OK'))
        for line in bad:
            print('  ' + line)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
