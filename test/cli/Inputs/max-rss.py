# SPDX-License-Identifier: MIT
"""max-rss.py LIMIT_KIB COMMAND...: runs COMMAND and exits with its status,
or with 1 after a line on standard error when its peak resident memory went
over LIMIT_KIB."""
import resource
import subprocess
import sys

limit = int(sys.argv[1])
status = subprocess.call(sys.argv[2:])
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
if peak > limit:
    sys.stderr.write("max-rss: %d KiB, over the limit of %d KiB\n" % (peak, limit))
    sys.exit(1)
sys.exit(status)
