#!/usr/bin/env python3
"""velmora's report for a converted magnetic CIF against its report for a hand-made example.

The CIF describes the structure of a shipped example answer file. It is converted with the
example's own reflections (--hkl), velmora runs on both answer files, and the two reports
must agree: the lines up to the moment directions exactly (same cell, same counts), the unit
vectors of the moments as a collection (the converter may list the atoms in another order),
and every reflection row field by field within one unit of its last printed decimal (plus a
millionth of the value, for the largest squared moduli), since the moment angles are written
with other digits than the example's.

  same_report_as_example.py --converter velmora-cif --velmora velmora --data DATA CIF EXAMPLE
"""
import os
import sys

from cif_test_support import arguments, convert_with_reflections_of, run_velmora

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "cross_check"))
from compare_with_references import FIELDS  # noqa: E402


def field_value(text):
    """The printed number; None for asterisks, +Inf or NaN (compared as text)."""
    text = text.strip()
    return None if set(text) == {"*"} or text in ("NaN", "+Inf", "-Inf") else float(text)

MOMENTS_HEADING = " Unit vectors for mag moments"


def split_report(text):
    """(lines before the unit vectors, the unit-vector rows, the lines after them)."""
    lines = text.split("\n")
    start = lines.index(MOMENTS_HEADING) + 1
    end = start
    while end < len(lines) and len(lines[end]) == 27 and lines[end][:3].strip().isdigit():
        end += 1
    return lines[:start], lines[start:end], lines[end:]


def unit_vectors(rows):
    return sorted(tuple(round(float(row[3 + 8 * i:11 + 8 * i]), 4) for i in range(3)) for row in rows)


def compare_rows(converted, example):
    problems = []
    if len(converted) != len(example):
        return [f"{len(converted)} lines after the moments, the example's report has {len(example)}"]
    for number, (got, want) in enumerate(zip(converted, example), start=1):
        if len(got) != 78 or len(want) != 78:
            if got != want:
                problems.append(f"line {number}: {got!r} where the example's report has {want!r}")
            continue
        for name, (first, last, _) in [("hkl", (0, 15, None))] + list(FIELDS.items()):
            g, w = (None, None) if name == "hkl" else (field_value(got[first:last]), field_value(want[first:last]))
            same = got[first:last] == want[first:last] if g is None or w is None else abs(g - w) <= 0.001 + 1e-6 * abs(w)
            if not same:
                problems.append(f"row {number} ({want[:15].split()}): {name} {got[first:last].strip()}"
                                f" where the example's report has {want[first:last].strip()}")
    return problems


def main():
    parser = arguments(__doc__.split("\n")[0])
    parser.add_argument("example")
    args = parser.parse_args()

    status, answers, err = convert_with_reflections_of(args.converter, args.cif, args.example)
    sys.stderr.write(err)
    if status != 0:
        print(f"velmora-cif ended with status {status}")
        return 1
    with open(args.example) as f:
        example_answers = f.read()
    got = split_report(run_velmora(args.velmora, args.data, answers))
    want = split_report(run_velmora(args.velmora, args.data, example_answers))
    problems = []
    if got[0] != want[0]:
        problems.append("the reports differ before the moment directions:\n"
                        + "\n".join(a + "  |  " + b for a, b in zip(got[0], want[0]) if a != b))
    if unit_vectors(got[1]) != unit_vectors(want[1]):
        problems.append("the moment directions differ as a collection")
    problems += compare_rows(got[2], want[2])
    for problem in problems[:40]:
        print(problem)
    print(f"{len(want[2])} lines after the moments and {len(want[1])} moment directions: "
          + ("agree" if not problems else "DIFFER"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
