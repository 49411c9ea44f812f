#!/usr/bin/env python3
"""velmora's report for a converted CIF against the committed cross-check references.

The CIF describes the same structure as one of the shipped examples. It is converted with
the example's own reflections (--hkl), and the answers are put where the reference names its
answer file, in a scratch source tree; tests/cross_check/compare_with_references.py then runs
velmora on them and compares every printed number with the reference (cctbx and numpy
values), with its own tolerance. The atoms may come in another order: the reference does not
depend on it.

  cross_check_converted.py --converter velmora-cif --velmora velmora --data DATA
                           --source SOURCE CIF REFERENCE.csv
"""
import os
import subprocess
import sys
import tempfile

from cif_test_support import arguments, convert_with_reflections_of


def main():
    parser = arguments(__doc__.split("\n")[0])
    parser.add_argument("reference")
    parser.add_argument("--source", required=True, help="source tree the reference's answer path is in")
    args = parser.parse_args()

    with open(args.reference) as f:
        answers_line = next(line for line in f if line.startswith("# answers:"))
    example = answers_line.split(":", 1)[1].strip()
    with tempfile.TemporaryDirectory() as scratch:
        converted = os.path.join(scratch, example)
        os.makedirs(os.path.dirname(converted))
        status, _, err = convert_with_reflections_of(args.converter, args.cif,
                                                     os.path.join(args.source, example), "-o", converted)
        sys.stderr.write(err)
        if status != 0:
            print(f"velmora-cif ended with status {status}")
            return 1
        compare = os.path.join(args.source, "tests", "cross_check", "compare_with_references.py")
        run = subprocess.run([sys.executable, compare, "--velmora", args.velmora, "--data", args.data,
                              "--source", scratch, args.reference])
        return run.returncode


if __name__ == "__main__":
    sys.exit(main())
