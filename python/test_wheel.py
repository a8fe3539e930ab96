#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""test_wheel.py: builds the wheel of a hdrtune binary and tests it as a user
gets it: installed offline with pip, run as a console script, python -m and
the module.

    test_wheel.py --binary FILE --work DIR
        the host's wheel, installed into a fresh virtual environment:
        contents and RECORD, the tags pip accepts and refuses, the console
        script against the binary itself, the module against --json.
    test_wheel.py --binary FILE --work DIR --emulated ARCH --emulator QEMU
        the wheel of ARCH, installed by pip for that platform into a folder,
        its console script run with the binary under the emulator.

The real library both use is a copy of the host's static C library
(gcc -print-file-name=libc.a); TEST_LIBC names another.
"""

import argparse
import ast
import base64
import filecmp
import hashlib
import json
import os
import platform
import shutil
import signal
import subprocess
import sys
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import make_wheel  # noqa: E402

ARGS = argparse.Namespace()
HOST_ARCH = {"x86_64": "x86_64", "i686": "i686", "i386": "i686", "aarch64": "aarch64", "armv7l": "armhf",
             "ppc64le": "ppc64el", "s390x": "s390x", "riscv64": "riscv64"}.get(platform.machine())


def run(command, **options):
    """Runs a command to its end; its output as bytes."""
    options.setdefault("stdout", subprocess.PIPE)
    options.setdefault("stderr", subprocess.PIPE)
    return subprocess.run(command, **options)


def host_libc():
    path = os.environ.get("TEST_LIBC") or run(["gcc", "-print-file-name=libc.a"]).stdout.decode().strip()
    if not os.path.isabs(path) or not os.path.isfile(path):
        raise unittest.SkipTest("no static C library on this machine (gcc -print-file-name=libc.a)")
    return path


def version_of(binary, emulator=()):
    """The version the binary prints: the last word of its first line."""
    return run(list(emulator) + [binary, "--version"]).stdout.decode().splitlines()[0].split()[-1]


def build_wheel(arch, out, epoch="1700000000"):
    os.makedirs(out, exist_ok=True)
    command = [sys.executable, os.path.join(HERE, "make_wheel.py"), "--arch", arch, "--version",
               ARGS.version, "--binary", ARGS.binary, "--manual", os.path.join(SOURCE, "dist", "hdrtune.1"),
               "--licence", os.path.join(SOURCE, "LICENSE"), "--out", out]
    result = run(command, env=dict(os.environ, SOURCE_DATE_EPOCH=epoch), check=True)
    return result.stdout.decode().strip()


def record_problems(wheel_path):
    """What is wrong with the wheel's RECORD: entries missing from it or
    from the wheel, hashes and sizes that differ."""
    problems = []
    with zipfile.ZipFile(wheel_path) as wheel:
        names = wheel.namelist()
        record_name = [name for name in names if name.endswith(".dist-info/RECORD")]
        if len(record_name) != 1:
            return ["{} RECORD files".format(len(record_name))]
        lines = wheel.read(record_name[0]).decode().splitlines()
        listed = {}
        for line in lines:
            name, digest, size = line.rsplit(",", 2)
            listed[name] = (digest, size)
        for name in names:
            if name == record_name[0]:
                if listed.get(name) != ("", ""):
                    problems.append("RECORD lists itself with a hash")
                continue
            data = wheel.read(name)
            want = "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
            if listed.get(name) != (want, str(len(data))):
                problems.append("{}: RECORD has {}, the entry is {} {}".format(name, listed.get(name), want, len(data)))
        problems += ["{}: in RECORD, not in the wheel".format(name) for name in sorted(set(listed) - set(names))]
    return problems


class WheelFile(unittest.TestCase):
    """The wheel's name, its dist-info files and its RECORD."""

    @classmethod
    def setUpClass(cls):
        cls.wheel = build_wheel(HOST_ARCH, os.path.join(ARGS.work, "wheel"))

    def test_name_holds_the_tags_of_the_wheel_file(self):
        with zipfile.ZipFile(self.wheel) as wheel:
            tags = [line.split(": ")[1] for line in wheel.read("hdrtune-{}.dist-info/WHEEL".format(ARGS.version))
                    .decode().splitlines() if line.startswith("Tag: ")]
        name = os.path.basename(self.wheel)
        self.assertEqual(name, "hdrtune-{}-py3-none-{}.whl".format(ARGS.version, ".".join(
            tag.split("-", 2)[2] for tag in tags)))
        machine = make_wheel.MACHINES[HOST_ARCH]
        self.assertIn("py3-none-musllinux_1_1_" + machine, tags)
        self.assertTrue(any(tag.startswith("py3-none-manylinux_2_") for tag in tags), tags)

    def test_record_matches_every_entry(self):
        self.assertEqual(record_problems(self.wheel), [])

    def test_a_changed_entry_is_caught_by_the_record_check(self):
        altered = os.path.join(ARGS.work, "altered.whl")
        with zipfile.ZipFile(self.wheel) as source, zipfile.ZipFile(altered, "w") as target:
            for info in source.infolist():
                data = source.read(info)
                target.writestr(info, data + b"#" if info.filename == "hdrtune/__main__.py" else data)
        self.assertEqual(len(record_problems(altered)), 1)

    def test_binary_is_executable_and_the_same_bytes(self):
        with zipfile.ZipFile(self.wheel) as wheel:
            info = wheel.getinfo("hdrtune/bin/hdrtune")
            self.assertEqual(info.external_attr >> 16, 0o100755)
            with open(ARGS.binary, "rb") as binary:
                self.assertEqual(wheel.read(info), binary.read())

    def test_metadata(self):
        with zipfile.ZipFile(self.wheel) as wheel:
            metadata = wheel.read("hdrtune-{}.dist-info/METADATA".format(ARGS.version)).decode()
            entry_points = wheel.read("hdrtune-{}.dist-info/entry_points.txt".format(ARGS.version)).decode()
        self.assertIn("\nName: hdrtune\nVersion: {}\n".format(ARGS.version), metadata)
        self.assertIn("\nRequires-Python: >={}\n".format(make_wheel.REQUIRES_PYTHON), metadata)
        self.assertIn("\nhdrtune = hdrtune.__main__:main\n", entry_points)

    def test_same_inputs_give_the_same_bytes_and_the_time_stamp_is_fixed(self):
        again = build_wheel(HOST_ARCH, os.path.join(ARGS.work, "wheel-again"))
        with open(self.wheel, "rb") as first, open(again, "rb") as second:
            self.assertEqual(first.read(), second.read())
        later = build_wheel(HOST_ARCH, os.path.join(ARGS.work, "wheel-later"), epoch="1800000000")
        with zipfile.ZipFile(later) as wheel:
            self.assertEqual({info.date_time for info in wheel.infolist()}, {(2027, 1, 15, 8, 0, 0)})

    def test_package_parses_as_the_oldest_python_it_claims(self):
        oldest = tuple(int(part) for part in make_wheel.REQUIRES_PYTHON.split("."))
        for name in ("__init__.py", "__main__.py"):
            with open(os.path.join(HERE, "hdrtune", name)) as source:
                ast.parse(source.read(), name, feature_version=oldest)
        with self.assertRaises(SyntaxError):
            ast.parse("if (n := 1): pass", feature_version=oldest)


def fresh_environment(name):
    """A new virtual environment under the work folder; its python."""
    venv = os.path.join(ARGS.work, name)
    shutil.rmtree(venv, ignore_errors=True)
    run([sys.executable, "-m", "venv", venv], check=True)
    return os.path.join(venv, "bin", "python")


class Installed(unittest.TestCase):
    """The host's wheel installed offline into a fresh virtual environment,
    against the binary it carries run directly."""

    @classmethod
    def setUpClass(cls):
        cls.wheel = build_wheel(HOST_ARCH, os.path.join(ARGS.work, "install-wheel"))
        cls.python = fresh_environment("venv")
        cls.venv = os.path.dirname(os.path.dirname(cls.python))
        cls.script = os.path.join(cls.venv, "bin", "hdrtune")
        result = run([cls.python, "-m", "pip", "install", "--no-index", "--disable-pip-version-check", cls.wheel])
        if result.returncode != 0:
            raise AssertionError("pip install failed: " + result.stderr.decode())
        cls.files = os.path.join(ARGS.work, "files")
        shutil.rmtree(cls.files, ignore_errors=True)
        os.makedirs(cls.files)
        shutil.copyfile(host_libc(), os.path.join(cls.files, "libc.a"))
        shutil.copyfile(ARGS.binary, os.path.join(cls.files, "prog"))

    def direct(self, *args, **options):
        """The binary run directly, by the name the console script gives it."""
        return run(["hdrtune"] + list(args), executable=ARGS.binary, cwd=self.files, **options)

    def module(self, code):
        """Runs Python code in the environment, in the folder of the files;
        what it prints is JSON."""
        result = run([self.python, "-c", "import hdrtune, json\n" + code], cwd=self.files)
        self.assertEqual(result.stderr.decode(), "")
        return json.loads(result.stdout.decode())

    def json_records(self, *args):
        lines = self.direct("--json", *args).stdout.decode().splitlines()
        return [json.loads(line) for line in lines]

    def test_console_script_and_python_m_give_what_the_binary_gives(self):
        for args in (["--version"], ["--list", "libc.a"], ["--check", "--output-osabi", "FreeBSD", "libc.a", "nope"],
                     ["--output-osabi"], ["--bogus", "prog"], ["--json", "--list", "prog"]):
            want = self.direct(*args)
            for command in ([self.script], [self.python, "-m", "hdrtune"]):
                got = run(command + args, cwd=self.files)
                self.assertEqual((got.returncode, got.stdout, got.stderr), (want.returncode, want.stdout, want.stderr),
                                 command + args)
        self.assertEqual(run([self.script, "--check", "--output-osabi", "FreeBSD", "libc.a"], cwd=self.files).returncode, 1)

    def test_closed_standard_descriptors_stay_closed_for_the_binary(self):
        for descriptor in (0, 1, 2):
            outcomes = []
            for command in ([ARGS.binary], [self.script], [self.python, "-m", "hdrtune"]):
                got = run(command + ["--list", "prog", "nope"], cwd=self.files,
                          preexec_fn=lambda: os.close(descriptor))
                outcomes.append((got.returncode, got.stdout, got.stderr))
            self.assertEqual(outcomes, outcomes[:1] * 3, descriptor)

    def test_standard_input_is_passed_through(self):
        with open(os.path.join(self.files, "prog"), "rb") as stdin:
            got = run([self.script, "--list", "/dev/stdin"], stdin=stdin)
        self.assertEqual(got.stdout, self.direct("--list", "prog").stdout.replace(b"prog:", b"/dev/stdin:"))

    def test_sigpipe_ends_the_binary_as_it_ends_the_binary_run_directly(self):
        for command in ([ARGS.binary], [self.script], [self.python, "-m", "hdrtune"]):
            reader, writer = os.pipe()
            os.close(reader)
            got = run(command + ["--list", "libc.a"], stdout=writer, cwd=self.files)
            os.close(writer)
            self.assertEqual((got.returncode, got.stderr), (-signal.SIGPIPE, b""), command)

    def test_sigint_reaches_the_binary_and_no_traceback_is_printed(self):
        # --json records of libc.a fill the pipe many times over: the binary
        # waits on it, the signal arrives, and once the pipe is read the run
        # ends at a header boundary, killed by SIGINT, as the binary run
        # directly ends.
        outcomes = []
        for command in ([ARGS.binary], [self.script], [self.python, "-m", "hdrtune"]):
            process = subprocess.Popen(command + ["--json", "libc.a"], cwd=self.files, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE)
            first = process.stdout.readline()
            self.assertTrue(first.startswith(b'{"format":1,"record":"header"'), first)
            process.send_signal(signal.SIGINT)
            rest, stderr = process.communicate()
            self.assertTrue((first + rest).endswith(b"}\n"))
            self.assertNotIn(b"Traceback", stderr)
            outcomes.append((process.returncode, stderr))
        self.assertEqual(outcomes[0], (-signal.SIGINT, b"hdrtune: Error: interrupted by SIGINT\n"))
        self.assertEqual(outcomes, outcomes[:1] * 3)

    def test_manual_page_is_installed(self):
        with open(os.path.join(self.venv, "share", "man", "man1", "hdrtune.1"), "rb") as installed, \
                open(os.path.join(SOURCE, "dist", "hdrtune.1"), "rb") as source:
            self.assertEqual(installed.read(), source.read())

    def test_headers_yields_the_header_records_of_the_listing(self):
        want = [record for record in self.json_records("libc.a", "prog") if record["record"] == "header"]
        self.assertGreater(len(want), 100)
        got = self.module("print(json.dumps(list(hdrtune.headers(['libc.a', 'prog']))))")
        self.assertEqual(got, want)
        got = self.module("import pathlib\nprint(json.dumps(list(hdrtune.headers(pathlib.Path('prog')))))")
        self.assertEqual(got, want[-1:])

    def test_paths_that_look_like_options_or_response_files_are_paths(self):
        # "@prog" read as a response file would list libc.a; as a file it is
        # not ELF.
        with open(os.path.join(self.files, "@prog"), "w") as file:
            file.write("libc.a\n")
        shutil.copyfile(os.path.join(self.files, "prog"), os.path.join(self.files, "-prog"))
        got = self.module("print(json.dumps([[r['name'], r['machine']['name']] for r in "
                          "hdrtune.headers(['-prog', b'-prog'])]))")
        self.assertEqual(got, [["-prog", "x86_64"]] * 2)
        got = self.module("try:\n  list(hdrtune.headers(['@prog', b'@prog']))\n"
                          "except hdrtune.HdrtuneError as error:\n  print(json.dumps([e['name'] for e in error.errors]))")
        self.assertEqual(got, ["./@prog"] * 2)

    def test_headers_with_input_conditions(self):
        args = ["--skip-unmatched", "--input-type", "dyn", "--input-mach", "x86_64", "libc.a", "prog"]
        want = [record for record in self.json_records(*args) if record["record"] == "header"]
        self.assertEqual({record["result"] for record in want}, {"listed", "skipped"})
        got = self.module("print(json.dumps(list(hdrtune.headers(['libc.a', 'prog'], skip_unmatched=True,"
                          " input_type='dyn', input_mach='x86_64'))))")
        self.assertEqual(got, want)

    def test_check_returns_the_headers_that_differ_and_the_summary(self):
        want = self.json_records("--check", "--output-osabi", "FreeBSD", "--output-abiversion", "0", "libc.a", "prog")
        self.assertEqual(want[-1]["exit_status"], 1)
        got = self.module("result = hdrtune.check(['libc.a', 'prog'], output_osabi='FreeBSD', output_abiversion=0)\n"
                          "print(json.dumps([result.headers, result.summary]))")
        self.assertEqual(got, [want[:-1], want[-1]])
        got = self.module("print(json.dumps(hdrtune.check('prog', output_osabi='none')))")
        self.assertEqual(got, [[], self.json_records("--check", "--output-osabi", "none", "prog")[-1]])

    def test_edit_writes_what_the_binary_writes_and_returns_the_headers_written(self):
        tree = os.path.join(self.files, "tree")
        shutil.rmtree(tree, ignore_errors=True)
        os.makedirs(os.path.join(tree, "lib"))
        shutil.copyfile(os.path.join(self.files, "libc.a"), os.path.join(tree, "lib", "libc.a"))
        shutil.copyfile(os.path.join(self.files, "prog"), os.path.join(tree, "prog"))
        shutil.copytree(tree, tree + ".binary")
        args = ["--output-osabi=FreeBSD", "--output-flags=0x4/0x6", "--input-type=rel", "--skip-unmatched"]
        want = self.json_records("-r", *args, "tree.binary")
        got = self.module("result = hdrtune.edit('tree', recursive=True, output_osabi='FreeBSD',"
                          " output_flags='0x4/0x6', input_type='rel', skip_unmatched=True)\n"
                          "print(json.dumps(result))")
        self.assertEqual(json.dumps(got).replace("tree/", "tree.binary/").replace('"tree"', '"tree.binary"'),
                         json.dumps([[record for record in want if record.get("result") == "written"], want[-1]]))
        self.assertEqual(len(got[0]), want[-1]["edited"])
        for name in ("lib/libc.a", "prog"):
            self.assertTrue(filecmp.cmp(os.path.join(tree, name), os.path.join(tree + ".binary", name), shallow=False))
        self.assertFalse(filecmp.cmp(os.path.join(tree, "lib", "libc.a"), os.path.join(self.files, "libc.a"), shallow=False))
        dry = self.module("print(json.dumps(hdrtune.edit('tree/prog', output_type='exec', dry_run=True)))")
        self.assertEqual([record["result"] for record in dry[0]], ["not_written"])

    def test_errors_raise_with_the_error_records(self):
        want = self.json_records("--output-osabi", "FreeBSD", "--input-osabi", "Linux", "prog", "nope")
        got = self.module("try:\n  hdrtune.edit(['prog', 'nope'], output_osabi='FreeBSD', input_osabi='Linux')\n"
                          "except hdrtune.HdrtuneError as error:\n"
                          "  print(json.dumps([str(error), error.errors, error.summary, error.exit_status]))")
        errors = [record for record in want if record["record"] == "error"]
        self.assertEqual(len(errors), 2)
        self.assertEqual(got, [errors[0]["message"] + " (and 1 more)", errors, want[-1], 1])
        # A command-line error has its error record and a summary too.
        want = self.json_records("--input-osabi", "Bogus", "--list", "prog")
        got = self.module("try:\n  list(hdrtune.headers('prog', input_osabi='Bogus'))\n"
                          "except hdrtune.HdrtuneError as error:\n"
                          "  print(json.dumps([str(error), error.errors, error.summary, error.exit_status]))")
        errors = [record for record in want if record["record"] == "error"]
        self.assertEqual([record["message"] for record in errors], ["hdrtune: Error: Unknown OSABI: Bogus"])
        self.assertEqual(want[-1]["exit_status"], 1)
        self.assertEqual(got, ["hdrtune: Error: Unknown OSABI: Bogus", errors, want[-1], 1])

    def test_wrong_arguments_are_refused_before_anything_runs(self):
        got = self.module("out = []\n"
                          "for call in (lambda: hdrtune.headers('prog', output_osabi='none'),"
                          " lambda: hdrtune.check('prog', input_osabi='none'), lambda: hdrtune.edit('prog'),"
                          " lambda: hdrtune.check('prog', dry_run=True, output_osabi='none'),"
                          " lambda: hdrtune.edit([], output_osabi='none')):\n"
                          "  try:\n    call()\n  except (TypeError, ValueError) as error:\n"
                          "    out.append(type(error).__name__)\n"
                          "print(json.dumps(out))")
        self.assertEqual(got, ["TypeError"] * 4 + ["ValueError"])

    def test_a_listing_left_early_raises_nothing(self):
        got = self.module("records = hdrtune.headers('libc.a')\nfirst = next(records)\nrecords.close()\n"
                          "print(json.dumps(first['name']))")
        self.assertEqual(got, self.json_records("libc.a")[0]["name"])


class PipTags(unittest.TestCase):
    """pip installs the wheel of the machine it runs on, and refuses those
    of the other architectures, for the tags it says it accepts."""

    @classmethod
    def setUpClass(cls):
        cls.python = fresh_environment("venv-tags")
        debug = run([cls.python, "-m", "pip", "debug", "--verbose"], check=True).stdout.decode().splitlines()
        cls.accepted = {line.strip() for line in debug if line.startswith("  ") and line.count("-") == 2}
        if not cls.accepted:
            raise AssertionError("pip debug --verbose listed no compatible tags")

    def test_the_host_wheel_has_a_tag_pip_accepts_and_the_others_none(self):
        for arch in make_wheel.MACHINES:
            tags = {"py3-none-" + tag for tag in make_wheel.platform_tags(arch)}
            if arch == HOST_ARCH:
                self.assertTrue(tags & self.accepted, arch)
            else:
                self.assertEqual(tags & self.accepted, set(), arch)

    def test_pip_refuses_the_wheel_of_another_architecture(self):
        other = "s390x" if HOST_ARCH != "s390x" else "x86_64"
        wheel = build_wheel(other, os.path.join(ARGS.work, "other-wheel"))
        result = run([self.python, "-m", "pip", "install", "--no-index", "--disable-pip-version-check",
                      "--force-reinstall", wheel])
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("is not a supported wheel on this platform", result.stderr.decode())


class Emulated(unittest.TestCase):
    """The wheel of another architecture, installed by pip for its platform
    into a folder, its console script run with the binary under qemu-user."""

    @classmethod
    def setUpClass(cls):
        cls.wheel = build_wheel(ARGS.emulated, os.path.join(ARGS.work, "wheel-" + ARGS.emulated))
        cls.python = fresh_environment("venv-" + ARGS.emulated)
        cls.target = os.path.join(ARGS.work, "target-" + ARGS.emulated)
        shutil.rmtree(cls.target, ignore_errors=True)
        cls.files = os.path.join(ARGS.work, "files-" + ARGS.emulated)
        shutil.rmtree(cls.files, ignore_errors=True)
        os.makedirs(cls.files)
        shutil.copyfile(host_libc(), os.path.join(cls.files, "libc.a"))

    def pip_install(self, *platform_options):
        return run([self.python, "-m", "pip", "install", "--no-index", "--disable-pip-version-check",
                    "--only-binary=:all:", "--target", self.target] + list(platform_options) + [self.wheel])

    def console_script(self, *args):
        """Runs the installed console script as it is, but for the one call
        that starts the binary, which goes through the emulator (as a kernel
        with qemu-user in binfmt_misc would)."""
        script = os.path.join(self.target, "bin", "hdrtune")
        code = ("import os, runpy, sys\nreal, emulator = os.execv, sys.argv[1]\n"
                "os.execv = lambda path, argv: real(emulator, [emulator, '-0', argv[0], path] + argv[1:])\n"
                "sys.argv = sys.argv[2:]\nrunpy.run_path(sys.argv[0], run_name='__main__')\n")
        environment = dict(os.environ, PYTHONPATH=self.target)
        return run([self.python, "-c", code, shutil.which(ARGS.emulator), script] + list(args), env=environment,
                   cwd=self.files)

    def test_installs_for_its_platform_and_runs_under_the_emulator(self):
        self.assertEqual(record_problems(self.wheel), [])
        if HOST_ARCH != ARGS.emulated:
            refused = self.pip_install()
            self.assertIn("is not a supported wheel on this platform", refused.stderr.decode())
        for tag in make_wheel.platform_tags(ARGS.emulated):
            shutil.rmtree(self.target, ignore_errors=True)
            installed = self.pip_install("--platform", tag)
            self.assertEqual(installed.returncode, 0, installed.stderr.decode())
        with open(os.path.join(self.target, "hdrtune", "bin", "hdrtune"), "rb") as got, \
                open(ARGS.binary, "rb") as want:
            self.assertEqual(got.read(), want.read())
        for args in (["--version"], ["--list", "libc.a"], ["--check", "--output-osabi", "FreeBSD", "libc.a", "nope"]):
            want = run([ARGS.emulator, "-0", "hdrtune", ARGS.binary] + args, cwd=self.files)
            got = self.console_script(*args)
            self.assertEqual((got.returncode, got.stdout, got.stderr), (want.returncode, want.stdout, want.stderr))
            self.assertNotEqual(want.stdout, b"")


def main():
    parser = argparse.ArgumentParser(description="Test the wheel of a hdrtune binary.")
    parser.add_argument("--binary", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--emulated", choices=sorted(make_wheel.MACHINES))
    parser.add_argument("--emulator")
    parser.parse_args(namespace=ARGS)
    ARGS.binary = os.path.abspath(ARGS.binary)
    ARGS.work = os.path.abspath(ARGS.work)
    os.makedirs(ARGS.work, exist_ok=True)
    emulator = ARGS.emulator.split() if ARGS.emulated and ARGS.emulator else []
    ARGS.version = version_of(ARGS.binary, emulator)
    loader = unittest.defaultTestLoader
    if ARGS.emulated:
        suite = loader.loadTestsFromTestCase(Emulated)
    elif HOST_ARCH is None:
        print("test_wheel.py: no release architecture is this machine's ({})".format(platform.machine()))
        return 0
    else:
        suite = unittest.TestSuite(loader.loadTestsFromTestCase(case) for case in (WheelFile, Installed, PipTags))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
