# SPDX-License-Identifier: MIT
"""Edit and check the fields of ELF file headers, through the hdrtune binary.

This package carries a static hdrtune binary for its architecture. The
console script ``hdrtune`` and ``python -m hdrtune`` run it with the
arguments given; the three functions below run it with ``--json`` and return
its records as dicts, as the manual page (section JSON OUTPUT) describes them:

    import hdrtune
    for header in hdrtune.headers(["libfoo.a"], input_type="rel"):
        print(header["name"], header["osabi"]["name"])

Keyword arguments are named after the options, without the dashes:
``output_osabi="FreeBSD"`` is ``--output-osabi FreeBSD``, ``dry_run=True`` is
``--dry-run``. Whatever the binary reports as an error raises HdrtuneError,
which carries the error records.
"""

import json
import os
import subprocess
import tempfile
from typing import Any, Dict, Generator, Iterable, Iterator, List, NamedTuple, Optional, Union

__all__ = ["HdrtuneError", "Result", "binary_path", "check", "edit", "headers"]

Path = Union[str, bytes, os.PathLike]
Paths = Union[Path, Iterable[Path]]
Record = Dict[str, Any]
Value = Union[str, int, bool, None]

_INPUT_OPTIONS = ("input_mach", "input_type", "input_osabi", "input_abiversion", "input_flags")
_OUTPUT_OPTIONS = ("output_mach", "output_type", "output_osabi", "output_abiversion", "output_flags")
_SWITCHES = ("skip_unmatched", "dry_run")


class HdrtuneError(Exception):
    """A run of hdrtune that failed.

    ``errors`` holds the run's error records (one for each error line the
    binary wrote), ``summary`` its summary record (None when the run ended
    before writing one, as a run killed by a signal does), ``exit_status`` the binary's
    exit status (negative: the number of the signal that ended it) and
    ``stderr`` what it wrote on its standard error stream.
    """

    def __init__(self, message: str, errors: List[Record], summary: Optional[Record],
                 exit_status: int, stderr: str) -> None:
        super().__init__(message)
        self.errors = errors
        self.summary = summary
        self.exit_status = exit_status
        self.stderr = stderr


class Result(NamedTuple):
    """The header records a run returned, and its summary record."""

    headers: List[Record]
    summary: Record


def binary_path() -> str:
    """The path of the hdrtune binary that this package carries."""
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "bin", "hdrtune")


def headers(paths: Paths, recursive: bool = False, **input_conditions: Value) -> Iterator[Record]:
    """Yield the header record of each ELF header in the files and archives
    given (under the folders given, with ``recursive=True``), as
    ``hdrtune --json`` lists them.

    The keyword arguments are input conditions (``input_mach="riscv"``,
    ``input_type="rel"``, ``input_osabi``, ``input_abiversion``,
    ``input_flags="0x4/0x6"``) and ``skip_unmatched=True``. The records come
    as the binary writes them; HdrtuneError is raised after the last one when
    the run reported an error, such as a header an input condition refused
    without ``skip_unmatched``.
    """
    options = _options("headers", input_conditions, _INPUT_OPTIONS + ("skip_unmatched",))
    # Not a generator itself, so that a wrong argument is refused at the call.
    return _records(_command(options, recursive, paths), ok_statuses=(0,))


def check(paths: Paths, recursive: bool = False, **values: Value) -> Result:
    """Check, writing nothing, that every header holds the output values given
    (``output_osabi="FreeBSD"``, ``output_flags="0x4/0x6"``, ...), as
    ``hdrtune --check --json`` does.

    Returns the records of the headers that differ (an empty list when every
    header holds the values) and the summary. Input conditions and
    ``skip_unmatched`` may be given as for headers(). Raises HdrtuneError when
    the run reported an error.
    """
    options = _options("check", values, _INPUT_OPTIONS + _OUTPUT_OPTIONS + ("skip_unmatched",))
    return _result(_command(["--check"] + options, recursive, paths), ok_statuses=(0, 1), wanted=None)


def edit(paths: Paths, recursive: bool = False, **values: Value) -> Result:
    """Write the output values given (``output_osabi="FreeBSD"``,
    ``output_mach``, ``output_type``, ``output_abiversion``,
    ``output_flags="0x4/0x6"``) into every header that meets the input
    conditions given, as ``hdrtune --json`` does with them.

    Returns the records of the headers written (those that would be written,
    with ``dry_run=True``) and the summary, whose counts tell of the others.
    Raises HdrtuneError when the run reported an error; the headers edited
    before it stay edited.
    """
    options = _options("edit", values, _INPUT_OPTIONS + _OUTPUT_OPTIONS + _SWITCHES)
    wanted = "not_written" if values.get("dry_run") else "written"
    return _result(_command(options, recursive, paths), ok_statuses=(0,), wanted=wanted)


def _options(function: str, given: Dict[str, Value], allowed: Iterable[str]) -> List[str]:
    """The command-line options for the keyword arguments given."""
    unknown = sorted(set(given) - set(allowed))
    if unknown:
        raise TypeError("{}() got an unexpected keyword argument '{}'".format(function, unknown[0]))
    if function != "headers" and not any(given.get(name) is not None for name in _OUTPUT_OPTIONS):
        raise TypeError("{}() needs at least one output value, such as output_osabi".format(function))
    options = []
    for name in allowed:
        value = given.get(name)
        if value is None or value is False:
            continue
        option = "--" + name.replace("_", "-")
        if name in _SWITCHES:
            options.append(option)
        else:
            options.append("{}={}".format(option, value))
    return options


def _command(options: List[str], recursive: bool, paths: Paths) -> List[Union[str, bytes]]:
    """The whole command line: the binary, --json, the options and the paths
    after "--", so that a path that starts with "-" (or "@") is a path."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    operands = [_not_a_response_file(os.fspath(path)) for path in paths]
    if not operands:
        raise ValueError("no paths given")
    return [binary_path(), "--json"] + (["--recursive"] if recursive else []) + options + ["--"] + operands


def _not_a_response_file(path: Union[str, bytes]) -> Union[str, bytes]:
    """The binary reads an argument "@file" as a list of arguments wherever
    it stands; "./@file" is the file itself."""
    if isinstance(path, bytes):
        return b"./" + path if path.startswith(b"@") else path
    return "./" + path if path.startswith("@") else path


def _result(command: List[Union[str, bytes]], ok_statuses: Iterable[int], wanted: Optional[str]) -> Result:
    """Runs the command to its end; keeps the header records whose result
    is the one wanted (every one when None)."""
    records = _records(command, ok_statuses)
    found = []
    while True:
        try:
            record = next(records)
        except StopIteration as end:
            return Result(found, end.value)
        if wanted is None or record.get("result") == wanted:
            found.append(record)


def _records(command: List[Union[str, bytes]],
             ok_statuses: Iterable[int]) -> Generator[Record, None, Record]:
    """Yields the header records of a run of the command as they come and
    returns its summary, or raises HdrtuneError once the run is over when it
    reported an error, ended with another exit status or wrote no summary."""
    errors = []  # type: List[Record]
    summary = None  # type: Optional[Record]
    read_to_the_end = False
    with tempfile.TemporaryFile() as stderr:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=stderr)
        try:
            for line in process.stdout:
                record = json.loads(line.decode("utf-8"))
                if record.get("record") == "error":
                    errors.append(record)
                elif record.get("record") == "summary":
                    summary = record
                else:
                    yield record
            read_to_the_end = True
        finally:
            process.stdout.close()
            if not read_to_the_end and process.poll() is None:
                # The caller stopped early: SIGTERM ends the run at the next
                # header boundary, so no header is left half written.
                process.terminate()
            status = process.wait()
        stderr.seek(0)
        stderr_text = stderr.read().decode("utf-8", "replace")
    if errors or summary is None or status not in ok_statuses:
        raise HdrtuneError(_failure_message(errors, status, stderr_text), errors, summary, status, stderr_text)
    return summary


def _failure_message(errors: List[Record], status: int, stderr_text: str) -> str:
    """The exception's message: the first error, or the standard error
    stream's first line, or the exit status."""
    if errors:
        more = " (and {} more)".format(len(errors) - 1) if len(errors) > 1 else ""
        return str(errors[0].get("message")) + more
    if status < 0:
        return "hdrtune was ended by signal {}".format(-status)
    first_line = stderr_text.strip().splitlines()[0] if stderr_text.strip() else ""
    return first_line or "hdrtune exited with status {}".format(status)
