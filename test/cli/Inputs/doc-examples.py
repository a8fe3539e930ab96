# SPDX-License-Identifier: MIT
"""doc-examples.py MARKDOWN WORKDIR BINDIR: runs every example of a Markdown
document, each in a fresh empty folder of its own under WORKDIR, with BINDIR
first on the PATH, so that each must make the files it works on.

A ```sh block runs with bash -e -o pipefail and must exit with 0. A ```console
block is a transcript: each line starting "$ " is a command, run in turn in
one shell, and the lines up to the next command are what it must print (its
standard output and error together). A block after a line
"<!-- example: not run: REASON -->" is left out, and needs its reason.
Prints one line per block and exits with 1 when any example failed."""
import os
import re
import subprocess
import sys

document, workdir, bindir = sys.argv[1:4]
env = dict(os.environ, PATH=bindir + os.pathsep + os.environ["PATH"], LC_ALL="C")


def blocks(lines):
    """(kind, first line number, body lines, reason not run or None)."""
    reason = None
    i = 0
    while i < len(lines):
        line = lines[i]
        marker = re.match(r"<!-- example: not run: (.+) -->$", line)
        if marker:
            reason = marker.group(1)
        fence = re.match(r"```(\w*)$", line)
        if fence:
            end = lines.index("```", i + 1)
            if fence.group(1) in ("sh", "console"):
                yield fence.group(1), i + 1, lines[i + 1:end], reason
            reason = None
            i = end
        elif line and not line.startswith("<!--"):
            reason = None
        i += 1


def run_sh(body, folder):
    result = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", "\n".join(body)], cwd=folder,
                            env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        return "status %d:\n%s" % (result.returncode, result.stdout.decode(errors="replace"))
    return None


def run_console(body, folder):
    commands, expected = [], []
    for line in body:
        if line.startswith("$ "):
            commands.append(line[2:])
            expected.append([])
        elif commands:
            expected[-1].append(line)
    marker = "--- example command done ---"
    script = "".join("%s 2>&1\necho '%s'\n" % (c, marker) for c in commands)
    result = subprocess.run(["bash", "-c", script], cwd=folder, env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    outputs = result.stdout.decode(errors="replace").split(marker + "\n")
    for command, wanted, got in zip(commands, expected, outputs):
        if got.splitlines() != wanted:
            return "$ %s\nwanted:\n%s\ngot:\n%s" % (command, "\n".join(wanted), got)
    return None


with open(document) as text:
    lines = text.read().split("\n")
failed = False
for number, (kind, line, body, reason) in enumerate(blocks(lines), 1):
    if reason is not None:
        print("line %d: not run: %s" % (line, reason))
        continue
    folder = os.path.join(workdir, "example%d" % number)
    os.makedirs(folder)
    problem = (run_sh if kind == "sh" else run_console)(body, folder)
    print("line %d: %s %s" % (line, kind, "failed" if problem else "ok"))
    if problem:
        print(problem)
        failed = True
sys.exit(1 if failed else 0)
