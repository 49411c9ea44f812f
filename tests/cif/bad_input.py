#!/usr/bin/env python3
"""velmora-cif on files it must refuse, and on one it must convert, as a user runs it.

Every file in the folder given is a refused case; its first line reads
"# error: TEXT", and the last line on standard error must start with
"velmora-cif: error: TEXT" (the file is named as given, relative to its folder). Each case
runs twice: to standard output, which must stay empty, and with -o into a scratch folder
that already holds an answer file of that name, which must keep its old content, with no
other file left beside it. The exit status is 1 both times.

With --good CIF the converter must instead succeed with -o: status 0, the file holding what
it writes to standard output, and nothing else left in the folder.

  bad_input.py --converter velmora-cif FOLDER
  bad_input.py --converter velmora-cif --good CIF
"""
import argparse
import os
import sys
import tempfile

from cif_test_support import convert

OLD = "answers from before\n"


def refused_case(converter, folder, name):
    with open(os.path.join(folder, name)) as f:
        first = f.readline().rstrip("\n")
    if not first.startswith("# error: "):
        return [f"{name}: the first line is no '# error: ' line"]
    expected = "velmora-cif: error: " + first[len("# error: "):]
    problems = []
    status, out, err = convert(converter, name, "--dmin", "2", cwd=folder)
    last = err.rstrip("\n").split("\n")[-1]
    if status != 1:
        problems.append(f"{name}: status {status}, not 1")
    if out:
        problems.append(f"{name}: wrote {len(out)} characters to standard output")
    if not last.startswith(expected):
        problems.append(f"{name}: the error reads\n    {last}\n  not\n    {expected}")
    with tempfile.TemporaryDirectory() as scratch:
        target = os.path.join(scratch, "answers.txt")
        with open(target, "w") as f:
            f.write(OLD)
        status, out, err = convert(converter, name, "--dmin", "2", "-o", target, cwd=folder)
        if status != 1 or out:
            problems.append(f"{name} with -o: status {status}, {len(out)} characters on standard output")
        with open(target) as f:
            if f.read() != OLD:
                problems.append(f"{name} with -o: the existing answer file was changed")
        if os.listdir(scratch) != ["answers.txt"]:
            problems.append(f"{name} with -o: left {sorted(os.listdir(scratch))}")
    return problems


def good_case(converter, cif):
    problems = []
    status, written, err = convert(converter, cif, "--dmin", "2")
    with tempfile.TemporaryDirectory() as scratch:
        target = os.path.join(scratch, "answers.txt")
        status_o, out, err_o = convert(converter, cif, "--dmin", "2", "-o", target)
        if status != 0 or status_o != 0:
            problems.append(f"status {status} to standard output and {status_o} with -o:\n{err}{err_o}")
        elif out:
            problems.append(f"-o wrote {len(out)} characters to standard output too")
        elif os.listdir(scratch) != ["answers.txt"]:
            problems.append(f"-o left {sorted(os.listdir(scratch))}")
        else:
            with open(target) as f:
                if f.read() != written:
                    problems.append("the file written with -o differs from standard output")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("folder", nargs="?")
    parser.add_argument("--converter", required=True)
    parser.add_argument("--good")
    args = parser.parse_args()
    converter = os.path.abspath(args.converter)
    if args.good:
        problems = good_case(converter, args.good)
        print("\n".join(problems) if problems else f"{args.good}: converted with -o as to standard output")
        return 1 if problems else 0
    names = sorted(os.listdir(args.folder))
    problems = []
    for name in names:
        problems += refused_case(converter, args.folder, name)
    for problem in problems:
        print(problem)
    verdict = "each refused as expected" if not problems else "NOT all refused as expected"
    print(f"{len(names)} files: {verdict}")
    return 1 if problems or not names else 0


if __name__ == "__main__":
    sys.exit(main())
