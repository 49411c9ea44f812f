#!/usr/bin/env python3
"""Checks, under strace, that velmora opens nothing for writing and changes nothing.

  hostile_opens_read_only.py --velmora PATH

Runs velmora on the synthetic tables in several ways (a whole run with magnetic
atoms, a failing answer, a label mismatch, a missing data file, an unknown
symbol, binary garbage on standard input) and records its system calls. Every
opening must be for reading only (no O_WRONLY, O_RDWR, O_CREAT, O_TRUNC or
O_APPEND, no creat); no call may remove, rename, link, truncate or change the
permissions, owner or times of a file, or make a folder; writes go to standard
output and standard error only. The data files' bytes, modification times and
permissions must be the same afterwards.

Linux only. Exits 77 (skipped, with the reason) where strace is missing or
cannot trace (no ptrace in a container, for instance).
"""
import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import run_case  # noqa: E402

SKIPPED = 77
TRACED = "%file,write,pwrite64,writev,pwritev,pwritev2,ftruncate,fchmod,fchown,sendfile,copy_file_range"
WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "O_APPEND")
CHANGING = {"creat", "unlink", "unlinkat", "rename", "renameat", "renameat2", "link", "linkat",
            "symlink", "symlinkat", "mkdir", "mkdirat", "rmdir", "truncate", "ftruncate",
            "chmod", "fchmod", "fchmodat", "chown", "fchown", "lchown", "fchownat", "utime",
            "utimes", "utimensat", "futimesat", "mknod", "mknodat", "setxattr", "lsetxattr",
            "fsetxattr", "removexattr", "lremovexattr", "fremovexattr", "copy_file_range"}
WRITES = {"write", "pwrite64", "writev", "pwritev", "pwritev2", "sendfile"}

SAMPLE = b"5.43 5.43 5.43 90 90 90\n2\nFe3 0 0 0 1 0.5 1\nOxx 0.5 0.5 0.5 1 0.8 0\n5 0 90\n2\n1 0 0\n1 1 1\n"
RUNS = [
    # name, table changes as run_case takes them, answers, expected status
    ("whole run", {}, SAMPLE, 0),
    ("bad answer", {}, b"5 5 5 90 90 x\n", 2),
    ("label mismatch", {"label": {"neutron": {"2": "CXX"}}}, SAMPLE, 0),
    ("missing magnetic file", {"missing": ["magnetic"]}, SAMPLE, 2),
    ("unknown symbol", {}, b"5 5 5 90 90 90\n1\nQqq 0 0 0 1 0 0\n1\n1 0 0\n", 0),
    ("binary garbage", {}, bytes(range(256)) * 4, 2),
]


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIPPED)


def state(folder):
    result = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        st = os.lstat(path)
        content = None
        if os.path.isfile(path):
            with open(path, "rb") as f:
                content = hashlib.sha256(f.read()).hexdigest()
        result[name] = (content, st.st_mode, st.st_mtime_ns, st.st_size)
    return result


def violations(trace):
    found = []
    for line in trace.splitlines():
        m = re.match(r"^(?:\[pid\s+\d+\]\s+|\d+\s+)?(\w+)\((.*)$", line)
        if not m:
            continue
        call, rest = m.group(1), m.group(2)
        if call in ("open", "openat", "openat2"):
            if any(flag in rest for flag in WRITE_FLAGS) or "O_RDONLY" not in rest:
                found.append(line)
        elif call in CHANGING:
            found.append(line)
        elif call in WRITES:
            fd = re.match(r"\s*(\d+)", rest)
            if not fd or fd.group(1) not in ("1", "2"):
                found.append(line)
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    args = parser.parse_args()
    if not sys.platform.startswith("linux"):
        skip("strace is for Linux")
    strace = shutil.which("strace")
    if strace is None:
        skip("strace is not installed (apt-get install strace)")
    probe = subprocess.run([strace, "-f", "-qq", "-o", os.devnull, "true"], capture_output=True)
    if probe.returncode != 0:
        skip("strace cannot trace here: " + probe.stderr.decode(errors="replace").strip())
    velmora = os.path.abspath(args.velmora)
    # LeakSanitizer stops under ptrace; the sanitizer build runs here without it.
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:" + os.environ.get("ASAN_OPTIONS", ""))

    ok = True
    for name, changes, answers, status in RUNS:
        work = tempfile.mkdtemp(prefix="velmora-strace-")
        try:
            run_case.prepare_tables(HERE, work, changes)
            trace_path = os.path.join(tempfile.gettempdir(), os.path.basename(work) + ".trace")
            before = state(work)
            run = subprocess.run([strace, "-f", "-qq", "-e", "trace=" + TRACED, "-o", trace_path, velmora],
                                 input=answers, cwd=work, capture_output=True, timeout=300, env=env)
            after = state(work)
            with open(trace_path, encoding="utf-8", errors="replace") as f:
                trace = f.read()
            os.remove(trace_path)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        problems = []
        if run.returncode != status:
            problems.append(f"exit status {run.returncode}, expected {status}; stderr: {run.stderr[-400:]!r}")
        if before != after:
            problems.append("the working directory changed")
        if not re.search(r"\bopenat?\(.*x-ray_coefficients_from_int_tables_edited\.txt", trace):
            problems.append("the trace shows no opening of the X-ray file: strace saw nothing?")
        problems += ["not read-only: " + line for line in violations(trace)]
        print(f"{name}: {'ok' if not problems else 'FAILED'}")
        for problem in problems:
            print("  " + problem)
        ok = ok and not problems
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
