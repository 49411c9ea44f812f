#!/usr/bin/env python3
"""The name - is standard input for every input of velmora-cif and velmora-powder and standard
output for every output, never a file named -. Each row of CASES runs a program in a scratch
folder holding its inputs, with a file given on standard input; the run must end with the
status given, print exactly what the same run with named files writes into them (SAME: the
file named by the twin's last argument) or hold a text on standard error, and leave no file
named - behind.

  standard_streams.py --cif velmora-cif --powder velmora-powder --source SOURCE_TREE
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

# program, arguments, standard input, expected status, then either ("same", twin arguments
# whose output file is the last argument) or ("error", text on standard error)
CASES = [
    ("cif", ["-", "--dmin", "2"], "nacl.cif", 0, ("same", ["nacl.cif", "--dmin", "2", "-o", "out"])),
    ("cif", ["nacl.cif", "--dmin", "2", "-o", "-"], None, 0, ("same", ["nacl.cif", "--dmin", "2", "-o", "out"])),
    ("cif", ["nacl.cif", "--hkl", "-"], "hkl.txt", 0, ("same", ["nacl.cif", "--hkl", "hkl.txt", "-o", "out"])),
    ("cif", ["-", "--hkl", "-"], "nacl.cif", 1, ("error", "--hkl -: standard input already holds the CIF")),
    ("cif", ["nacl.cif", "--dmin", "2", "-o", "-", "--run"], None, 1,
     ("error", "-o - and --run: velmora's report takes standard output")),
    ("powder", ["-", "--wavelength", "1.5", "--csv", "-"], "iron.txt", 0,
     ("same", ["iron.txt", "--wavelength", "1.5", "--csv", "out"])),
    ("powder", ["iron.txt", "--wavelength", "1.5", "--reflections", "-"], None, 0,
     ("same", ["iron.txt", "--wavelength", "1.5", "--reflections", "out"])),
    ("powder", ["iron.txt", "--wavelength", "1.5", "--observed", "-", "--fit-report", "-"], "measured.xy", 0,
     ("same", ["iron.txt", "--wavelength", "1.5", "--observed", "measured.xy", "--fit-report", "out"])),
    ("powder", ["iron.txt", "--wavelength", "1.5", "--csv", "-", "--xy", "-"], None, 1,
     ("error", "--xy -: standard output already takes --csv")),
    ("powder", ["-", "--wavelength", "1.5", "--observed", "-"], "iron.txt", 1,
     ("error", "--observed -: standard input already holds the answers")),
    ("powder", ["iron.txt", "--wavelength", "1.5", "--plot", "-"], None, 1, ("error", "the plot is SVG")),
    ("powder", ["iron.txt", "--wavelength", "1.5", "--observed", "/dev/zero"], None, 1,
     ("error", "/dev/zero: cannot read the observed pattern: not a regular file or a pipe")),
]


def scratch(folder, source):
    shutil.copy(os.path.join(source, "tests", "cif", "cases", "nacl.cif"), folder)
    shutil.copy(os.path.join(source, "examples", "iron_bcc.txt"), os.path.join(folder, "iron.txt"))
    with open(os.path.join(folder, "hkl.txt"), "w") as f:
        f.write("1 1 1\n2 0 0\n2 2 0\n")
    with open(os.path.join(folder, "measured.xy"), "w") as f:
        f.writelines(f"{20 + 0.05 * i:.2f} {100 + (i % 7)}\n" for i in range(1600))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cif", required=True)
    parser.add_argument("--powder", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    programs = {"cif": os.path.abspath(args.cif), "powder": os.path.abspath(args.powder)}
    tables = ["--tables", os.path.join(os.path.abspath(args.source), "data")]
    failed = 0
    for number, (program, arguments, stdin, status, (kind, expected)) in enumerate(CASES, 1):
        with tempfile.TemporaryDirectory() as folder:
            scratch(folder, args.source)
            given = open(os.path.join(folder, stdin), "rb") if stdin else subprocess.DEVNULL
            done = subprocess.run([programs[program], *arguments, *tables], cwd=folder, stdin=given,
                                  capture_output=True, timeout=120)
            problems = [] if done.returncode == status else [f"status {done.returncode}: {done.stderr[-300:]!r}"]
            if kind == "same":
                twin = subprocess.run([programs[program], *expected, *tables], cwd=folder, capture_output=True,
                                      timeout=120)
                with open(os.path.join(folder, expected[-1]), "rb") as f:
                    if twin.returncode != 0 or f.read() != done.stdout:
                        problems.append("standard output differs from the named file's content")
            elif expected.encode() not in done.stderr:
                problems.append(f"standard error lacks {expected!r}: {done.stderr[-300:]!r}")
            if os.path.exists(os.path.join(folder, "-")):
                problems.append("a file named - was written")
        print(f"{number} {program} {' '.join(arguments)}: " + ("ok" if not problems else "; ".join(problems)))
        failed += bool(problems)
    print(f"{len(CASES) - failed} of {len(CASES)} cases ok")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
