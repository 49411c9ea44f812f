#!/usr/bin/env python3
"""Runs velmora on a structure and compares its reflection report with reference values.

Each reference file (references/<name>.csv, written by tests/cross_check/make_references.py from
cctbx, numpy and periodictable) names the answer file it was computed from. velmora is run
on that answer file with the shipped tables (data/), and every printed d, qx, qy, qz, |q|,
|Fn|^2, |Fm|^2 and |FX|^2 must lie within the tolerance below of the reference; h k l must
be the reference's indices as velmora prints them (one decimal).

Tolerance. A printed value is velmora's single-precision result rounded to the printed
decimals, so it may differ from the exact value by half a unit of the last decimal (0.0005)
plus the rounding error of the single-precision computation. The second part is bounded to
first order by counting roundings, with u = 2^-24 (one rounding to single precision):

  d, |q|      relative 64 u * d_cond (|q| 4 u more: 2 pi and the division). d_cond is the
              cancellation of 1/d^2 = h.G*.h (sum of |terms| over |sum|) plus that of the
              cell's V^2/(abc)^2; about 20 roundings enter (cell angles to radians, their
              sines and cosines, squares, the six terms, the square root and reciprocal), the
              angle errors amplified by up to pi: 64 covers them with room.
  qx qy qz    absolute 64 u * d_cond * q_scale, q_scale = sum |h_i| |a*_i|: each component
              adds three terms no larger than that; the reciprocal cell carries the errors
              of the Cartesian cell, its cross products and the volume.
  amplitudes  an amplitude F = sum over N atoms of terms t_j is off by at most
                  dF = u * ((N - 1 + K) S + 8 P + (2 e_d/u + 8) Y)
              S = sum |t_j|: N - 1 roundings of the running sum (each at most u S) and
                  K per term: the table value, occupancy, moment and direction read
                  into single precision, the products, the cosine or sine (K = 16 for
                  Fn and FX, 32 for the magnetic terms, which also carry the moment's
                  unit vector from two angles);
              P = sum |t_j| phi_j, phi_j = 2 pi sum |h_i x_i|: the phase angle is formed
                  from rounded coordinates and products, off by up to 5.5 u phi_j, which
                  becomes an error of the cosine and sine of the same size (8 > 5.5);
              Y = sum |t_j| (B_j s^2 + exponents of its form factor): an exponential
                  exp(-x) with x off by a relative (2 e_d + 8 u), e_d = 64 u d_cond being
                  the relative error of d and so of s = 1/(2d).
              |F|^2 is then off by 2 |F| dF + dF^2, plus 8 u |F|^2 for forming the square
              (square root, squares, sum, storage).
  |Fm|^2      0.27^2 (|P|^2 - (uq.P)^2) with P the magnetic amplitude (dF as above): the
              difference of two squares is off by 2 |P_perp| dF + dF^2, plus 16 u S^2 for
              the squares and their sums and 2 S^2 |d uq| for the direction of q, with
              |d uq| <= 2 sqrt(3) * 64 u d_cond q_scale / |q|; plus 8 u |Fm|^2.

The reference values themselves are double-precision sums from the same decimal inputs,
written with 12 significant digits: their error is far below any of these terms. A field
of asterisks (a value too large for its field) passes when the reference, within the
tolerance, is too large for that field too; +Inf and NaN must be printed exactly where the
reference is infinite or not a number (reflection 0 0 0).

Options: --wrapper CMD runs velmora under CMD (wine for the Windows build); --crlf is
accepted (CR LF line ends are allowed anyway). Several reference files may be given; the
summary then covers all of them. Exit status 0 when all agree, 1 otherwise.
"""
import argparse
import math
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
U = 2.0 ** -24
HALF = 0.0005  # half a unit of the third decimal
EG2MC_SQUARED = 0.27 ** 2

# Report row: name, first column, last column (1-based, inclusive), as velmora prints it.
FIELDS = (("h", 1, 5), ("k", 6, 10), ("l", 11, 15), ("d", 16, 22), ("qx", 23, 29),
          ("qy", 30, 36), ("qz", 37, 43), ("|q|", 44, 50), ("|Fn|^2", 51, 58),
          ("|Fm|^2", 59, 66), ("|FX|^2", 67, 78))
COMPARED = ("d", "qx", "qy", "qz", "|q|", "|Fn|^2", "|Fm|^2", "|FX|^2")


def read_reference(path):
    meta, rows, columns = {}, [], None
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("#"):
                key, _, value = line[1:].strip().partition(":")
                meta.setdefault(key.strip(), value.strip())
            elif columns is None:
                columns = line.split(",")
            elif line:
                values = line.split(",")
                row = {c: float(v) for c, v in zip(columns, values)}
                for c in ("h", "k", "l"):
                    row[c] = int(values[columns.index(c)])
                rows.append(row)
    # "# atoms: 16; magnetic atoms: 2; reflections: 132"
    counts = dict(part.strip().rsplit(": ", 1) for part in ("atoms: " + meta["atoms"]).split(";"))
    meta["natom"], meta["nmag"] = int(counts["atoms"]), int(counts["magnetic atoms"])
    return meta, rows


def run_velmora(args, answers_path):
    with open(answers_path, "rb") as f:
        answers = f.read()
    run = subprocess.run(args.wrapper.split() + [os.path.abspath(args.velmora)], input=answers,
                         cwd=args.data, capture_output=True, timeout=600)
    lines = run.stdout.decode(errors="replace").replace("\r\n", "\n").split("\n")
    if run.returncode != 0 or " Output:" not in lines:
        raise RuntimeError(f"velmora ended with status {run.returncode}:\n"
                           + run.stderr.decode(errors="replace") + "\n".join(lines[-5:]))
    start = lines.index(" Output:") + 3
    return [line for line in lines[start:] if line]


def field_value(text):
    """The printed field as a number; None for a field of asterisks (value too wide)."""
    text = text.strip()
    if text and set(text) == {"*"}:
        return None
    named = {"NaN": math.nan, "+Inf": math.inf, "-Inf": -math.inf}
    return named[text] if text in named else float(text)


def tolerances(ref, natom, nmag):
    """Largest allowed |printed - reference| for each compared quantity of one row."""
    e_d = 64 * U * ref["d_cond"]
    tol = {"d": HALF + e_d * abs(ref["d"]) if math.isfinite(ref["d"]) else 0.0,
           "|q|": HALF + (e_d + 4 * U) * ref["q"]}
    for axis in ("qx", "qy", "qz"):
        tol[axis] = HALF + 64 * U * ref["d_cond"] * ref["q_scale"]
    exponent_factor = 2 * e_d / U + 8

    def amplitude_error(kind, count, per_term):
        return U * ((max(count - 1, 0) + per_term) * ref["S" + kind] + 8 * ref["P" + kind]
                    + exponent_factor * ref["Y" + kind])

    for name, kind, column in (("|Fn|^2", "n", "Fn2"), ("|FX|^2", "x", "FX2")):
        df, value = amplitude_error(kind, natom, 16), ref[column]
        tol[name] = HALF + 2 * math.sqrt(value) * df + df * df + 8 * U * value
    value = ref["Fm2"]
    if math.isnan(value):
        tol["|Fm|^2"] = 0.0
    else:
        dp, s = amplitude_error("m", nmag, 32), ref["Sm"]
        direction = 2 * math.sqrt(3) * 64 * U * ref["d_cond"] * ref["q_scale"] / ref["q"]
        perp = math.sqrt(value / EG2MC_SQUARED)
        tol["|Fm|^2"] = (HALF + EG2MC_SQUARED * (2 * perp * dp + dp * dp + 16 * U * s * s
                                                 + 2 * s * s * direction) + 8 * U * value)
    return tol


REFERENCE_COLUMN = {"d": "d", "qx": "qx", "qy": "qy", "qz": "qz", "|q|": "q",
                    "|Fn|^2": "Fn2", "|Fm|^2": "Fm2", "|FX|^2": "FX2"}


def largest_fitting(first, last):
    """The largest value that a fixed field of these columns prints with 3 decimals."""
    return 10.0 ** (last - first + 1 - 4) - HALF


def compare(path, args, worst):
    meta, rows = read_reference(path)
    name = os.path.basename(path)
    answers = os.path.join(args.source, meta["answers"])
    printed = run_velmora(args, answers)
    problems = []
    if len(printed) != len(rows):
        problems.append(f"velmora printed {len(printed)} rows, the reference has {len(rows)}")
    for number, (line, ref) in enumerate(zip(printed, rows), start=1):
        where = f"{name} row {number} ({ref['h']} {ref['k']} {ref['l']})"
        if len(line) != 78:
            problems.append(f"{where}: row of {len(line)} characters: {line!r}")
            continue
        text = {f: line[a - 1:b] for f, a, b in FIELDS}
        for index in ("h", "k", "l"):
            if text[index].strip() != f"{ref[index]:.1f}":
                problems.append(f"{where}: {index} printed {text[index].strip()}")
        tol = tolerances(ref, meta["natom"], meta["nmag"])
        for quantity in COMPARED:
            want = ref[REFERENCE_COLUMN[quantity]]
            shown = text[quantity].strip()
            got = field_value(text[quantity])
            if math.isnan(want) or math.isinf(want):
                expected = "NaN" if math.isnan(want) else ("+Inf" if want > 0 else "-Inf")
                if shown != expected:
                    problems.append(f"{where}: {quantity} printed {shown}, expected {expected}")
                continue
            if got is None:
                first, last = next((a, b) for f, a, b in FIELDS if f == quantity)
                if abs(want) + tol[quantity] < largest_fitting(first, last):
                    problems.append(f"{where}: {quantity} printed {shown}, expected {want:.4f}")
                continue
            if math.isnan(got) or math.isinf(got):
                problems.append(f"{where}: {quantity} printed {shown}, expected {want:.4f}")
                continue
            difference = abs(got - want)
            share = difference / tol[quantity]
            best = worst.setdefault(quantity, {"difference": (0.0, ""), "share": (0.0, ""),
                                               "rounding": (0.0, "")})
            # The part beyond the printing's half unit, as a share of the rounding bound.
            bound = tol[quantity] - HALF
            rounding = max(difference - HALF, 0.0) / bound if bound > 0 else 0.0
            if rounding > best["rounding"][0]:
                best["rounding"] = (rounding, f"{where}: printed {shown}, reference {want:.10g}")
            if difference > best["difference"][0]:
                best["difference"] = (difference, f"{where}: printed {shown}, reference {want:.10g}")
            if share > best["share"][0]:
                best["share"] = (share, f"{where}: printed {shown}, reference {want:.10g},"
                                        f" tolerance {tol[quantity]:.3g}")
            if difference > tol[quantity] * (1 + 1e-9):
                problems.append(f"{where}: {quantity} printed {shown}, reference {want:.6f},"
                                f" off by {difference:.3g} > tolerance {tol[quantity]:.3g}")
    return name, len(rows), problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("references", nargs="+", help="reference .csv files")
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--data", default=os.path.join(REPO, "data"),
                        help="folder holding the three tables (velmora runs there)")
    parser.add_argument("--source", default=REPO, help="source tree the answer paths are in")
    parser.add_argument("--wrapper", default="")
    parser.add_argument("--crlf", action="store_true", help="accepted; CR LF output is allowed")
    args = parser.parse_args()

    worst, failed = {}, 0
    for path in args.references:
        name, count, problems = compare(path, args, worst)
        for problem in problems[:40]:
            print(problem)
        if len(problems) > 40:
            print(f"... and {len(problems) - 40} more")
        print(f"{name}: {count} reflections {'agree' if not problems else 'DIFFER'}")
        failed += bool(problems)
    print("largest difference per quantity, largest share of the tolerance, and largest share"
          " of the single-precision bound used beyond the half unit of the print:")
    for quantity in COMPARED:
        if quantity in worst:
            d, where_d = worst[quantity]["difference"]
            s, where_s = worst[quantity]["share"]
            print(f"  {quantity:7} {d:.3g} ({where_d})")
            print(f"  {'':7} {s:.3f} of the tolerance ({where_s})")
            r, where_r = worst[quantity]["rounding"]
            if r > 0:
                print(f"  {'':7} {r:.3f} of the rounding bound beyond 0.0005 ({where_r})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
