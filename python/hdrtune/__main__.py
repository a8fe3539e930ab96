# SPDX-License-Identifier: MIT
"""The console script hdrtune and python -m hdrtune: the bundled binary runs
in place of this process, so that its standard streams, exit status and
signals are the caller's own, exactly as if it had been run directly."""

import os
import signal
import sys

from hdrtune import binary_path


def main() -> None:
    """Replace this process with the bundled hdrtune and the arguments given."""
    binary = binary_path()
    # A stream is None when its descriptor was closed: the binary then finds
    # it closed too, as it would run directly.
    for stream in (sys.stdout, sys.stderr):
        if stream is not None:
            stream.flush()
    # Python ignores SIGPIPE and SIGXFSZ for itself, and an ignored signal
    # stays ignored across exec; the binary gets them as any program does.
    for name in ("SIGPIPE", "SIGXFSZ"):
        if hasattr(signal, name):
            signal.signal(getattr(signal, name), signal.SIG_DFL)
    try:
        os.execv(binary, ["hdrtune"] + sys.argv[1:])
    except OSError as error:
        if sys.stderr is not None:
            sys.stderr.write("hdrtune: cannot run {}: {}\n".format(binary, error.strerror))
        sys.exit(126)


if __name__ == "__main__":
    main()
