#!/usr/bin/env python3
"""Checks the reference tables shipped in data/ and that velmora reads them as meant.

The files themselves: a header line, 187 X-ray and neutron rows with the same labels in the
same order, at least 95 magnetic rows, three-character labels that occur once per file, and
spot values against the printed International Tables and Sears (1992). With --velmora the
program itself is run on them: it must load all three without a label mismatch, know every
label of the X-ray table and every magnetic label that data/README.md calls usable, and
turn a few rows into the structure factors that their numbers give.

Needs only the standard library; prints 'N passed, N failed' and exits 1 on any failure.
"""
import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
from decimal import Decimal
from fractions import Fraction

HERE = os.path.dirname(os.path.abspath(__file__))
XRAY = "x-ray_coefficients_from_int_tables_edited.txt"
NEUTRON = "neutron_bcoh_from_international_tables_edited.txt"
MAGNETIC = "neutron_mag_from_international_tables_edited.txt"
ROWS_READ = {XRAY: 187, NEUTRON: 187, MAGNETIC: 95}
VALUES_PER_ROW = {XRAY: 9, NEUTRON: 1, MAGNETIC: 7}
USABLE_MAGNETIC = 49  # magnetic rows that come first and have X-ray and neutron rows too

# Printed values: Int. Tables Vol. C (1992) Table 6.1.1.4 (a1 b1 a2 b2 a3 b3 a4 b4 c),
# Sears, Neutron News 3 (1992) (b in fm, real part), Int. Tables Vol. C Table 4.4.5.1 (<j0>).
PRINTED = {
    XRAY: {
        "Fe2": "11.0424 4.6538 7.3740 0.3053 4.1346 12.0546 0.4399 31.2809 1.0097",
        "Fe3": "11.1764 4.6147 7.3863 0.3005 3.3948 11.6729 0.0724 38.5566 0.9707",
        "Six": "6.2915 2.4386 3.0353 32.3337 1.9891 0.6785 1.5410 81.6937 1.1407",
        "Oxx": "3.0485 13.2771 2.2868 5.7011 1.5463 0.3239 0.8670 32.9089 0.2508",
        "Cxx": "2.3100 20.8439 1.0200 10.2075 1.5886 0.5687 0.8650 51.6512 0.2156",
    },
    NEUTRON: {
        "Fex": "9.45", "Fe2": "9.45", "Hxx": "-3.739", "Dxx": "6.671", "Oxx": "5.803",
        "Mnx": "-3.73", "Nix": "10.3", "Vxx": "-0.3824", "Six": "4.1491", "Gdx": "6.5",
    },
    MAGNETIC: {
        "Fe3": "0.3972 13.2442 0.6295 4.9034 -0.0314 0.3496 0.0044",
        "Fe2": "0.0263 34.9597 0.3668 15.9435 0.6188 5.5935 -0.0119",
        "Mn2": "0.4220 17.6840 0.5948 6.0050 0.0043 -0.6090 -0.0219",
        "Ni2": "0.0163 35.8826 0.3916 13.2233 0.6052 4.3388 -0.0133",
    },
}


def float32(text):
    """Nearest single-precision value of the exact decimal text, as velmora reads it."""
    exact = Fraction(Decimal(text))
    guess = struct.unpack("<f", struct.pack("<f", float(text)))[0]
    bits = struct.unpack("<I", struct.pack("<f", guess))[0]
    candidates = [guess] + [struct.unpack("<f", struct.pack("<I", b))[0]
                            for b in (bits - 1, bits + 1)
                            if (b & 0x7FFFFFFF) < 0x7F800000 and (b ^ bits) >> 31 == 0]
    return min(candidates, key=lambda c: (abs(Fraction(c) - exact),
                                          struct.unpack("<I", struct.pack("<f", c))[0] & 1))


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def expect(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAILED: {what}")
        return ok


def read_table(path):
    """(header, [(label, [value texts])]) for every non-empty line after the header."""
    with open(path, "rb") as f:
        text = f.read().decode("ascii")
    lines = text.split("\n")
    rows = [(line.split()[0], line.split()[1:]) for line in lines[1:] if line.strip()]
    return lines[0], rows, text


def check_files(data, checks):
    tables = {}
    for name in (XRAY, NEUTRON, MAGNETIC):
        header, rows, text = read_table(os.path.join(data, name))
        tables[name] = rows
        checks.expect(header.startswith("label ") and "see data/README.md" in header,
                      f"{name}: header line names the columns and the source")
        checks.expect("\r" not in text and text.endswith("\n"), f"{name}: LF line ends")
        if name == MAGNETIC:
            checks.expect(len(rows) >= ROWS_READ[name], f"{name}: at least 95 rows ({len(rows)})")
        else:
            checks.expect(len(rows) == ROWS_READ[name], f"{name}: 187 rows ({len(rows)})")
        labels = [label for label, _ in rows]
        checks.expect(all(len(label) == 3 for label in labels),
                      f"{name}: every label has three characters")
        checks.expect(len(set(labels)) == len(labels),
                      f"{name}: no label twice ({sorted({l for l in labels if labels.count(l) > 1})})")
        wrong = [label for label, values in rows if len(values) != VALUES_PER_ROW[name]]
        checks.expect(not wrong, f"{name}: {VALUES_PER_ROW[name]} numbers on every row {wrong}")
        bad = []
        for label, values in rows:
            for value in values:
                try:
                    Decimal(value)
                except ArithmeticError:
                    bad.append(label)
        checks.expect(not bad, f"{name}: every value is a plain decimal number {bad}")

    xray_labels = [label for label, _ in tables[XRAY]]
    checks.expect(xray_labels == [label for label, _ in tables[NEUTRON]],
                  "X-ray and neutron files list the same labels in the same order")

    magnetic = [label for label, _ in tables[MAGNETIC]]
    usable = [label in xray_labels for label in magnetic[:ROWS_READ[MAGNETIC]]]
    checks.expect(usable == [True] * USABLE_MAGNETIC + [False] * (len(usable) - USABLE_MAGNETIC),
                  f"magnetic file: its first {USABLE_MAGNETIC} rows, and only they, have "
                  f"X-ray and neutron rows")

    for name, spots in PRINTED.items():
        rows = dict(tables[name])
        for label, printed in spots.items():
            shipped = rows.get(label)
            same = shipped is not None and [float32(v) for v in shipped] == \
                [float32(v) for v in printed.split()]
            checks.expect(same, f"{name}: row {label} is {printed} as printed (file: {shipped})")
    return tables


def run_velmora(args, data, answers):
    work = tempfile.mkdtemp(prefix="velmora-data-")
    try:
        for name in (XRAY, NEUTRON, MAGNETIC):
            shutil.copy(os.path.join(data, name), work)
        command = args.wrapper.split() + [os.path.abspath(args.velmora)]
        run = subprocess.run(command, input=answers.encode(), cwd=work, capture_output=True,
                             timeout=300)
        return run.returncode, run.stdout.decode(errors="replace").replace("\r\n", "\n")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def answers(atoms, moments, reflections, cell=5.0):
    lines = [f"{cell} {cell} {cell} 90 90 90", str(len(atoms))]
    lines += [f"{label} 0 0 0 1 0 {flag}" for label, flag in atoms]
    lines += moments
    lines += [str(len(reflections))] + reflections
    return "\n".join(lines) + "\n"


def report_rows(out):
    lines = out.split("\n")
    if " Output:" not in lines:
        return []
    start = lines.index(" Output:") + 3
    return [line for line in lines[start:] if line]


def form_factor(values, s):
    v = [float(x) for x in values]
    total = sum(v[i] * math.exp(-v[i + 1] * s * s) for i in range(0, len(v) - 1, 2))
    return total + v[-1]


def check_velmora(args, data, tables, checks):
    status, out = run_velmora(args, data, answers([], [], []))
    checks.expect(status == 0 and out.startswith(
        " Reading X-ray scattering coefficients\n"
        " Reading neutron nuclear scattering coefficients\n"
        " Reading neutron magnetic scattering coefficients\n"
        " ---------------------------\n Velmora\n"),
        f"velmora loads the three tables without a label mismatch (status {status})")

    labels = [label for label, _ in tables[XRAY]]
    for first in range(0, len(labels), 100):
        part = labels[first:first + 100]
        status, out = run_velmora(args, data, answers([(l, 0) for l in part], [], ["1 0 0"]))
        checks.expect(status == 0 and "unknown symbol" not in out and len(report_rows(out)) == 1,
                      f"velmora knows the X-ray labels {part[0]} to {part[-1]}")

    magnetic = [label for label, _ in tables[MAGNETIC][:USABLE_MAGNETIC]]
    status, out = run_velmora(args, data, answers([(l, 1) for l in magnetic],
                                                  ["1 0 90"] * len(magnetic), ["1 0 0"]))
    checks.expect(status == 0 and "unknown symbol" not in out and len(report_rows(out)) == 1,
                  f"velmora computes with all {USABLE_MAGNETIC} usable magnetic labels")

    unusable = tables[MAGNETIC][USABLE_MAGNETIC][0]
    status, out = run_velmora(args, data, answers([(unusable, 1)], ["1 0 90"], ["1 0 0"]))
    checks.expect(status == 0 and f" {unusable} is unknown symbol\n" in out,
                  f"the unusable magnetic label {unusable} stops velmora as unknown")

    # One Fe2+ ion at the origin, B = 0, moment 4 along z, cubic cell of side 5: at 1 0 0
    # (s = 0.1) the three columns are b^2, 0.0729 (4 <j0>)^2 and f^2 from the file's numbers.
    xray, neutron, mag = (dict(tables[name]) for name in (XRAY, NEUTRON, MAGNETIC))
    status, out = run_velmora(args, data, answers([("Fe2", 1)], ["4 0 0"], ["1 0 0"]))
    rows = report_rows(out)
    if checks.expect(status == 0 and len(rows) == 1, "velmora runs one Fe2 ion"):
        fn2 = float(rows[0][50:58])
        fm2 = float(rows[0][58:66])
        fx2 = float(rows[0][66:78])
        b = float(neutron["Fe2"][0]) / 10
        checks.expect(abs(fn2 - b * b) < 1.5e-3, f"Fe2 |Fn|^2 {fn2} is b^2 = {b * b:.4f}")
        want = 0.0729 * (4 * form_factor(mag["Fe2"], 0.1)) ** 2
        checks.expect(abs(fm2 - want) < 1.5e-3, f"Fe2 |Fm|^2 {fm2} is {want:.4f}")
        want = form_factor(xray["Fe2"], 0.1) ** 2
        checks.expect(abs(fx2 - want) < 2e-3, f"Fe2 |FX|^2 {fx2} is {want:.4f}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--data", default=os.path.join(HERE, "..", "..", "data"))
    parser.add_argument("--velmora", help="also run velmora on the tables")
    parser.add_argument("--wrapper", default="", help="run velmora under this command")
    parser.add_argument("--crlf", action="store_true", help="accepted; CR LF output is allowed")
    args = parser.parse_args()

    checks = Checks()
    tables = check_files(args.data, checks)
    if args.velmora:
        check_velmora(args, args.data, tables, checks)
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
