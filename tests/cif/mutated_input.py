#!/usr/bin/env python3
"""velmora-cif on damaged files: every test CIF is cut, has bytes changed,
lines dropped, doubled or swapped, numbers replaced by extreme or malformed
ones and tags misspelt, with a fixed seed. Each run must end with status 0
(a file that is still a valid structure) or 1 (an error message on standard
error and nothing on standard output), never a crash, a hang or a sanitizer
report.

  mutated_input.py --converter velmora-cif --data DATA CIF... [--count N]
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile

NUMBERS = ["0", "-0", "1e308", "-1e308", "1e-320", "nan", "inf", "-inf", "?", ".", "1e999", "0.5(", "(3)",
           "99999999999999999999", "-1", "3.14159265358979323846264338327950288", "1/3", "x+1/2", "0x10"]
TOKENS = ["loop_", "data_x", "_cell_length_a", "_atom_site_fract_x", "_space_group_symop_operation_xyz",
          "_space_group_symop_magn_operation.xyz", "x,y,z,+1", "-x,-y,-z,-1", "x+y+z,x,x", "'", '"', ";",
          "\n;\n", "#", "Fe3+", "Mn2+", "Xx", "Q", "P 1", "F m -3 m", "\x00", "\xff", "x,y", "x,y,z,+2"]


def mutate(text, rng):
    lines = text.split("\n")
    for _ in range(rng.randint(1, 4)):
        kind = rng.randrange(7)
        i = rng.randrange(len(lines))
        if kind == 0:  # cut the file
            lines = lines[:i]
        elif kind == 1:  # drop a line
            del lines[i]
        elif kind == 2:  # double a line
            lines.insert(i, lines[i])
        elif kind == 3:  # swap two lines
            j = rng.randrange(len(lines))
            lines[i], lines[j] = lines[j], lines[i]
        elif kind == 4:  # a number becomes an extreme or malformed one
            words = lines[i].split(" ")
            k = rng.randrange(len(words))
            words[k] = rng.choice(NUMBERS)
            lines[i] = " ".join(words)
        elif kind == 5:  # a token put in somewhere
            line = lines[i]
            at = rng.randrange(len(line) + 1)
            lines[i] = line[:at] + rng.choice(TOKENS) + line[at:]
        else:  # bytes changed
            line = lines[i]
            if line:
                at = rng.randrange(len(line))
                lines[i] = line[:at] + chr(rng.randrange(1, 256)) + line[at + 1:]
        if not lines:
            lines = [""]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cifs", nargs="+")
    parser.add_argument("--converter", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--count", type=int, default=60, help="damaged copies of each file")
    args = parser.parse_args()
    rng = random.Random(20261207)
    env = dict(os.environ, ASAN_OPTIONS="exitcode=86:detect_leaks=1", UBSAN_OPTIONS="halt_on_error=1:exitcode=87")
    failures = 0
    runs = {0: 0, 1: 0}
    with tempfile.TemporaryDirectory() as scratch:
        damaged = os.path.join(scratch, "damaged.cif")
        for cif in args.cifs:
            with open(cif, encoding="latin-1") as f:
                original = f.read()
            for n in range(args.count):
                text = mutate(original, rng)
                with open(damaged, "w", encoding="latin-1", newline="") as f:
                    f.write(text)
                run = subprocess.run([args.converter, damaged, "--dmin", "2", "--tables", args.data],
                                     capture_output=True, timeout=60, env=env)
                problem = None
                if run.returncode not in (0, 1):
                    problem = "status %d" % run.returncode
                elif run.returncode == 1 and (run.stdout or b"velmora-cif: error: " not in run.stderr):
                    problem = "status 1 without a message, or with output"
                elif b"Sanitizer" in run.stderr or b"runtime error:" in run.stderr:
                    problem = "sanitizer report"
                if problem:
                    failures += 1
                    keep = os.path.join(os.getcwd(), "mutated_failure_%d.cif" % failures)
                    with open(keep, "w", encoding="latin-1", newline="") as f:
                        f.write(text)
                    print("%s copy %d: %s (kept as %s)\n%s" % (cif, n, problem, keep,
                                                              run.stderr.decode("latin-1")[-2000:]))
                else:
                    runs[run.returncode] += 1
    print("converted %d damaged files, refused %d, failed %d" % (runs[0], runs[1], failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
