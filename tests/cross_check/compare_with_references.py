#!/usr/bin/env python3
"""Runs velmora on a structure and compares its report with values computed by other software
(references/<name>.csv, made by make_references.py), within the tolerance README.md derives.
--wrapper CMD runs velmora under CMD; --crlf is accepted.
"""
import argparse, math, os, subprocess, sys

U, HALF, EG2MC2 = 2.0 ** -24, 0.0005, 0.27 ** 2
FIELDS = {"d": (15, 22, "d"), "qx": (22, 29, "qx"), "qy": (29, 36, "qy"), "qz": (36, 43, "qz"),
          "|q|": (43, 50, "q"), "|Fn|^2": (50, 58, "Fn2"), "|Fm|^2": (58, 66, "Fm2"), "|FX|^2": (66, 78, "FX2")}


def read_reference(path):
    meta, rows, columns = {}, [], None
    for line in open(path).read().splitlines():
        if line.startswith("#"):
            key, _, value = line[1:].partition(":")
            meta.setdefault(key.strip(), value.strip())
        elif columns is None:
            columns = line.split(",")
        elif line:
            rows.append({c: (int(v) if c in "hkl" else float(v)) for c, v in zip(columns, line.split(","))})
    natom, nmag = (int(part.split(":")[-1]) for part in ("x:" + meta["atoms"]).split(";")[:2])
    return meta["answers"], natom, nmag, rows


def tolerances(ref, natom, nmag):
    e_d = 64 * U * ref["d_cond"]
    tol = {"d": HALF + e_d * ref["d"] if math.isfinite(ref["d"]) else 0.0, "|q|": HALF + (e_d + 4 * U) * ref["q"]}
    for axis in ("qx", "qy", "qz"):
        tol[axis] = HALF + e_d * ref["q_scale"]

    def amplitude_error(kind, count, per_term):
        return U * ((max(count - 1, 0) + per_term) * ref["S" + kind] + 8 * ref["P" + kind]
                    + (2 * e_d / U + 8) * ref["Y" + kind])

    for name, kind, column in (("|Fn|^2", "n", "Fn2"), ("|FX|^2", "x", "FX2")):
        df = amplitude_error(kind, natom, 16)
        tol[name] = HALF + 2 * math.sqrt(ref[column]) * df + df * df + 8 * U * ref[column]
    if not math.isnan(ref["Fm2"]):
        dp, s = amplitude_error("m", nmag, 32), ref["Sm"]
        direction = 2 * math.sqrt(3) * e_d * ref["q_scale"] / ref["q"]
        perp = math.sqrt(ref["Fm2"] / EG2MC2)
        tol["|Fm|^2"] = HALF + EG2MC2 * (2 * perp * dp + dp * dp + 16 * U * s * s + 2 * s * s * direction) \
            + 8 * U * ref["Fm2"]
    return tol


def compare(path, args):
    answers, natom, nmag, rows = read_reference(path)
    with open(os.path.join(args.source, answers), "rb") as f:
        run = subprocess.run(args.wrapper.split() + [os.path.abspath(args.velmora)], stdin=f, cwd=args.data,
                             capture_output=True, timeout=600)
    lines = run.stdout.decode(errors="replace").replace("\r\n", "\n").split("\n")
    if run.returncode != 0 or " Output:" not in lines:
        return [f"velmora ended with status {run.returncode}: {run.stderr[-300:]!r}"]
    printed = [line for line in lines[lines.index(" Output:") + 3:] if line]
    problems = [] if len(printed) == len(rows) else [f"{len(printed)} rows printed, {len(rows)} in the reference"]
    for line, ref in zip(printed, rows):
        where = f"{os.path.basename(path)} {ref['h']} {ref['k']} {ref['l']}"
        if len(line) != 78 or [line[i:i + 5].strip() for i in (0, 5, 10)] != [f"{ref[c]:.1f}" for c in "hkl"]:
            problems.append(f"{where}: row {line!r}")
            continue
        tol = tolerances(ref, natom, nmag)
        for quantity, (first, last, column) in FIELDS.items():
            want, shown = ref[column], line[first:last].strip()
            if not math.isfinite(want):
                ok = shown == ("NaN" if math.isnan(want) else "+Inf")
            elif set(shown) == {"*"}:
                ok = abs(want) + tol[quantity] >= 10.0 ** (last - first - 4) - HALF
            else:
                ok = shown not in ("NaN", "+Inf", "-Inf") and abs(float(shown) - want) <= tol[quantity] * (1 + 1e-9)
            if not ok:
                problems.append(f"{where}: {quantity} printed {shown}, reference {want:.6f}, "
                                f"tolerance {tol.get(quantity, 0):.3g}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("references", nargs="+")
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--data", required=True, help="folder of the three tables (velmora runs there)")
    parser.add_argument("--source", required=True, help="source tree the answer paths are in")
    parser.add_argument("--wrapper", default="")
    parser.add_argument("--crlf", action="store_true")
    args = parser.parse_args()
    failed = False
    for path in args.references:
        problems = compare(path, args)
        print("\n".join(problems[:40]) + f"\n{os.path.basename(path)}: {'DIFFERS' if problems else 'agrees'}")
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
