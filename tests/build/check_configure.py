#!/usr/bin/env python3
"""Configure on a tree where GoogleTest is hidden from CMake (as on a machine without libgtest-dev):
it must succeed, build velmora, and its one table must name libgtest-dev for the unit tests.

  check_configure.py CMAKE SOURCE
"""
import re, subprocess, sys, tempfile


def main(cmake, source):
    with tempfile.TemporaryDirectory() as build:
        run = subprocess.run([cmake, "-S", source, "-B", build, "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON"],
                             capture_output=True, text=True, timeout=600)
    out = run.stdout + run.stderr
    tables = out.count("What will be built")
    problems = [f"configure ended with status {run.returncode}"] * (run.returncode != 0)
    problems += [f"{tables} tables of what will be built, not one"] * (tables != 1)
    problems += [f"no row {row!r}" for row in (r"^  velmora +yes$", r"^  unit tests \(GoogleTest\) +no: libgtest-dev$")
                 if not re.search(row, out, re.M)]
    print("\n".join(problems) + "\n" + out if problems else "configure without GoogleTest: ok")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]) if len(sys.argv) == 3 else __doc__)
