#!/usr/bin/env python3
"""Runs velmora on every example in examples/ and checks its numbers by another route.

For each reflection, d, |Fn|^2 and |FX|^2 are recomputed by cctbx's direct summation of the
same atoms (its it1992 X-ray and Sears neutron tables, the sources of data/), and |Fm|^2 by a
direct double-precision sum of the magnetic interaction vector with the <j0> of data/. The
printed values must agree within their three decimals, or within single-precision rounding
(10^-5 relative) where the values are large. This is what makes the expected outputs of the
x_* end-to-end cases more than a record of what velmora once printed.

Needs Debian's python3-cctbx (run it with /usr/bin/python3); exits 77 (skipped) without it.
"""
import argparse
import cmath
import math
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
TABLES = ("x-ray_coefficients_from_int_tables_edited.txt",
          "neutron_bcoh_from_international_tables_edited.txt",
          "neutron_mag_from_international_tables_edited.txt")
SKIPPED = 77


def species(label, xray_names):
    """The package's name for a table label: Fex -> Fe, Fe2 -> Fe2+, O2- -> O2-."""
    for name in xray_names:
        symbol = name.rstrip("+-0123456789")
        charge = name[len(symbol):]
        if ((symbol + "xx")[:3] if not charge else (symbol + charge)[:3]) == label:
            return name
    raise KeyError(label)


def parse_answers(text):
    """The example's answers: lattice, atoms, moments, reflections (one item set per line)."""
    lines = iter(line for line in text.split("\n") if line.strip())
    lattice = [float(v) for v in next(lines).split()[:6]]
    atoms = []
    for _ in range(int(next(lines).split()[0])):
        p = next(lines).split()
        atoms.append((p[0][:3], [float(v) for v in p[1:4]], float(p[4]), float(p[5]), int(p[6])))
    moments = [[float(v) for v in next(lines).split()[:3]] for atom in atoms if atom[4] == 1]
    reflections = [[float(v) for v in next(lines).split()[:3]]
                   for _ in range(int(next(lines).split()[0]))]
    return lattice, atoms, moments, reflections


def magnetic_rows(path):
    with open(path) as f:
        rows = f.read().split("\n")[1:96]
    return {r.split()[0]: [float(v) for v in r.split()[1:8]] for r in rows if r.strip()}


def expected(answers, data):
    from cctbx import crystal, miller, xray
    from cctbx.array_family import flex
    from cctbx.eltbx import xray_scattering

    names = [e.label() for e in xray_scattering.it1992_iterator()]
    lattice, atoms, moments, reflections = parse_answers(answers)
    symmetry = crystal.symmetry(unit_cell=lattice, space_group_symbol="P1")
    scatterers = flex.xray_scatterer()
    for label, xyz, occ, b, _ in atoms:
        scatterers.append(xray.scatterer(label=label, site=xyz, u=b / (8 * math.pi ** 2),
                                         occupancy=occ, scattering_type=species(label, names)))
    structure = xray.structure(crystal_symmetry=symmetry, scatterers=scatterers)
    indices = miller.set(symmetry, flex.miller_index([tuple(int(v) for v in h)
                                                      for h in reflections]),
                         anomalous_flag=True)
    structure.scattering_type_registry(table="it1992")
    fx = indices.structure_factors_from_scatterers(structure, algorithm="direct").f_calc().data()
    nuclear = structure.deep_copy_scatterers()
    nuclear.scattering_type_registry(table="neutron")
    fn = indices.structure_factors_from_scatterers(nuclear, algorithm="direct").f_calc().data()

    mag = magnetic_rows(os.path.join(data, TABLES[2]))
    cell = symmetry.unit_cell()
    rows = []
    for i, h in enumerate(reflections):
        d = cell.d(tuple(int(v) for v in h))
        s = 1 / (2 * d)
        q = [2 * math.pi * v for v in cell.reciprocal_space_vector(tuple(int(v) for v in h))]
        length = math.sqrt(sum(v * v for v in q))
        uq = [v / length for v in q]
        p = [0j, 0j, 0j]
        moment = iter(moments)
        for label, xyz, occ, b, flag in atoms:
            if flag != 1:
                continue
            size, to_x, to_z = next(moment)
            to_x, to_z = math.radians(to_x), math.radians(to_z)
            u = (math.sin(to_z) * math.cos(to_x), math.sin(to_z) * math.sin(to_x), math.cos(to_z))
            c = mag[label]
            form = sum(c[k] * math.exp(-c[k + 1] * s * s) for k in (0, 2, 4)) + c[6]
            phase = cmath.exp(2j * math.pi * sum(hv * xv for hv, xv in zip(h, xyz)))
            weight = size * occ * form * math.exp(-b * s * s) * phase
            p = [pt + weight * ut for pt, ut in zip(p, u)]
        along = sum(ut * pt for ut, pt in zip(uq, p))
        perp = [pt - along * ut for pt, ut in zip(p, uq)]
        fm2 = 0.27 ** 2 * sum(abs(v) ** 2 for v in perp)
        rows.append((d, abs(fn[i]) ** 2 / 100, fm2, abs(fx[i]) ** 2))
    return rows


def printed(out):
    lines = out.replace("\r\n", "\n").split("\n")
    start = lines.index(" Output:") + 3
    return [(float(r[15:22]), float(r[50:58]), float(r[58:66]), float(r[66:78]))
            for r in lines[start:] if r]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--data", default=os.path.join(REPO, "data"))
    parser.add_argument("--examples", default=os.path.join(REPO, "examples"))
    parser.add_argument("--wrapper", default="")
    parser.add_argument("--crlf", action="store_true", help="accepted; CR LF output is allowed")
    args = parser.parse_args()
    try:
        import cctbx.xray  # noqa: F401
    except ImportError as error:
        print(f"SKIPPED: needs Debian's python3-cctbx ({error}); run with /usr/bin/python3")
        return SKIPPED

    passed = failed = 0
    work = tempfile.mkdtemp(prefix="velmora-examples-")
    try:
        for name in TABLES:
            shutil.copy(os.path.join(args.data, name), work)
        for example in sorted(f for f in os.listdir(args.examples) if f.endswith(".txt")):
            with open(os.path.join(args.examples, example)) as f:
                answers = f.read()
            run = subprocess.run(args.wrapper.split() + [os.path.abspath(args.velmora)],
                                 input=answers.encode(), cwd=work, capture_output=True,
                                 timeout=300)
            got = printed(run.stdout.decode(errors="replace"))
            want = expected(answers, args.data)
            ok = run.returncode == 0 and len(got) == len(want)
            for row, (g, w) in enumerate(zip(got, want), start=1):
                for column, a, b in zip(("d", "|Fn|^2", "|Fm|^2", "|FX|^2"), g, w):
                    if abs(a - b) > 1.5e-3 + 1e-5 * abs(b):
                        ok = False
                        print(f"{example} row {row} {column}: velmora {a}, expected {b:.4f}")
            print(f"{example}: {len(got)} reflections {'agree' if ok else 'DIFFER'}")
            passed, failed = passed + ok, failed + (not ok)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
