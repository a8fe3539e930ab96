# SPDX-License-Identifier: MIT
"""make-name-archive.py KIND COUNT OBJECT ARCHIVE: writes an archive of COUNT
members, each the first 64 bytes of OBJECT, that is hard on member names.

KIND descending: a System V archive whose long-name table holds COUNT names
and whose members refer to them from the table's end to its start;
ascending: the same, referred to from its start to its end; random: the
same, referred to in an order shuffled with a fixed seed, so that every run
makes the same archive.
KIND sparse-bsd: members named "#1/1048576", each a short name padded to a
mebibyte with NUL bytes that are a hole in the file."""
import random
import sys

HEADER = b"%-16s%-12s%-6s%-6s%-8s%-10s`\n"
kind, count, obj, archive = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
elf = open(obj, "rb").read(64)


def header(name, size, mode=b"644"):
    return HEADER % (name, b"0", b"0", b"0", mode, b"%d" % size)


with open(archive, "wb") as out:
    out.write(b"!<arch>\n")
    if kind in ("descending", "ascending", "random"):
        names = [b"member-with-a-long-name-%07d.o/\n" % i for i in range(count)]
        offsets, at = [], 0
        for name in names:
            offsets.append(at)
            at += len(name)
        out.write(header(b"//", at, b"0") + b"".join(names) + (b"\n" if at % 2 else b""))
        member = []
        order = list(range(count))
        if kind == "descending":
            order.reverse()
        elif kind == "random":
            random.Random(20261210).shuffle(order)
        for i in order:
            member.append(header(b"/%d" % offsets[i], 64) + elf)
        out.write(b"".join(member))
    elif kind == "sparse-bsd":
        claim = 1024 * 1024
        for i in range(count):
            out.write(header(b"#1/%d" % claim, claim + 64) + b"m%07d.o" % i)
            out.seek(claim - 10, 1)
            out.write(elf)
    else:
        sys.exit("unknown kind " + kind)
