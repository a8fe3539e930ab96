# SPDX-License-Identifier: MIT
"""slow-reader.py SIGNAL OUT COMMAND...: runs COMMAND with its standard
output on a pipe that nobody reads until COMMAND is blocked writing to it
(the pipe is full and the process sleeps); then sends it SIGNAL, and only
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


while not (queued() >= capacity and sleeping()):
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
