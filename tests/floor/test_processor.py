"""The processor-floor checker finds the instructions a 486 or a Pentium
lacks in the code the linker's map names, names their functions, and leaves
alone the exception tables in .text and the functions that ask CPUID first:
on an executable told by a stand-in objdump and a map written here."""

import contextlib
import io
import os
import shutil
import stat
import tempfile
import textwrap
import unittest

import check_processor

HEADERS = """
program.exe:     file format pei-i386

Sections:
Idx Name          Size      VMA       LMA       File off  Algn
  0 .text         00000100  00401000  00401000  00000400  2**2
                  CONTENTS, ALLOC, LOAD, READONLY, CODE, DATA
  1 .rdata        00000100  00402000  00402000  00000600  2**2
                  CONTENTS, ALLOC, LOAD, READONLY, DATA
"""

# The map's .text: a function section whose long name stands on a line of
# its own, an object's plain .text with two global functions, the
# random_device helper, and the exception tables after the code.
MAP = """
Linker script and memory map

.text           0x00401000      0x100
 *(.text)
 .text          0x00401000       0x20 /usr/lib/libexample.a(parse.o)
                0x00401000                parse_number
                0x00401010                parse_sign
 .text$_ZN6tavrel16LongFunctionNameEv
                0x00401020       0x20 libtavrel_logic.a(Long.cpp.obj)
                0x00401020                tavrel::LongFunctionName()
 .text$_ZNSt12_GLOBAL__N_112__x86_rdrandEPv
                0x00401040       0x20 /usr/lib/libstdc++.a(random.o)
 *(.gcc_except_table)
 .gcc_except_table
                0x00401060       0x20 libtavrel_logic.a(Long.cpp.obj)

.rdata          0x00402000      0x100
"""


def quiet(main, args):
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        status = main(args)
    return status, out.getvalue()


class ProcessorFloorTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)

    def write(self, name, text, executable=False):
        path = os.path.join(self.folder, name)
        with open(path, "w") as f:
            f.write(text)
        if executable:
            os.chmod(path, os.stat(path).st_mode | stat.S_IEXEC)
        return path

    def check(self, code, floor="i486"):
        """Runs the checker on an executable whose .text disassembles to
        code, a list of (address, instruction)."""
        listing = "\n".join("  %x:\t%s" % (address, text) for address, text in code)
        self.write("headers.txt", textwrap.dedent(HEADERS))
        self.write("listing.txt", "\nDisassembly of section .text:\n\n" + listing + "\n")
        objdump = self.write("i686-w64-mingw32-objdump", textwrap.dedent("""\
            #!/bin/sh
            case " $* " in
              *" -h -t "*) exit 0 ;;
              *" -h "*) cat '%s' ;;
              *) cat '%s' ;;
            esac
            """) % (os.path.join(self.folder, "headers.txt"), os.path.join(self.folder, "listing.txt")),
            True)
        # The stand-in demangler knows the two C++ names of the map.
        self.write("i686-w64-mingw32-c++filt", textwrap.dedent("""\
            #!/bin/sh
            sed -e 's/^_ZN6tavrel16LongFunctionNameEv$/tavrel::LongFunctionName()/' \\
                -e 's/^_ZNSt12_GLOBAL__N_112__x86_rdrandEPv$/std::(anonymous namespace)::__x86_rdrand(void*)/'
            """), True)
        exe = self.write("program.exe", "")
        map_file = self.write("program.map", textwrap.dedent(MAP))
        return quiet(check_processor.main, ["--floor", floor, exe, map_file, objdump])

    # Enough plain instructions in every piece for the checker to trust the map.
    PLAIN = [(0x401000 + i, "mov    %eax,%ebx") for i in range(0, 0x60, 0x2)]

    def with_code(self, *extra):
        code = dict(self.PLAIN)
        code.update(extra)
        return sorted(code.items())

    def test_plain_486_code_passes(self):
        status, out = self.check(self.with_code((0x401002, "nop"), (0x401004, "lock cmpxchg %ecx,(%edx)")))
        self.assertEqual(0, status, out)

    def test_a_cmov_fails_naming_its_function_and_object(self):
        status, out = self.check(self.with_code((0x401012, "cmovne %edx,%eax"),
                                                (0x401024, "fcomip %st(1),%st")))
        self.assertEqual(1, status, out)
        self.assertIn("NEWER THAN I486: parse_sign  [libexample.a(parse.o)]", out)
        self.assertIn("NEWER THAN I486: tavrel::LongFunctionName()  [libtavrel_logic.a(Long.cpp.obj)]", out)
        self.assertIn("2 newer than i486", out)

    def test_long_nops_mmx_and_sse_registers_fail(self):
        status, out = self.check(self.with_code((0x401002, "nopw   0x0(%eax,%eax,1)"),
                                                (0x401004, "movq   %mm0,%mm1"),
                                                (0x401006, "xorps  %xmm0,%xmm0")))
        self.assertEqual(1, status, out)
        self.assertIn("long NOP", out)
        self.assertIn("3 newer than i486", out)

    def test_pentium_instructions_fail_on_the_486_only(self):
        code = self.with_code((0x401002, "cpuid"), (0x401004, "rdtsc"), (0x401006, "lock cmpxchg8b (%esi)"))
        status, out = self.check(code, "i486")
        self.assertEqual(1, status, out)
        self.assertIn("3 newer than i486", out)
        status, out = self.check(code, "i586")
        self.assertEqual(0, status, out)

    def test_exception_tables_in_text_are_not_code(self):
        status, out = self.check(self.with_code((0x401062, "cmovbe (%esi),%eax"), (0x401070, "(bad)")))
        self.assertEqual(0, status, out)

    def test_the_rdrand_helper_is_allowed_with_its_reason(self):
        status, out = self.check(self.with_code((0x401042, "rdrand %eax"), (0x401046, "cmovb  %edx,%eax")))
        self.assertEqual(0, status, out)
        self.assertIn("allowed: std::(anonymous namespace)::__x86_rdrand(void*)", out)
        self.assertIn("only after CPUID reports RDRAND", out)

    def test_a_map_older_than_the_executable_fails(self):
        self.check(self.PLAIN)
        os.utime(os.path.join(self.folder, "program.map"), (0, 0))
        status, out = quiet(check_processor.main, [os.path.join(self.folder, "program.exe"),
                                                   os.path.join(self.folder, "program.map"),
                                                   os.path.join(self.folder, "i686-w64-mingw32-objdump")])
        self.assertEqual(1, status, out)
        self.assertIn("not the map of this link", out)


if __name__ == "__main__":
    unittest.main()
