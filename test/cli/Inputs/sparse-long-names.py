# SPDX-License-Identifier: MIT
"""sparse-long-names.py SIZE OBJECT ARCHIVE [START]: writes ARCHIVE with a
long-name table that claims SIZE bytes, of which only its start is written
(the bytes of the file START, else "a-long-member-name.o/" and a newline)
and the rest is a hole, and one member named "/0", the first 64 bytes of
OBJECT, behind the table."""
import sys

HEADER = b"%-16s%-12s%-6s%-6s%-8s%-10s`\n"
size, obj, archive = int(sys.argv[1]), sys.argv[2], sys.argv[3]
start = open(sys.argv[4], "rb").read() if len(sys.argv) > 4 else b"a-long-member-name.o/\n"
with open(archive, "wb") as out:
    out.write(b"!<arch>\n" + HEADER % (b"//", b"0", b"0", b"0", b"0", b"%d" % size))
    out.write(start)
    out.seek(8 + 60 + size + size % 2)
    out.write(HEADER % (b"/0", b"0", b"0", b"0", b"644", b"64") + open(obj, "rb").read(64))
