#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""make_wheel.py: packs a static hdrtune binary, its manual page, its licence
and the Python package beside this script into the wheel of one release
architecture, with nothing but the standard library.

    make_wheel.py --arch ARCH --version VERSION --binary FILE --manual FILE
                  --licence FILE --out DIR

prints the path of the wheel it wrote in DIR. The wheel depends on nothing
but its inputs and SOURCE_DATE_EPOCH (every entry's time stamp, 1980 if
unset or earlier): entries are in a fixed order, with fixed modes and
compression, so that the same inputs give the same bytes.
"""

import argparse
import base64
import hashlib
import os
import sys
import time
import zipfile
from typing import Dict, List, Tuple

PACKAGE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "hdrtune")

# Release architecture -> the machine name in platform tags (uname -m there).
MACHINES = {
    "x86_64": "x86_64", "i686": "i686", "aarch64": "aarch64", "armhf": "armv7l",
    "ppc64el": "ppc64le", "s390x": "s390x", "riscv64": "riscv64",
}
# The binary is static: it needs no C library at all, so each wheel carries
# the oldest manylinux and musllinux tags of its machine. glibc 2.5 is the
# floor of x86 (manylinux1), 2.17 of every other machine (manylinux2014);
# the legacy alias is added where one exists, for pip before 20.3. musl 1.1
# is the oldest musllinux policy.
LEGACY_MANYLINUX = {"x86_64": "manylinux1", "i686": "manylinux1", "aarch64": "manylinux2014",
                    "armv7l": "manylinux2014", "ppc64le": "manylinux2014", "s390x": "manylinux2014"}
OLDEST_GLIBC = {"x86_64": "2_5", "i686": "2_5"}
OLDEST_MUSL = "1_1"
# The oldest Python the package runs on (its syntax is checked against it).
REQUIRES_PYTHON = "3.6"

SUMMARY = "Edit and check the machine, type, OSABI, ABI version and flags in ELF file headers"
DESCRIPTION = """\
hdrtune edits five fields of the ELF file header in place (the machine, the
file type, the OSABI, the ABI version and the flags), in ELF files and in
every member of ar archives, one file or a whole tree, and checks them in CI.

This wheel carries the static hdrtune binary for its architecture, which runs
on any Linux of that architecture. `hdrtune` (or `python -m hdrtune`) runs
it; the module runs it with `--json`:

```python
import hdrtune
result = hdrtune.check(["sysroot"], recursive=True, output_osabi="FreeBSD")
print([header["name"] for header in result.headers], result.summary["exit_status"])
```
"""


def platform_tags(arch: str) -> List[str]:
    """The platform tags of the wheel for a release architecture."""
    machine = MACHINES[arch]
    tags = ["manylinux_{}_{}".format(OLDEST_GLIBC.get(machine, "2_17"), machine)]
    if machine in LEGACY_MANYLINUX:
        tags.append("{}_{}".format(LEGACY_MANYLINUX[machine], machine))
    tags.append("musllinux_{}_{}".format(OLDEST_MUSL, machine))
    return tags


def wheel_name(version: str, arch: str) -> str:
    """The wheel's file name: one name for all its platform tags."""
    return "hdrtune-{}-py3-none-{}.whl".format(version, ".".join(platform_tags(arch)))


def read(path: str) -> bytes:
    with open(path, "rb") as file:
        return file.read()


def text_files(version: str, arch: str) -> Dict[str, str]:
    """The dist-info files, but RECORD."""
    info = "hdrtune-{}.dist-info/".format(version)
    wheel = "Wheel-Version: 1.0\nGenerator: hdrtune make_wheel.py\nRoot-Is-Purelib: false\n"
    wheel += "".join("Tag: py3-none-{}\n".format(tag) for tag in platform_tags(arch))
    metadata = ("Metadata-Version: 2.1\nName: hdrtune\nVersion: {}\nSummary: {}\nLicense: MIT\n"
                "Classifier: License :: OSI Approved :: MIT License\n"
                "Classifier: Operating System :: POSIX :: Linux\n"
                "Classifier: Programming Language :: Python :: 3\n"
                "Requires-Python: >={}\nDescription-Content-Type: text/markdown\n\n{}").format(
                    version, SUMMARY, REQUIRES_PYTHON, DESCRIPTION)
    entry_points = "[console_scripts]\nhdrtune = hdrtune.__main__:main\n"
    return {info + "WHEEL": wheel, info + "METADATA": metadata, info + "entry_points.txt": entry_points}


def wheel_entries(args: argparse.Namespace) -> List[Tuple[str, bytes, int]]:
    """Every entry but RECORD, as (name, bytes, mode), in the wheel's order:
    the package first, the data, then the dist-info files."""
    entries = []
    for name in sorted(os.listdir(PACKAGE_DIR)):
        if name.endswith(".py"):
            entries.append(("hdrtune/" + name, read(os.path.join(PACKAGE_DIR, name)), 0o644))
    entries.append(("hdrtune/py.typed", b"", 0o644))
    entries.append(("hdrtune/bin/hdrtune", read(args.binary), 0o755))
    data = "hdrtune-{}.data/data/share/".format(args.version)
    entries.append((data + "man/man1/hdrtune.1", read(args.manual), 0o644))
    entries.append((data + "doc/hdrtune/LICENSE", read(args.licence), 0o644))
    info = "hdrtune-{}.dist-info/".format(args.version)
    entries.append((info + "LICENSE", read(args.licence), 0o644))
    for name, text in sorted(text_files(args.version, args.arch).items()):
        entries.append((name, text.encode("utf-8"), 0o644))
    return entries


def record_line(name: str, data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "{},sha256={},{}\n".format(name, digest, len(data))


def write_wheel(path: str, entries: List[Tuple[str, bytes, int]], record_name: str) -> None:
    stamp = time.gmtime(max(int(os.environ.get("SOURCE_DATE_EPOCH", "0")), 315532800))[:6]
    record = "".join(record_line(name, data) for name, data, _ in entries) + record_name + ",,\n"
    with zipfile.ZipFile(path, "w") as wheel:
        for name, data, mode in entries + [(record_name, record.encode(), 0o644)]:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3  # Unix, so that the mode below is read
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data, compresslevel=9)


def main() -> int:
    parser = argparse.ArgumentParser(description="Write the hdrtune wheel of one architecture.")
    parser.add_argument("--arch", required=True, choices=sorted(MACHINES))
    for name in ("version", "binary", "manual", "licence", "out"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    path = os.path.join(args.out, wheel_name(args.version, args.arch))
    record_name = "hdrtune-{}.dist-info/RECORD".format(args.version)
    write_wheel(path, wheel_entries(args), record_name)
    print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
