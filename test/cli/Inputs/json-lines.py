# SPDX-License-Identifier: MIT
"""json-lines.py FIELDS: reads the tool's --json output on stdin, checks that
every line is one strict JSON object of the format (no duplicate key, no
NaN, every key of its record, the summary last and once, each *_hex field
the exact bytes of its string), and writes what the text run would show:
each header record as its text line on stdout, each error record's message
on stderr. FIELDS names the output values given (machine,type,osabi,
abi_version,flags), as a text line of an edit shows those; flags are given
without a mask."""
import codecs
import json
import sys

HEADER_KEYS = ["format", "record", "result", "name", "operand", "file", "archive", "member",
               "nested_archive", "offset", "class", "byte_order", "machine", "type", "osabi",
               "abi_version", "flags", "after", "differ", "skipped", "reason"]
ERROR_KEYS = ["format", "record", "name", "message", "reason"]
SUMMARY_KEYS = ["format", "record", "files", "archives", "members", "headers", "edited",
                "listed", "checked", "differing", "skipped", "passed_over", "errors",
                "exit_status", "signal"]
TEXT_NAMES = {"class": "class", "machine": "machine", "type": "type", "osabi": "OSABI",
              "abi_version": "ABI version", "flags": "flags"}
asked = [f for f in sys.argv[1].split(",") if f] if len(sys.argv) > 1 else []

# Each byte that is not UTF-8 stands as one U+FFFD.
codecs.register_error("each_byte", lambda e: ("\ufffd" * (e.end - e.start), e.end))


def fail(why, line):
    sys.exit("json-lines: %s: %r" % (why, line))


def no_duplicates(pairs):
    keys = [k for k, _ in pairs]
    if len(set(keys)) != len(keys):
        raise ValueError("duplicate key")
    return dict(pairs)


def refuse_constant(name):
    raise ValueError("not JSON: " + name)


def bytes_of(record, key, line):
    """The exact bytes of a name: from KEY_hex where there is one."""
    text = record[key]
    if text is None:
        return None
    if key + "_hex" not in record:
        return text.encode("utf-8")
    raw = bytes.fromhex(record[key + "_hex"])
    if raw.decode("utf-8", "each_byte") != text or "\ufffd" not in text:
        fail(key + "_hex does not give back " + key, line)
    return raw


def escaped(name):
    """A name as a text line shows it: a backslash doubled, a control byte
    as \\n, \\r, \\t or \\xHH."""
    out = b""
    for byte in name:
        if byte == 0x5c:
            out += b"\\\\"
        elif byte < 0x20 or byte == 0x7f:
            out += {0x0a: b"\\n", 0x0d: b"\\r", 0x09: b"\\t"}.get(byte, b"\\x%02x" % byte)
        else:
            out += bytes([byte])
    return out


def value(v, field=None):
    if not isinstance(v["number"], int):
        fail("number is not a number", v)
    if field == "flags":
        text = "0x%x" % v["number"]
        if "fields" in v:
            names = [k if on is True else "%s=%s" % (k, on) for k, on in v["fields"].items()]
            if v["other_bits"]:
                names.append("0x%x" % v["other_bits"])
            if names:
                text += " (" + ", ".join(names) + ")"
        return text
    return v["name"] if v["name"] is not None else str(v["number"])


def text_line(r):
    result = r["result"]
    if result == "listed":
        text = "machine %s, type %s, OSABI %s" % (value(r["machine"]), value(r["type"]),
                                                 value(r["osabi"]))
        if r["abi_version"]["number"] != 0:
            text += ", ABI version %d" % r["abi_version"]["number"]
        if r["flags"]["number"] != 0:
            text += ", flags " + value(r["flags"], "flags")
        return text
    if result in ("written", "not_written"):
        return ", ".join("%s %s -> %s" % (TEXT_NAMES[f], value(r[f], f), value(r["after"][f], f))
                         for f in asked)
    if result == "differs":
        return "; ".join("%s %s, wanted %s" % (TEXT_NAMES[f], value(r[f], f),
                                               value(r["after"][f], f)) for f in r["differ"])
    if result == "skipped":
        s = r["skipped"]
        if s is None:
            return "skipped (%s)" % r["reason"]
        mask = ", mask 0x%x" % s["mask"] if s["mask"] is not None else ""
        return "skipped (%s %s, wanted %s%s)" % (TEXT_NAMES[s["field"]], value(s["found"], s["field"]),
                                                value(s["wanted"], s["field"]), mask)
    if result == "passed_over":
        return "passed over (%s)" % r["reason"]
    return {"unchanged": "unchanged", "as_wanted": "as wanted"}[result]


summaries = 0
for line in sys.stdin.buffer:
    if summaries:
        fail("a record after the summary", line)
    if not line.endswith(b"\n"):
        fail("a line cut short", line)
    try:
        record = json.loads(line.decode("utf-8"), object_pairs_hook=no_duplicates,
                            parse_constant=refuse_constant)
    except ValueError as e:
        fail(str(e), line)
    keys = {"header": HEADER_KEYS, "error": ERROR_KEYS, "summary": SUMMARY_KEYS}[record["record"]]
    plain_keys = [k for k in record if not k.endswith("_hex")]
    if plain_keys != keys or record["format"] != 1:
        fail("keys", line)
    if record["record"] == "header":
        for key in ("operand", "file", "archive", "member", "nested_archive"):
            bytes_of(record, key, line)
        sys.stdout.buffer.write(escaped(bytes_of(record, "name", line)) + b": " +
                                text_line(record).encode() + b"\n")
    elif record["record"] == "error":
        sys.stderr.buffer.write(bytes_of(record, "message", line) + b"\n")
    else:
        summaries += 1
if summaries != 1:
    sys.exit("json-lines: no summary")
