#!/usr/bin/env python3
"""Lists what a PE program imports, static and delay-loaded, and its header
flags, so that tests can check them without the toolchain's objdump.

    pe_imports.py PROGRAM.exe        one line a function: KIND DLL FUNCTION
    pe_imports.py --flags PROGRAM.exe  MACHINE and the DllCharacteristics bits

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
        directories = opt + (112 if self.pe32plus else 96)
        self.import_rva = struct.unpack_from("<I", data, directories + 8)[0]
        self.sections = []
        first = opt + opt_size
        for i in range(sections):
            name, vsize, va, rsize, raw = struct.unpack_from("<8sIIII", data, first + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), va, max(vsize, rsize), raw, rsize))

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

    def delay_imports(self):
        result = []
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
                if self.offset(hmod) is None or self.offset(iat) is None:
                    continue
                names = self.thunk_names(int_rva)
                if not names or (dll, int_rva) in seen:
                    continue
                seen.add((dll, int_rva))
                result.extend(("delay", dll, function) for function in names)
        return result


FLAGS = {0x0020: "HIGH_ENTROPY_VA", 0x0040: "DYNAMIC_BASE", 0x0100: "NX_COMPAT",
         0x8000: "TERMINAL_SERVER_AWARE"}
MACHINES = {0x14C: "i386", 0x8664: "x86-64", 0xAA64: "arm64"}


def main(argv):
    flags = argv[1:2] == ["--flags"]
    path = argv[-1]
    with open(path, "rb") as f:
        image = Image(f.read())
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
