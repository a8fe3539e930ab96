# SPDX-License-Identifier: MIT
"""slow-reader.py SIGNAL OUT COMMAND...: runs COMMAND with its standard
output on a pipe that nobody reads until COMMAND is blocked writing to it
(the process sleeps in its write to the full pipe); then sends it SIGNAL, and only
after that reads everything into OUT. Prints "status N" as a shell would
(128 plus the signal's number for a process killed by a signal)."""
import fcntl
import os
import signal
import subprocess
import sys
import termios
import time

signum = getattr(signal, "SIG" + sys.argv[1])
read_end, write_end = os.pipe()
capacity = fcntl.fcntl(read_end, 1032)  # F_GETPIPE_SZ
child = subprocess.Popen(sys.argv[3:], stdout=write_end)
os.close(write_end)


def queued():
    return int.from_bytes(fcntl.ioctl(read_end, termios.FIONREAD, b"\0" * 4), "little")


def sleeping():
    with open("/proc/%d/stat" % child.pid) as stat:
        return stat.read().rsplit(")", 1)[1].split()[0] == "S"


# Blocked writing to the pipe: the kernel says so where it names the wait.
# Elsewhere, asleep with the pipe at least half full: the tool writes whole
# lines, each write on pages of its own, so a pipe it fills may hold well
# short of its capacity.
def blocked_writing():
    try:
        with open("/proc/%d/wchan" % child.pid) as wchan:
            waiting_in = wchan.read().strip()
    except OSError:
        waiting_in = ""
    if waiting_in not in ("", "0"):
        return "pipe_write" in waiting_in
    return queued() >= capacity // 2 and sleeping()


while not blocked_writing():
    if child.poll() is not None:
        sys.exit("slow-reader: the command ended before it filled the pipe")
    time.sleep(0.01)
child.send_signal(signum)
with open(sys.argv[2], "wb") as out:
    while True:
        data = os.read(read_end, 65536)
        if not data:
            break
        out.write(data)
status = child.wait()
print("status %d" % (128 - status if status < 0 else status))
