# SPDX-License-Identifier: MIT
# Command-line tests: one .test file per behaviour, run by lit with FileCheck.
import os
import lit.formats

config.name = "hdrtune"
# Newer lit runs every script under "set -x" (older lit only with -a): the
# trace goes to the script's standard error, where a RUN line that takes 2>&1
# from a loop or a function would read it as the tool's own output. A first
# line turns the trace off for good ("set -x" and "set +x" become no-ops);
# lit still names each RUN line before it runs. A lit too old to take such a
# line runs the scripts as they are.
trace_off = ('set() { case "$1" in -x | +x) return 0 ;; esac; builtin set "$@"; }; '
             'builtin set +x')
try:
    config.test_format = lit.formats.ShTest(execute_external=True, preamble_commands=[trace_off])
except TypeError:
    config.test_format = lit.formats.ShTest(execute_external=True)
config.suffixes = [".test"]
config.test_source_root = os.path.dirname(__file__)
# Each lit process works in an exec root of its own (--param run=NAME, one per
# ctest test), so that lit processes running at the same time never share a
# file they write: lit rewrites .lit_test_times.txt in the exec root at exit.
config.test_exec_root = os.path.join(config.hdrtune_obj_root, "test", "cli")
if lit_config.params.get("run"):
    config.test_exec_root = os.path.join(config.test_exec_root, "runs", lit_config.params["run"])
config.excludes = ["Inputs"]

config.environment["PATH"] = os.pathsep.join(
    [config.llvm_tools_dir, config.environment.get("PATH", os.environ["PATH"])])
config.environment.pop("POSIXLY_CORRECT", None)
# Sanitizer builds report leaks as failures of the command that leaked.
config.environment["ASAN_OPTIONS"] = "detect_leaks=1:abort_on_error=0"
config.environment["UBSAN_OPTIONS"] = "print_stacktrace=1:halt_on_error=1"

# --param hdrtune_wrapper="valgrind ..." runs every command of the tool under
# another program (see scripts/valgrind-cli).
wrapper = lit_config.params.get("hdrtune_wrapper", "")

# Emulated runs (see scripts/test-emulated): --param hdrtune_path= names a
# binary built for another machine, --param hdrtune_emulator= the qemu-user
# program that runs it. Tests that cannot work under user-mode emulation say
# so with "UNSUPPORTED: emulated" and the reason.
config.hdrtune_path = lit_config.params.get("hdrtune_path", config.hdrtune_path)
emulator = lit_config.params.get("hdrtune_emulator", "")
if emulator:
    config.available_features.add("emulated")
    wrapper = (wrapper + " " + emulator).strip()
config.substitutions.append(("%hdrtune", (wrapper + " " + config.hdrtune_path).strip()))
# LeakSanitizer cannot run under ptrace; a sanitizer build run by strace
# checks everything else.
config.substitutions.append(("%strace", "env ASAN_OPTIONS=detect_leaks=0 strace"))
# Bytes as one run of hex digits, as yaml2obj takes member contents:
# $(head -c 64 obj.o | %hexbytes).
config.substitutions.append(("%hexbytes", "od -An -tx1 -v | tr -d ' \\n'"))
config.substitutions.append(("%inputs", os.path.join(config.test_source_root, "Inputs")))

# Files that reach the largest file offset need a file system that allows
# them: tmpfs does, most disk file systems do not. The first folder here that
# takes a sparse file of that size is %largefiles, and the feature
# large-files says there is one.
import tempfile

def takes_largest_file(folder):
    try:
        with tempfile.TemporaryFile(dir=folder) as probe:
            os.truncate(probe.fileno(), 2**63 - 1)
        return True
    except (OSError, OverflowError):
        return False

for folder in ["/dev/shm", os.environ.get("TMPDIR", ""), "/tmp"]:
    if folder and os.path.isdir(folder) and takes_largest_file(folder):
        config.available_features.add("large-files")
        config.substitutions.append(("%largefiles", folder))
        break

# Mounts inside a tree, made in a mount namespace of the test's own.
import subprocess
try:
    if subprocess.run(["unshare", "-rm", "sh", "-c", "mount -t tmpfs none /tmp"],
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
        config.available_features.add("unshare-mount")
except OSError:
    pass

# A bind mount of the tree's own file system is told from a folder only by
# the mount id, which builds with statx get from Linux 5.8 on.
def kernel_gives_mount_ids():
    release = os.uname().release.split(".")
    try:
        return os.uname().sysname == "Linux" and (int(release[0]), int(release[1])) >= (5, 8)
    except (IndexError, ValueError):
        return False

if config.hdrtune_mount_ids and kernel_gives_mount_ids():
    config.available_features.add("mount-ids")
# The system call that asks where an open file lives: statx, or in a build
# without it, the fstat family (for strace's injections).
config.substitutions.append(("%identify_syscall", "statx" if config.hdrtune_mount_ids else "%fstat"))

# Programs only some tests use. Each is a feature, added when the program is
# found on the tests' PATH and can do its job here, so that a machine without
# it reports those tests unsupported (scripts/install-deps installs them all).
import shutil

def program(name):
    return shutil.which(name, path=config.environment["PATH"])

def runs(*command):
    try:
        return subprocess.run(command, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
    except OSError:
        return False

# strace also needs leave to trace, which a container may refuse.
if program("strace") and runs(program("strace"), "-o", os.devnull, "true"):
    config.available_features.add("strace")
# setpriv runs a command as another user, which only root may do; and that
# user must be able to reach the tool (a build in a folder only root may
# enter can't be run so, nor read by an emulator).
unprivileged = ["--reuid=65534", "--regid=65534", "--clear-groups"]
if program("setpriv") and os.geteuid() == 0 and runs(
        program("setpriv"), *unprivileged, *wrapper.split(), config.hdrtune_path, "--version"):
    config.available_features.add("setpriv")
# Mixed static libraries: clang's -flto writes LLVM bitcode, not ELF.
if program("clang") and runs(program("clang"), "-flto", "-c", "-x", "c", "-o", os.devnull,
                               "/dev/null"):
    config.available_features.add("clang-lto")
if program("groff"):
    config.available_features.add("groff")
# The licence-line check lists a tree's files with git.
if program("git"):
    config.available_features.add("git")
# The JSON records are also read by jq, as scripts read them.
if program("jq"):
    config.available_features.add("jq")
# A linker that takes RISC-V objects and judges their float ABI: lld, or
# Debian's riscv64 cross linker (riscv64-linux-gnu-ld).
for linker in ("ld.lld", "riscv64-linux-gnu-ld"):
    if program(linker):
        config.available_features.add("riscv-linker")
        config.substitutions.append(("%riscv_ld", program(linker)))
        break
# The zsh completion's test drives an interactive zsh through zsh/zpty.
if program("zsh") and runs(program("zsh"), "-f", "-c", "zmodload zsh/zpty"):
    config.available_features.add("zsh")

# The smoke set edits a copy of a real static library: the host C library's
# libc.a, where the compiler finds it.
try:
    libc_archive = subprocess.run(["c++", "-print-file-name=libc.a"], capture_output=True,
                                  text=True).stdout.strip()
    if os.path.isabs(libc_archive) and os.path.isfile(libc_archive):
        config.available_features.add("host-libc-archive")
        config.substitutions.append(("%host_libc_a", os.path.realpath(libc_archive)))
except OSError:
    pass
