# SPDX-License-Identifier: MIT
"""long-name-archive.py SCHEME LENGTH CLAIM OBJECT ARCHIVE: writes ARCHIVE
with one member, the first 64 bytes of OBJECT, named by LENGTH bytes 'n'.
SCHEME sysv: the name stands in the long-name table, followed by '/' and a
newline when CLAIM is "slash", by a newline alone otherwise. SCHEME bsd: the
member is named "#1/CLAIM", and the name fills the first CLAIM bytes of its
data, padded with NUL bytes."""
import sys

HEADER = b"%-16s%-12s%-6s%-6s%-8s%-10s`\n"
scheme, length, claim, obj, archive = sys.argv[1:6]
length = int(length)
elf = open(obj, "rb").read(64)
name = b"n" * length
with open(archive, "wb") as out:
    out.write(b"!<arch>\n")
    if scheme == "sysv":
        table = name + (b"/\n" if claim == "slash" else b"\n")
        out.write(HEADER % (b"//", b"0", b"0", b"0", b"0", b"%d" % len(table)) + table)
        if len(table) % 2:
            out.write(b"\n")
        out.write(HEADER % (b"/0", b"0", b"0", b"0", b"644", b"64") + elf)
    else:
        claim = int(claim)
        data = name + b"\0" * (claim - length) + elf
        out.write(HEADER % (b"#1/%d" % claim, b"0", b"0", b"0", b"644", b"%d" % len(data)) + data)
