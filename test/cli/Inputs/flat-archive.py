# SPDX-License-Identifier: MIT
"""Large archives of bare ELF headers, for tests that need many members.

make COUNT OBJECT ARCHIVE: writes ARCHIVE with COUNT members mN.o, each the
  first 64 bytes of OBJECT (a 64-bit ELF header).
edited ARCHIVE: prints "ARCHIVE(mN.o): OSABI none -> FreeBSD" for each member
  whose OSABI byte is 9, in archive order: the list a run that set it prints.
fields ARCHIVE: prints "COUNT members: OSABI O, type T" for each pair of
  values the members' headers hold.
"""
import sys

HEADER = b"%-16s%-12s%-6s%-6s%-8s%-10s`\n"


def make(count, obj, archive):
    elf = open(obj, "rb").read(64)
    with open(archive, "wb") as out:
        out.write(b"!<arch>\n")
        for i in range(count):
            name = b"m%d.o/" % i
            out.write(HEADER % (name, b"0", b"0", b"0", b"644", b"64") + elf)


def edited(archive):
    data = open(archive, "rb").read()
    pos = 8
    while pos < len(data):
        name = data[pos:pos + 16].split(b"/")[0].decode()
        if data[pos + 60 + 7] == 9:
            print("%s(%s): OSABI none -> FreeBSD" % (archive, name))
        pos += 60 + 64


def fields(archive):
    data = open(archive, "rb").read()
    counts = {}
    for pos in range(8, len(data), 60 + 64):
        header = data[pos + 60:pos + 124]
        key = (header[7], int.from_bytes(header[16:18], "little"))
        counts[key] = counts.get(key, 0) + 1
    for (osabi, e_type), count in sorted(counts.items()):
        print("%d members: OSABI %d, type %d" % (count, osabi, e_type))


if sys.argv[1] == "make":
    make(int(sys.argv[2]), sys.argv[3], sys.argv[4])
elif sys.argv[1] == "fields":
    fields(sys.argv[2])
else:
    edited(sys.argv[2])
