#!/usr/bin/env python3
"""Fails when the shipped program holds an instruction its oldest processor lacks.

The program must start on its oldest processor, a 486 (--floor i486) or a
Pentium (--floor i586): one instruction that only a later processor knows
(CPUID on a 486; CMOV, FCOMI, a long NOP, an MMX or SSE register ...) stops
such a PC with an illegal-instruction error the moment it runs. The
executable has no symbols, so the linker's map tells which bytes of its
code sections are code (the linker also places the exception tables and
the constructor lists there) and which function each instruction belongs
to. Prints every offending function with its instructions and exits 1; the
few functions that run such an instruction only after asking the processor
whether it has it are listed in ALLOWED with the reason.

  check_processor.py [--floor i486|i586] EXE MAP [OBJDUMP]
"""

import argparse
import bisect
import os
import re
import subprocess
import sys

# Found by any floor: the Pentium Pro's and later processors' instructions.
NEWER_THAN_PENTIUM = [
    (r"cmov\w*|fcmov\w*|fu?comip?", "conditional move or compare (Pentium Pro)"),
    (r"nop[wlq]", "long NOP (Pentium Pro)"),
    (r"endbr(32|64)", "hint NOP (Pentium Pro)"),
    (r"sysenter|sysexit|syscall|sysret\w*", "fast system call (Pentium II, K6-2)"),
    (r"fxsave\w*|fxrstor\w*|xsave\w*|xrstor\w*|xgetbv|rdtscp", "state save (Pentium II and later)"),
    (r"ldmxcsr|stmxcsr|[slm]fence|prefetch\w*|clflush\w*|movnti|maskmovq",
     "SSE or 3DNow! (Pentium III, K6-2)"),
    (r"emms|femms|pf\w+|pi2f\w|pf2i\w|pavgusb|pmulhrw|pswapd", "MMX or 3DNow!"),
    (r"rdrand|rdseed|popcnt|lzcnt|movbe|crc32\w?|andn|bextr|blsi|blsmsk|blsr|bzhi|pdep|pext|"
     r"sarx|shlx|shrx|rorx|mulx|adcx|adox|xbegin|xend|xabort|xtest",
     "a much later extension"),
]
# Found only below the Pentium.
NEWER_THAN_486 = [
    (r"cpuid|rdtsc|cmpxchg8b|rdmsr|wrmsr|rsm", "Pentium"),
]
# Any operand naming these registers is MMX, SSE, AVX or later.
NEW_REGISTERS = re.compile(r"%(x|y|z)?mm\d+|%k[0-7]\b|%bnd\d")
# Prefixes objdump prints before the mnemonic.
PREFIXES = {"lock", "rep", "repz", "repe", "repnz", "repne", "data16", "data32", "addr16",
            "addr32", "cs", "ds", "es", "fs", "gs", "ss", "notrack", "bnd"}

# (function, floors it applies to, reason): code that tests the processor
# before it runs a newer instruction.
ALLOWED = [
    (r"__x86_rdrand\(", {"i586", "i486"},
     "std::random_device runs it only after CPUID reports RDRAND"),
    (r"__x86_rdseed\(", {"i586", "i486"},
     "std::random_device runs it only after CPUID reports RDSEED"),
    (r"__x86_rdseed_rdrand\(", {"i586", "i486"},
     "std::random_device runs it only after CPUID reports RDSEED and RDRAND"),
    (r"^std::random_device::_M_init\(", {"i486"},
     "it runs CPUID only after the EFLAGS ID bit showed that the processor has it"),
]

INPUT_SECTION = re.compile(r"^ (\S+)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.*))?$")
CONTINUATION = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.*)$")
SYMBOL = re.compile(r"^\s{16}0x([0-9a-f]+)\s{16}(\S.*)$")
OUTPUT_SECTION = re.compile(r"^(\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t(.*)$")


def is_code_section(name):
    return name in (".text", ".init", ".fini") or name.startswith((".text$", ".text."))


def read_map(path, code_outputs):
    """The code input sections (start, end, name, file) and the global
    symbols (address, name) inside the output sections named code_outputs."""
    pieces, symbols = [], []
    inside = False
    pending = None
    with open(path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            line = line.rstrip("\n")
            output = OUTPUT_SECTION.match(line)
            if output or (line and not line[0].isspace()):
                inside = bool(output) and output.group(1) in code_outputs
                pending = None
                continue
            if not inside:
                continue
            if pending is not None:
                more = CONTINUATION.match(line)
                if more:
                    pieces.append((int(more.group(1), 16), int(more.group(2), 16), pending, more.group(3)))
                pending = None
                continue
            section = INPUT_SECTION.match(line)
            if section and not section.group(1).startswith("*"):
                if section.group(2) is None:
                    pending = section.group(1)
                else:
                    pieces.append((int(section.group(2), 16), int(section.group(3), 16),
                                   section.group(1), section.group(4)))
                continue
            symbol = SYMBOL.match(line)
            if symbol and "=" not in symbol.group(2):
                symbols.append((int(symbol.group(1), 16), symbol.group(2).strip()))
    code = sorted((start, start + size, name, where) for start, size, name, where in pieces
                  if size and is_code_section(name))
    return code, sorted(symbols)


def code_outputs_of(exe, objdump):
    """Names of the executable's sections that hold code."""
    headers = subprocess.run([objdump, "-h", exe], check=True, capture_output=True, text=True).stdout
    names, previous = set(), None
    for line in headers.splitlines():
        fields = line.split()
        if len(fields) >= 7 and fields[0].isdigit():
            previous = fields[1]
        elif previous and "CODE" in line:
            names.add(previous)
            previous = None
    return names


def disassemble(exe, objdump, start=None, stop=None):
    command = [objdump, "-d", "--no-show-raw-insn", exe]
    if start is not None:
        command[3:3] = ["--start-address=0x%x" % start, "--stop-address=0x%x" % stop]
    text = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    found = {}
    for line in text.splitlines():
        match = INSTRUCTION.match(line)
        if match:
            found[int(match.group(1), 16)] = match.group(2).strip()
    return found


def code_instructions(exe, objdump, code):
    """Address -> instruction text for every instruction inside code. Where
    the linear sweep ran out of step (padding between pieces decoded as a
    longer instruction), the piece is decoded again from its first byte."""
    found = disassemble(exe, objdump)
    for start, end, _, _ in code:
        if start not in found:
            for address in [a for a in found if start <= a < end]:
                del found[address]
            found.update(disassemble(exe, objdump, start, end))
    starts = [piece[0] for piece in code]
    result = {}
    for address, text in found.items():
        index = bisect.bisect_right(starts, address) - 1
        if index >= 0 and address < code[index][1]:
            result[address] = (text, index)
    return result


def mnemonic_of(text):
    words = text.split()
    while words and words[0] in PREFIXES:
        words.pop(0)
    return (words[0] if words else ""), " ".join(words[1:])


def newer_than(floor, text):
    """Why an instruction is newer than the floor, or None."""
    mnemonic, operands = mnemonic_of(text)
    if mnemonic == "nop" and operands:
        mnemonic = "nopl"  # 0F 1F with an operand; the one-byte NOP has none
    for pattern, why in NEWER_THAN_PENTIUM + (NEWER_THAN_486 if floor == "i486" else []):
        if re.fullmatch(pattern, mnemonic):
            return why
    if NEW_REGISTERS.search(operands):
        return "MMX, SSE or later register"
    return None


def demangle(names, cxxfilt):
    if not names:
        return {}
    mangled = sorted(names)
    out = subprocess.run([cxxfilt, "--no-strip-underscore"], input="\n".join(mangled), check=True,
                         capture_output=True, text=True).stdout
    return dict(zip(mangled, out.splitlines()))


class LocalSymbols:
    """The code symbols, static ones included, of the objects the map names
    ("lib.a(member.o)" or "file.obj"), by section name and offset in it:
    the functions of an object built without a section per function."""

    HEADER = re.compile(r"^\s*(\d+) (\S+)\s+[0-9a-f]{8}\s")
    SYMBOL = re.compile(r"^\[\s*\d+\]\(sec\s+(\d+)\).*\s0x([0-9a-f]+) (\S+)$")

    def __init__(self, objdump):
        self.objdump = objdump
        self.by_file = {}

    def of(self, where, section):
        match = re.fullmatch(r"(.*)\((.*)\)", where)
        path, member = (match.group(1), match.group(2)) if match else (where, None)
        if path not in self.by_file:
            self.by_file[path] = self.read(path)
        return self.by_file[path].get((member, section), [])

    def read(self, path):
        found = {}
        try:
            out = subprocess.run([self.objdump, "-h", "-t", path], check=True,
                                 capture_output=True, text=True).stdout
        except (OSError, subprocess.CalledProcessError):
            return found
        member, sections = None, {}
        for line in out.splitlines():
            if "file format" in line:
                name = line.split(":")[0].strip()
                member, sections = (None if name == path else name), {}
            elif self.HEADER.match(line):
                index, name = self.HEADER.match(line).groups()
                sections[int(index) + 1] = name  # symbols count sections from 1
            elif self.SYMBOL.match(line):
                number, value, name = self.SYMBOL.match(line).groups()
                if int(number) in sections and not name.startswith("."):
                    found.setdefault((member, sections[int(number)]), []).append((int(value, 16), name[1:]))
        for symbols in found.values():
            symbols.sort()
        return found


def function_of(piece, address, symbols, local):
    """The function an instruction is in: the piece's own name for a
    function section, else the object's last text symbol before it, else
    the last global symbol before it in the piece."""
    start, _, name, where = piece
    own = re.fullmatch(r"\.text[$.](?:(?:unlikely|startup|hot|exit)(?:\.|$))?(.*)", name)
    if own and own.group(1):
        return own.group(1)
    candidates = [symbol for symbol in local.of(where, name) if symbol[0] <= address - start]
    if candidates:
        return candidates[-1][1]
    index = bisect.bisect_right(symbols, (address, "\uffff")) - 1
    if index >= 0 and symbols[index][0] >= start:
        return symbols[index][1]
    return "(a function whose name the object does not keep)"


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--floor", choices=("i486", "i586"), default="i486")
    parser.add_argument("exe")
    parser.add_argument("map")
    parser.add_argument("objdump", nargs="?", default="i686-w64-mingw32-objdump")
    args = parser.parse_args(argv)
    cxxfilt = re.sub(r"objdump$", "c++filt", args.objdump)
    local = LocalSymbols(args.objdump)

    if os.path.getmtime(args.map) < os.path.getmtime(args.exe) - 2:
        print("%s is older than %s: not the map of this link" % (args.map, args.exe))
        return 1
    code, symbols = read_map(args.map, code_outputs_of(args.exe, args.objdump))
    instructions = code_instructions(args.exe, args.objdump, code)
    if not instructions:
        print("no instructions in the code the map names: the map of another program?")
        return 1

    offending = {}
    for address in sorted(instructions):
        text, index = instructions[address]
        why = newer_than(args.floor, text)
        if why:
            function = function_of(code[index], address, symbols, local)
            offending.setdefault((function, code[index][3]), []).append((address, text, why))
    names = demangle({function for function, _ in offending}, cxxfilt)

    failed = 0
    for (function, where), found in sorted(offending.items(), key=lambda item: item[1][0][0]):
        readable = names.get(function, function)
        allowed = [reason for pattern, floors, reason in ALLOWED
                   if args.floor in floors and re.search(pattern, readable)]
        head = "allowed" if allowed else "NEWER THAN %s" % args.floor.upper()
        print("%s: %s  [%s]" % (head, readable, os.path.basename(where)))
        if allowed:
            print("    because %s" % allowed[0])
        else:
            failed += len(found)
        for address, text, why in found:
            print("    0x%08x  %-40s %s" % (address, text, why))
    print("%d instructions checked in %d pieces of code; %d newer than %s outside the allowed functions"
          % (len(instructions), len(code), failed, args.floor))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
