#!/usr/bin/env python3
"""Runs velmora on one end-to-end case and compares what it prints.

A case is a folder holding:
  stdin.txt            the answers given on standard input (bytes as they are)
  expected_stdout.txt  standard output, byte for byte
  expected_stderr.txt  standard error (absent: must be empty); the source line
                       in the place line is written as N ("At line N of ...")
  expected_status      the exit status (absent: 0)
  case.json            optional changes to the synthetic tables in tables/:
      "missing":   ["xray" | "neutron" | "magnetic", ...]   file left out
      "directory": [...]                                    a folder of that name instead
      "device":    [...]                                    a link to /dev/zero instead (skipped,
                                                            exit status 77, under a --wrapper)
      "truncate":  {"xray": 186}                            keep the header and so many rows
      "label":     {"neutron": {"5": "CXX"}}                replace the label of a row (from 1)
      "header":    {"xray": "text"}                         replace the header line
      "file":      {"xray": "name-in-case-folder"}          use the case's own file
      "crlf_tables": true                                   table files with CR LF line ends
      "crlf_stdin":  true                                   answers with CR LF line ends
      "unreadable":  [...]                                  the file's permissions taken away
                                                            (chmod 000); where that does not
                                                            stop reading (root), the case is
                                                            skipped: exit status 77
      "stdin":     "path"                                   answers from this file instead
      "generate":  ["script", "arg", ...]                   see below
  generate.py          optional: run as `generate.py OUTDIR [args]` (or the script that
                       case.json names, relative to the case folder); writes stdin.txt,
                       and may write expected_stdout.txt, into OUTDIR (for cases too
                       large to keep); what it does not write is taken from the case

Options: --wrapper CMD runs velmora under CMD (wine for the Windows build);
--crlf expects CR LF on every output line (compared after turning them into LF).
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77  # CTest's SKIP_RETURN_CODE for the end-to-end cases
HERE = os.path.dirname(os.path.abspath(__file__))
TABLES = {
    "xray": "x-ray_coefficients_from_int_tables_edited.txt",
    "neutron": "neutron_bcoh_from_international_tables_edited.txt",
    "magnetic": "neutron_mag_from_international_tables_edited.txt",
}


def read(path, default=None):
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
        source = setup.get("file", {}).get(key)
        data = read(os.path.join(case_dir, source) if source else os.path.join(HERE, "tables", name))
        lines = data.split(b"\n")
        if key in setup.get("header", {}):
            lines[0] = setup["header"][key].encode()
        for row, label in setup.get("label", {}).get(key, {}).items():
            line = lines[int(row)]
            lines[int(row)] = label.encode() + line[line.index(b" "):]
        if key in setup.get("truncate", {}):
            lines = lines[: 1 + setup["truncate"][key]] + [b""]
        data = b"\n".join(lines)
        if setup.get("crlf_tables"):
            data = data.replace(b"\n", b"\r\n")
        with open(target, "wb") as f:
            f.write(data)


def digest(folder):
    result = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            st = os.stat(path)
            try:
                content = hashlib.sha256(read(path)).hexdigest()
            except PermissionError:
                content = "unreadable"
            result[name] = (content, st.st_mtime_ns, st.st_mode)
    return result


def make_unreadable(work, keys):
    """Takes away every permission of the named files; returns the path of one
    that can still be read (the runner has the right to read any file), else None."""
    for key in keys:
        path = os.path.join(work, TABLES[key])
        os.chmod(path, 0)
        try:
            with open(path, "rb"):
                return path
        except PermissionError:
            pass
    return None


def show_difference(what, expected, actual):
    exp_lines = expected.decode(errors="replace").split("\n")
    act_lines = actual.decode(errors="replace").split("\n")
    for i in range(max(len(exp_lines), len(act_lines))):
        e = exp_lines[i] if i < len(exp_lines) else "<none>"
        a = act_lines[i] if i < len(act_lines) else "<none>"
        if e != a:
            print(f"{what} differs at line {i + 1}:\n  expected: {e!r}\n  actual:   {a!r}")
            return
    print(f"{what} differs (line ends or trailing bytes)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--wrapper", default="")
    parser.add_argument("--crlf", action="store_true")
    parser.add_argument("case")
    args = parser.parse_args()

    case_dir = os.path.abspath(args.case)
    setup = json.loads(read(os.path.join(case_dir, "case.json"), b"{}"))
    if setup.get("device") and args.wrapper:
        print("SKIPPED: no /dev/zero for a program under a wrapper")
        return SKIPPED
    work = tempfile.mkdtemp(prefix="velmora-e2e-")
    try:
        prepare_tables(case_dir, work, setup)
        still_readable = make_unreadable(work, setup.get("unreadable", []))
        if still_readable:
            print(f"SKIPPED: {os.path.basename(still_readable)} can be read after chmod 000 "
                  f"(running as root or with the right to read any file)")
            return SKIPPED
        generate = setup.get("generate")
        if generate is None and os.path.exists(os.path.join(case_dir, "generate.py")):
            generate = ["generate.py"]
        generated = os.path.join(work, "generated")
        os.mkdir(generated)
        if generate:
            script = os.path.join(case_dir, generate[0])
            subprocess.run([sys.executable, script, generated] + generate[1:], check=True)

        def case_file(name):
            made = os.path.join(generated, name)
            return made if os.path.exists(made) else os.path.join(case_dir, name)

        stdin_path = os.path.join(case_dir, setup["stdin"]) if "stdin" in setup else case_file("stdin.txt")
        stdin = read(stdin_path, b"")
        if setup.get("crlf_stdin"):
            stdin = stdin.replace(b"\n", b"\r\n")
        expected_out = read(case_file("expected_stdout.txt"), b"")
        expected_err = read(os.path.join(case_dir, "expected_stderr.txt"), b"")
        expected_status = int(read(os.path.join(case_dir, "expected_status"), b"0"))

        before = digest(work)
        command = args.wrapper.split() + [os.path.abspath(args.velmora)]
        env = dict(os.environ, WINEDEBUG="-all")  # wine's own notes would mix into stderr
        run = subprocess.run(command, input=stdin, cwd=work, capture_output=True, timeout=600, env=env)
        after = digest(work)

        out, err = run.stdout, run.stderr
        ok = True
        if args.crlf:
            for name, text in (("stdout", out), ("stderr", err)):
                if re.search(rb"(?<!\r)\n", text) or (text and not text.endswith(b"\r\n")):
                    print(f"{name}: a line does not end with CR LF")
                    ok = False
            out, err = out.replace(b"\r\n", b"\n"), err.replace(b"\r\n", b"\n")
        err = re.sub(rb"At line \d+ of ", b"At line N of ", err)
        if out != expected_out:
            show_difference("stdout", expected_out, out)
            ok = False
        if err != expected_err:
            show_difference("stderr", expected_err, err)
            ok = False
        if run.returncode != expected_status:
            print(f"exit status {run.returncode}, expected {expected_status}")
            ok = False
        if before != after:
            print("the working directory changed: velmora must only read its data files")
            ok = False
        return 0 if ok else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
