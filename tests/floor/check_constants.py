#!/usr/bin/env python3
"""The constant floor: fails when the Windows layer names a constant, flag,
class, message or call that Windows 95 or NT 4.0 (with Internet Explorer
4.01: comctl32 4.72) refuses, outside platform/win32/Win32Compat.cpp.

MinGW-w64's headers define newer values whatever _WIN32_WINNT says
(HWND_MESSAGE, ICC_STANDARD_CLASSES, IDC_HAND, a QS_ALLINPUT with raw input
in it), and old Windows refuses them at run time, after the loader was
happy. constants.tsv beside this file lists each name with the first 9x and
NT release (and comctl32 version) that accepts it and where that was looked
up. A name newer than the floor may stand only in the compat file, behind
its run-time check, or in the file its row's allowed_in column names.

Every upper-case Windows name of a family the table has (WS_, ICC_, QS_,
IDC_, SM_ ...) that the layer uses must have a row (project names are told
apart by their #define in the project), so a new one is looked up before it
lands. Comments are no use; string literals count only for the
quoted rows (window class and message names).

usage: check_constants.py [--source DIR] [--table TSV] [FILE ...]
Exit status 0 when every use is at or below the floor.
"""
import argparse
import os
import re
import sys

from check_imports import load_tsv

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
LAYER = 'platform/win32'
COMPAT = 'platform/win32/Win32Compat.cpp'
COMCTL32_FLOOR = (4, 72)
NAME = re.compile(r'\b[A-Z][A-Z0-9]*_[A-Z0-9_]*\b|\b[A-Z][A-Za-z0-9]+\b')
TOKEN = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)


def load_table(path):
    return {key[0]: row for key, row in load_tsv(path, ('name',)).items()}


def newer_than_floor(row):
    """Why the floor lacks it, or None."""
    if row['first_9x'] != '95' or row['first_nt'] != 'nt4':
        return 'first on %s / %s' % (row['first_9x'], row['first_nt'])
    if row.get('comctl32'):
        wanted = tuple(int(p) for p in row['comctl32'].split('.'))
        if wanted > COMCTL32_FLOOR:
            return 'needs comctl32 %s' % row['comctl32']
    return None


def split_source(text):
    """(code without comments and literals, [string literal contents])."""
    strings = []

    def keep(m):
        token = m.group(0)
        if token.startswith('"'):
            strings.append(token[1:-1])
        return ' ' if token.startswith('/') else '""'
    return TOKEN.sub(keep, text), strings


def project_names(source):
    """Names the project #defines or declares itself (enumerators of its own
    headers included), which are no Windows names."""
    names = set()
    for folder, _, files in os.walk(source):
        if '/build' in folder or '/.git' in folder:
            continue
        for name in files:
            if name.endswith(('.h', '.cpp', '.rc', '.in')):
                with open(os.path.join(folder, name), encoding='utf-8', errors='replace') as f:
                    text = f.read()
                names.update(re.findall(r'#\s*define\s+(\w+)', text))
                names.update(re.findall(r'\b(IDC_\w+|IDB_\w+|IDI_\w+|TAVREL_\w+)\b', text))
    return names


def layer_files(source):
    out = []
    for folder, _, files in os.walk(os.path.join(source, LAYER)):
        for name in sorted(files):
            if name.endswith(('.cpp', '.h', '.rc')):
                out.append(os.path.relpath(os.path.join(folder, name), source).replace(os.sep, '/'))
    return sorted(out)


def families(table):
    """The name prefixes the table covers: WS, WM, ICC, QS ..."""
    return {name.split('_')[0] for name in table if re.fullmatch(r'[A-Z][A-Z0-9]*_[A-Z0-9_]*', name)}


def check_file(path, rel, table, own, unknown, known_families):
    """Failure lines for one file; `unknown` collects names without a row."""
    with open(path, encoding='utf-8', errors='replace') as f:
        code, strings = split_source(f.read())
    found = {}
    for n, line in enumerate(code.splitlines(), 1):
        for name in NAME.findall(line):
            found.setdefault(name, n)
    for text in strings:
        if '"%s"' % text in table:
            found.setdefault('"%s"' % text, 0)
    bad = []
    for name, line in sorted(found.items()):
        row = table.get(name)
        if row is None:
            if '_' in name and name.split('_')[0] in known_families and name not in own:
                unknown.setdefault(name, '%s:%d' % (rel, line))
            continue
        why = newer_than_floor(row)
        if not why or rel == COMPAT or rel in row.get('allowed_in', '').split(','):
            continue
        bad.append('%s:%d: %s (%s) is not on Windows 95 / NT 4.0: %s; reach it in %s behind a run-time '
                   'check [%s]' % (rel, line, name, row['kind'], why, COMPAT, row['source']))
    return bad


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('files', nargs='*', help='files relative to --source (default: all of %s)' % LAYER)
    ap.add_argument('--source', default=SOURCE)
    ap.add_argument('--table', default=os.path.join(HERE, 'constants.tsv'))
    args = ap.parse_args(argv)
    table = load_table(args.table)
    own = project_names(args.source)
    files = args.files or layer_files(args.source)
    bad, unknown, known_families = [], {}, families(table)
    for rel in files:
        bad += check_file(os.path.join(args.source, rel), rel, table, own, unknown, known_families)
    for name, where in sorted(unknown.items()):
        bad.append('%s: %s is not in %s: add its row (first 9x and NT version, source)'
                   % (where, name, os.path.relpath(args.table, args.source)))
    for line in bad:
        print(line)
    print('constant floor: %d files, %d table rows, %d problems' % (len(files), len(table), len(bad)))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
