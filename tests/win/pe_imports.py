#!/usr/bin/env python3
"""Lists what a PE program imports, static and delay-loaded, and its header
flags, so that tests can check them without the toolchain's objdump.

    pe_imports.py PROGRAM.exe        one line a function: KIND DLL FUNCTION
    pe_imports.py --flags PROGRAM.exe  MACHINE and the DllCharacteristics bits
    pe_imports.py --delay-tables PROGRAM.exe
                                     checks each delay-load descriptor's tables
                                     (one line a problem; exit 1 if any)

MinGW's linker leaves the delay-import directory of the header empty, so the
delay descriptors are found by their shape instead: attributes 1 (RVAs), a
name RVA that points at a DLL name, and import name and address tables that
lie inside the image.
"""
import struct
import sys


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not a PE program (no MZ header)")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE program (no PE signature)")
        self.machine, sections, _, _, _, opt_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.pe32plus = magic == 0x20B
        self.dll_characteristics = struct.unpack_from("<H", data, opt + 70)[0]
        if self.pe32plus:
            self.image_base = struct.unpack_from("<Q", data, opt + 24)[0]
        else:
            self.image_base = struct.unpack_from("<I", data, opt + 28)[0]
        self.image_size = struct.unpack_from("<I", data, opt + 56)[0]
        directories = opt + (112 if self.pe32plus else 96)
        self.import_rva = struct.unpack_from("<I", data, directories + 8)[0]
        self.sections = []
        self.code = []
        first = opt + opt_size
        for i in range(sections):
            name, vsize, va, rsize, raw = struct.unpack_from("<8sIIII", data, first + 40 * i)
            flags = struct.unpack_from("<I", data, first + 40 * i + 36)[0]
            self.sections.append((name.rstrip(b"\0").decode(), va, max(vsize, rsize), raw, rsize))
            if flags & 0x20000000:  # IMAGE_SCN_MEM_EXECUTE
                self.code.append((va, max(vsize, rsize)))

    def offset(self, rva):
        for _, va, size, raw, rsize in self.sections:
            if va <= rva < va + size and rva - va < rsize:
                return raw + rva - va
        return None

    def cstring(self, rva):
        off = self.offset(rva)
        if off is None:
            return None
        end = self.data.find(b"\0", off, off + 256)
        return None if end < 0 else self.data[off:end].decode("latin-1")

    def thunk_names(self, rva):
        """Names of an import name table (ordinals as '#n')."""
        size = 8 if self.pe32plus else 4
        flag = 1 << (63 if self.pe32plus else 31)
        names = []
        off = self.offset(rva)
        while off is not None:
            value = struct.unpack_from("<Q" if self.pe32plus else "<I", self.data, off)[0]
            if value == 0:
                return names
            if value & flag:
                names.append("#%d" % (value & 0xFFFF))
            else:
                name = self.cstring(value + 2)
                if name is None:
                    return None
                names.append(name)
            off += size
        return None

    def static_imports(self):
        result = []
        off = self.offset(self.import_rva) if self.import_rva else None
        while off is not None:
            lookup, _, _, name_rva, iat = struct.unpack_from("<IIIII", self.data, off)
            if name_rva == 0:
                break
            dll = self.cstring(name_rva)
            for function in self.thunk_names(lookup or iat) or []:
                result.append(("static", dll, function))
            off += 20
        return result

    def inside(self, rva):
        return any(va <= rva < va + size for _, va, size, _, _ in self.sections)

    def in_code(self, rva):
        return any(va <= rva < va + size for va, size in self.code)

    def slots(self, rva):
        """The entries of a name table or an address table up to its zero
        entry, or None when the table runs out of the file first."""
        size = 8 if self.pe32plus else 4
        values = []
        off = self.offset(rva)
        while off is not None and off + size <= len(self.data):
            value = struct.unpack_from("<Q" if self.pe32plus else "<I", self.data, off)[0]
            if value == 0:
                return values
            values.append(value)
            rva += size
            off = self.offset(rva)
        return None

    def static_tables(self):
        """(what, start, end) of the ordinary import tables and directory."""
        size = 8 if self.pe32plus else 4
        tables = []
        off = self.offset(self.import_rva) if self.import_rva else None
        count = 0
        while off is not None:
            lookup, _, _, name_rva, iat = struct.unpack_from("<IIIII", self.data, off)
            count += 1
            if name_rva == 0:
                break
            dll = self.cstring(name_rva)
            for what, rva in (("name table", lookup), ("address table", iat)):
                n = len(self.slots(rva) or []) if rva else 0
                if rva:
                    tables.append(("%s's import %s" % (dll, what), rva, rva + (n + 1) * size))
            off += 20
        if self.import_rva:
            tables.append(("the import directory", self.import_rva, self.import_rva + 20 * count))
        return tables

    def delay_descriptors(self):
        """(dll, name_rva, hmod, iat, int_rva) of each delay-load descriptor."""
        found = []
        seen = set()
        for name, va, size, raw, rsize in self.sections:
            if name.startswith(".debug"):
                continue
            for pos in range(raw, raw + rsize - 32 + 1, 4):
                attrs, name_rva, hmod, iat, int_rva = struct.unpack_from("<IIIII", self.data, pos)
                if attrs != 1 or not (name_rva and hmod and iat and int_rva):
                    continue
                dll = self.cstring(name_rva)
                if not dll or not dll.lower().endswith(".dll") or not dll.isprintable():
                    continue
                if (dll, int_rva) in seen or not self.thunk_names(int_rva):
                    continue
                seen.add((dll, int_rva))
                found.append((dll, name_rva, hmod, iat, int_rva))
        return found

    def delay_table_problems(self):
        """What would keep the loader's delay-load helper from filling a
        slot: tables outside the image, of unequal length, without their
        zero entry, overlapping other tables, or slots that do not start at
        the program's own thunks."""
        size = 8 if self.pe32plus else 4
        problems = []
        tables = self.static_tables()
        descriptors = self.delay_descriptors()
        if not descriptors:
            return ["no delay-load descriptor found"]
        for dll, name_rva, hmod, iat, int_rva in descriptors:
            for what, rva in (("name", name_rva), ("module handle", hmod),
                              ("address table", iat), ("name table", int_rva)):
                if not self.inside(rva) or rva >= self.image_size:
                    problems.append("%s: the delay descriptor's %s (RVA %#x) lies outside the image"
                                    % (dll, what, rva))
            names = self.slots(int_rva)
            addresses = self.slots(iat)
            if names is None or addresses is None:
                problems.append("%s: the delay %s has no zero entry in the file"
                                % (dll, "name table" if names is None else "address table"))
                continue
            if len(names) != len(addresses):
                problems.append("%s: the delay name table has %d entries, the address table %d"
                                % (dll, len(names), len(addresses)))
            for i, value in enumerate(addresses):
                target = value - self.image_base
                if value == 0 or not self.in_code(target):
                    problems.append("%s: delay slot %d starts at %#x, not in the program's code "
                                    "(a call through it would not reach the delay-load helper)"
                                    % (dll, i, value))
            tables.append(("%s's delay name table" % dll, int_rva, int_rva + (len(names) + 1) * size))
            tables.append(("%s's delay address table" % dll, iat, iat + (len(addresses) + 1) * size))
        for i, (what, start, end) in enumerate(tables):
            for other, ostart, oend in tables[i + 1:]:
                if start < oend and ostart < end:
                    problems.append("%s overlaps %s" % (what, other))
        return problems

    def delay_imports(self):
        result = []
        for dll, _, _, _, int_rva in self.delay_descriptors():
            result.extend(("delay", dll, function) for function in self.thunk_names(int_rva))
        return result


FLAGS = {0x0020: "HIGH_ENTROPY_VA", 0x0040: "DYNAMIC_BASE", 0x0100: "NX_COMPAT",
         0x8000: "TERMINAL_SERVER_AWARE"}
MACHINES = {0x14C: "i386", 0x8664: "x86-64", 0xAA64: "arm64"}


def main(argv):
    flags = argv[1:2] == ["--flags"]
    path = argv[-1]
    with open(path, "rb") as f:
        image = Image(f.read())
    if argv[1:2] == ["--delay-tables"]:
        problems = image.delay_table_problems()
        for problem in problems:
            print(problem)
        return 1 if problems else 0
    if flags:
        print("MACHINE", MACHINES.get(image.machine, hex(image.machine)))
        for bit, name in FLAGS.items():
            if image.dll_characteristics & bit:
                print(name)
        if image.characteristics & 0x0001:
            print("RELOCS_STRIPPED")
        return 0
    for kind, dll, function in image.static_imports() + image.delay_imports():
        print(kind, dll.lower(), function)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except (OSError, ValueError, struct.error) as e:
        print("pe_imports: %s" % e, file=sys.stderr)
        sys.exit(2)
