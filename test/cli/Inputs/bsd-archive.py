# SPDX-License-Identifier: MIT
"""Archives named the BSD way ("#1/N": the name starts the member's data), and
what an edit of them must leave.

straddle OBJECT ARCHIVE: writes ARCHIVE with four members of OBJECT's first 64
  bytes (an ELF64 header), each under a 40-byte "#1/40" name, sized so that
  in a walk that reads 64 KiB windows from each offset it can't find in the
  window, m2's header ends 20 bytes before an edge and its name crosses it,
  and m3's ELF header starts 10 bytes before the next edge.
expected ARCHIVE OUT OSABI TYPE: writes OUT, a copy of ARCHIVE in which every
  ELF header (each "\\x7fELF" in the file) has the OSABI byte OSABI and, in its
  own byte order, the e_type TYPE: what editing every member must give.
thin ARCHIVE OUT: writes OUT, a thin archive with a reference "/0:OFFSET" to
  each member header of ARCHIVE (an archive without an index).
list ARCHIVE: prints the line --list gives for each member that `llvm-ar t`
  names, with the values `llvm-readelf -h` reads from the extracted member.
"""
import os
import subprocess
import sys
import tempfile

HEADER = b"%-16s%-12s%-6s%-6s%-8s%-10s`\n"


def member(name, data):
    data = name.ljust(40, b"\0") + data
    header = HEADER % (b"#1/40", b"0", b"0", b"0", b"644", b"%d" % len(data))
    return header + data + b"\n" * (len(data) % 2)


def straddle(obj, archive):
    elf = open(obj, "rb").read(64)
    # Member sizes (name, header and padding): the first leaves the window
    # read from offset 0; each later one starts a window at its own header, or
    # (for a name across an edge) at its name.
    sizes = [70000, 65396, 65426, 104]
    with open(archive, "wb") as out:
        out.write(b"!<arch>\n")
        for i, size in enumerate(sizes):
            name = b"m%d-a-name-that-fills-its-forty.o" % i
            out.write(member(name, elf + b"\0" * (size - 40 - 64)))


def thin(archive, out):
    data = open(archive, "rb").read()
    table = archive.encode() + b"/\n"
    refs = b""
    at = 8
    while at < len(data):
        size = int(data[at + 48:at + 58])
        refs += HEADER % (b"/0:%d" % at, b"0", b"0", b"0", b"644", b"%d" % size)
        at += 60 + size + size % 2
    with open(out, "wb") as f:
        f.write(b"!<thin>\n" + HEADER % (b"//", b"", b"", b"", b"", b"%d" % len(table)))
        f.write(table + b"\n" * (len(table) % 2) + refs)


def expected(archive, out, osabi, e_type):
    data = bytearray(open(archive, "rb").read())
    at = data.find(b"\x7fELF")
    while at >= 0:
        data[at + 7] = osabi
        order = "little" if data[at + 5] == 1 else "big"
        data[at + 16:at + 18] = e_type.to_bytes(2, order)
        at = data.find(b"\x7fELF", at + 1)
    open(out, "wb").write(data)


KEYWORDS = {
    "Advanced Micro Devices X86-64": "x86_64",
    "Intel 80386": "i386",
    "REL (Relocatable file)": "rel",
    "EXEC (Executable file)": "exec",
    "DYN (Shared object file)": "dyn",
    "UNIX - System V": "none",
    "UNIX - NetBSD": "NetBSD",
    "UNIX - FreeBSD": "FreeBSD",
}


def values(path):
    text = subprocess.run(["llvm-readelf", "-h", path], capture_output=True, text=True,
                          check=True).stdout
    fields = {}
    for line in text.splitlines():
        key, _, value = line.strip().partition(":")
        fields[key] = KEYWORDS.get(value.strip(), value.strip())
    return "machine %s, type %s, OSABI %s" % (fields["Machine"], fields["Type"], fields["OS/ABI"])


def list_members(archive):
    archive = os.path.abspath(archive)
    names = subprocess.run(["llvm-ar", "t", archive], capture_output=True, text=True,
                           check=True).stdout.splitlines()
    with tempfile.TemporaryDirectory() as scratch:
        subprocess.run(["llvm-ar", "x", archive], cwd=scratch, check=True)
        for name in names:
            print("%s(%s): %s" % (sys.argv[2], name, values(os.path.join(scratch, name))))


if sys.argv[1] == "straddle":
    straddle(sys.argv[2], sys.argv[3])
elif sys.argv[1] == "thin":
    thin(sys.argv[2], sys.argv[3])
elif sys.argv[1] == "expected":
    expected(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
else:
    list_members(sys.argv[2])
