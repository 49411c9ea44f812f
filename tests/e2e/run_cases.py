#!/usr/bin/env python3
"""Runs velmora on whole-program case folders, several at once, and compares what it prints;
README.md gives the form of a case and the options. Each argument is a case folder or a folder
of them; every failing case is reported by name with what differed, every skipped one with why,
then the counts.

  run_cases.py --velmora V [--wrapper CMD] [--crlf] [--strace] [--jobs N] FOLDER...
"""
import argparse, codecs, concurrent.futures, hashlib, json, os, re, shutil, subprocess, sys, tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TABLES = {"xray": "x-ray_coefficients_from_int_tables_edited.txt",
          "neutron": "neutron_bcoh_from_international_tables_edited.txt",
          "magnetic": "neutron_mag_from_international_tables_edited.txt"}


def read(path, default=b""):
    if not os.path.exists(path):
        return default
    with open(path, "rb") as f:
        return f.read()


def prepare_tables(case_dir, work, setup):
    for key, name in TABLES.items():
        target = os.path.join(work, name)
        if key in setup.get("missing", []):
            continue
        if key in setup.get("directory", []):
            os.mkdir(target)
            continue
        if key in setup.get("device", []):
            os.symlink("/dev/zero", target)
            continue
        if key in setup.get("loop", []):  # a link to itself: no one can open it, root included
            os.symlink(name, target)
            continue
        own = setup.get("file", {}).get(key)
        lines = read(os.path.join(case_dir, own) if own else os.path.join(HERE, "tables", name)).split(b"\n")
        if key in setup.get("header", {}):
            lines[0] = setup["header"][key].encode()
        for row, label in setup.get("label", {}).get(key, {}).items():
            lines[int(row)] = label.encode() + lines[int(row)][lines[int(row)].index(b" "):]
        if key in setup.get("truncate", {}):
            lines = lines[: 1 + setup["truncate"][key]] + [b""]
        data = b"\n".join(lines)
        with open(target, "wb") as f:
            f.write(data.replace(b"\n", b"\r\n") if setup.get("crlf_tables") else data)


def answers(case_dir, setup):
    if "long_line" in setup:
        head, fill, size, tail = (codecs.decode(t, "unicode_escape").encode("latin-1") if isinstance(t, str)
                                  else t for t in setup["long_line"])
        data = head + fill * (size // len(fill)) + tail
    else:
        data = read(os.path.join(case_dir, setup.get("stdin", "stdin.txt")))
    return data.replace(b"\n", b"\r\n") if setup.get("crlf_stdin") else data


def digest(folder):
    """Each file's content, time and mode (an unreadable file's content as such)."""
    content = lambda p: hashlib.sha256(read(p)).hexdigest() if os.access(p, os.R_OK) else "unreadable"
    return {n: (content(p), os.stat(p).st_mtime_ns, os.stat(p).st_mode)
            for n in sorted(os.listdir(folder)) for p in [os.path.join(folder, n)] if os.path.isfile(p)}


# Calls that change a file or folder; an opening with one of the flags that allow writing.
CHANGING = set("""creat unlink unlinkat rename renameat renameat2 link linkat symlink symlinkat mkdir mkdirat
    rmdir truncate ftruncate chmod fchmod fchmodat chown fchown lchown fchownat utime utimes utimensat
    futimesat mknod mknodat setxattr lsetxattr fsetxattr removexattr lremovexattr fremovexattr""".split())
WRITES = {"write", "pwrite64", "writev", "pwritev", "pwritev2", "sendfile", "copy_file_range"}


def strace_violations(trace):
    found = []
    for line in trace.splitlines():
        m = re.match(r"^(?:\d+\s+)?(\w+)\((.*)$", line)
        if not m:
            continue
        call, rest = m.groups()
        if call.startswith("open") and (re.search(r"O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|O_APPEND", rest)
                                        or "O_RDONLY" not in rest):
            found.append(line)
        elif call in CHANGING or (call in WRITES and not re.match(r"\s*[12],", rest)):
            found.append(line)
    if not re.search(r"\bopenat?\(.*x-ray_coefficients", trace):
        found.append("no opening of the X-ray file in the trace: strace saw nothing?")
    return found


def first_difference(what, expected, actual):
    e, a = (text.decode(errors="replace").split("\n") + [None] for text in (expected, actual))
    i = next(i for i in range(max(len(e), len(a))) if i >= len(e) - 1 or i >= len(a) - 1 or e[i] != a[i])
    return f"{what} differs at line {i + 1}:\n  expected: {e[i]!r}\n  actual:   {a[i]!r}"


def run_case(case_dir, args):
    """The list of what differed (empty when the case passes), or why the case cannot run here."""
    setup = json.loads(read(os.path.join(case_dir, "case.json"), b"{}"))
    if setup.get("device") and args.wrapper:
        return "SKIPPED: no /dev/zero for a program under a wrapper"
    if setup.get("loop") and args.wrapper:
        return "SKIPPED: under a wrapper (wine) a link to itself fails with another reason"
    work = tempfile.mkdtemp(prefix="velmora-e2e-")
    try:
        prepare_tables(case_dir, work, setup)
        wrapper, trace = args.wrapper.split(), os.path.join(work, "..", os.path.basename(work) + ".trace")
        if args.strace:
            wrapper = ["strace", "-f", "-qq", "-o", trace, "-e", "trace=%file,%desc"]
        before = digest(work)
        # wine's own notes would mix into stderr; LeakSanitizer stops under ptrace
        env = dict(os.environ, WINEDEBUG="-all", ASAN_OPTIONS="detect_leaks=0:" + os.environ.get("ASAN_OPTIONS", ""))
        for attempt in range(3):
            run = subprocess.run(wrapper + [os.path.abspath(args.velmora)], input=answers(case_dir, setup),
                                 cwd=work, capture_output=True, timeout=600, env=env)
            # wine's server may drop its client before the program starts: the emulator failed,
            # not velmora, and the run is made again.
            if not (args.wrapper and b"wine client error" in run.stderr):
                break
        problems = [] if digest(work) == before else ["the working directory changed"]
        if args.strace:
            problems += ["not read-only: " + line for line in strace_violations(read(trace).decode(errors="replace"))]
            os.remove(trace)
        out, err = run.stdout, run.stderr
        if args.crlf:
            for name, text in (("stdout", out), ("stderr", err)):
                if re.search(rb"(?<!\r)\n", text) or (text and not text.endswith(b"\r\n")):
                    problems.append(f"{name}: a line does not end with CR LF")
            out, err = out.replace(b"\r\n", b"\n"), err.replace(b"\r\n", b"\n")
        err = re.sub(rb"At line \d+ of ", b"At line N of ", err)
        for what, expected, actual in (("stdout", read(os.path.join(case_dir, "expected_stdout.txt")), out),
                                       ("stderr", read(os.path.join(case_dir, "expected_stderr.txt")), err)):
            if expected != actual:
                problems.append(first_difference(what, expected, actual))
        status = int(read(os.path.join(case_dir, "expected_status"), b"0"))
        if run.returncode != status:
            problems.append(f"exit status {run.returncode}, expected {status}")
        return problems
    finally:
        shutil.rmtree(work, ignore_errors=True)


def case_folders(folders):
    """Each folder that holds a case (its answers or its case.json), else the cases inside it."""
    is_case = lambda f: any(os.path.exists(os.path.join(f, n)) for n in ("stdin.txt", "case.json"))
    return [c for f in map(os.path.abspath, folders)
            for c in ([f] if is_case(f) else sorted(e.path for e in os.scandir(f) if e.is_dir()))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--wrapper", default="")
    parser.add_argument("--crlf", action="store_true")
    parser.add_argument("--strace", action="store_true")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1, help="cases run at once")
    parser.add_argument("folders", nargs="+")
    args = parser.parse_args()
    cases = case_folders(args.folders)
    if not cases:
        sys.exit("no case folders in " + " ".join(args.folders))
    if args.strace and (not shutil.which("strace") or subprocess.run(["strace", "-o", os.devnull, "true"]).returncode):
        print("SKIPPED: strace is missing or cannot trace here")
        return 77
    count = {"passed": 0, "failed": 0, "skipped": 0}
    with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
        for case, result in zip(cases, pool.map(lambda case: run_case(case, args), cases)):
            count["skipped" if isinstance(result, str) else "failed" if result else "passed"] += 1
            if result:  # what differed, or why it was skipped
                print(f"{os.path.basename(case)}: " + (result if isinstance(result, str) else
                      "FAILED\n  " + "\n".join(result).replace("\n", "\n  ")))
    print("{passed} passed, {failed} failed, {skipped} skipped".format(**count))
    return 1 if count["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
