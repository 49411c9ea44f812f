#!/usr/bin/env python3
"""velmora-cif and velmora-powder give the same answer to the same bad command line, path or
byte: each row of CASES runs both (velmora-powder also with --wavelength 1) and both must end
with status 1, nothing on standard output, and the same last error line, which holds the row's
text (the file's kind, "the CIF" or "the answers", written WHAT).

  same_answers.py --cif velmora-cif --powder velmora-powder
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

DATA = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "data")


def only_magnetic_table(folder):
    """The user's own magnetic table in the working directory, without the other two."""
    shutil.copy(os.path.join(DATA, "neutron_mag_from_international_tables_edited.txt"), folder)
    return [os.path.join(DATA, "..", "tests", "cif", "cases", "silicon.cif")]


# name, arguments (from the scratch folder f), text of the error line
CASES = [
    ("one_table_in_working_directory", only_magnetic_table,
     "holds neutron_mag_from_international_tables_edited.txt but not"),
    ("repeated_option", lambda f: ["x", "--tables", "a", "--tables", "b"], "--tables: given twice (a and b)"),
    ("missing_value", lambda f: ["x", "--tables"], "--tables needs a value"),
    ("option_as_value", lambda f: ["x", "--tables", "--bogus"], "--tables needs a value"),
    ("empty_value", lambda f: ["x", "--tables="], "--tables needs a value"),
    ("unknown_option", lambda f: ["x", "--bogus=1"], "unknown option --bogus"),
    ("flag_with_value", lambda f: ["--version=2"], "--version takes no value"),
    ("two_operands", lambda f: ["x", "y"], "at a time: x and y"),
    ("device", lambda f: ["/dev/zero"], "/dev/zero: cannot read WHAT: not a regular file or a pipe"),
    ("folder", lambda f: [f], ": cannot read WHAT: Is a directory"),
    ("missing_file", lambda f: [os.path.join(f, "none")], "none: cannot read WHAT: No such file or directory"),
    ("control_bytes_in_name", lambda f: [b"a\x1b[2J\nb\x7f\xff"],
     r"a\x1b[2J\x0ab\x7f\xff: cannot read WHAT: No such file or directory"),
    ("control_bytes_in_option", lambda f: ["x", "--tables", "t", "--tables", "\r"],
     r"--tables: given twice (t and \x0d)"),
]


def last_error(program, arguments, cwd):
    done = subprocess.run([program, *arguments], cwd=cwd, capture_output=True, timeout=60)
    lines = [line for line in done.stderr.split(b"\n") if b": error: " in line]
    error = lines[-1].split(b": error: ", 1)[1].decode("latin-1") if lines else ""
    return done.returncode, done.stdout, error.replace("the CIF", "WHAT").replace("the answers", "WHAT") \
        .replace("one CIF", "one FILE").replace("one answer file", "one FILE")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cif", required=True)
    parser.add_argument("--powder", required=True)
    args = parser.parse_args()
    failed = 0
    for name, arguments, text in CASES:
        with tempfile.TemporaryDirectory() as folder:
            given = arguments(folder)
            cif = last_error(os.path.abspath(args.cif), given, folder)
            powder = last_error(os.path.abspath(args.powder), given + ["--wavelength", "1"], folder)
        problems = [f"{program}: status {status}, {len(out)} bytes out, error {error!r}"
                    for program, (status, out, error) in (("velmora-cif", cif), ("velmora-powder", powder))
                    if status != 1 or out or text not in error]
        if cif[2] != powder[2]:
            problems.append(f"different answers: {cif[2]!r} and {powder[2]!r}")
        print(f"{name}: " + ("same" if not problems else "; ".join(problems)))
        failed += bool(problems)
    print(f"{len(CASES) - failed} of {len(CASES)} cases the same")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
