#!/usr/bin/env python3
"""velmora-cif --run prints what velmora prints for the answers: byte for byte on standard
output, the same exit status, and velmora's standard error after the converter's warnings.

For each CIF the converter runs in an empty folder (so it finds the tables itself) with
--dmin, -o and --run; velmora then reads the saved answers in the folder of the tables.

  run_option.py --converter velmora-cif --velmora velmora --data DATA CIF...
"""
import argparse
import os
import subprocess
import sys
import tempfile


def run(command, cwd, stdin=b""):
    done = subprocess.run(command, cwd=cwd, input=stdin, capture_output=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("cifs", nargs="+")
    parser.add_argument("--converter", required=True)
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--data", required=True)
    args = parser.parse_args()
    failures = 0
    for cif in args.cifs:
        with tempfile.TemporaryDirectory() as scratch:
            status, out, err = run([os.path.abspath(args.converter), os.path.abspath(cif), "--dmin", "2",
                                    "-o", "answers.txt", "--run"], scratch)
            with open(os.path.join(scratch, "answers.txt"), "rb") as f:
                expected = run([os.path.abspath(args.velmora)], args.data, f.read())
        name = os.path.basename(cif)
        if (status, out) != expected[:2] or not err.endswith(expected[2]) or b"|FX|^2" not in out:
            failures += 1
            print(f"FAIL {name}: --run gave status {status} and {len(out)} bytes; velmora gave status"
                  f" {expected[0]} and {len(expected[1])} bytes; stderr {err[-300:]!r}")
        else:
            print(f"ok   {name}: {len(out.splitlines())} lines, status {status}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
