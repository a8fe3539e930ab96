# SPDX-License-Identifier: MIT
"""deep-tree.py DEPTH OBJECT TOP: makes the directory TOP holding a chain of
DEPTH directories d/d/d/..., with a copy of OBJECT named x.o in TOP and in
every directory of the chain. Works below the path-length limit by
descending with directory descriptors."""
import os
import sys

depth, obj, top = int(sys.argv[1]), open(sys.argv[2], "rb").read(), sys.argv[3]
os.mkdir(top)
fd = os.open(top, os.O_RDONLY | os.O_DIRECTORY)
for level in range(depth + 1):
    out = os.open("x.o", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
    os.write(out, obj)
    os.close(out)
    if level == depth:
        break
    os.mkdir("d", dir_fd=fd)
    below = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
    os.close(fd)
    fd = below
os.close(fd)
