#!/usr/bin/env python3
"""Reference values for velmora's report, computed by software that shares no code with it
(cctbx, numpy, periodictable; README.md says how each column is computed), with the error
scales the comparing test uses. Nothing is read from data/ or from velmora. Run with Debian's
interpreter:  /usr/bin/python3 tests/cross_check/make_references.py [--check]
--check compares with the committed files (0 same, 1 different, 77 packages missing).
"""
import argparse, glob, math, os, subprocess, sys

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ANSWER_DIRS = ("examples", os.path.join("tests", "cross_check", "structures"))
EG2MC = 0.27  # magnetic scattering length of one Bohr magneton, 10^-12 cm
COLUMNS = "h,k,l,d,qx,qy,qz,q,Fn2,Fm2,FX2,d_cond,q_scale,Sn,Pn,Yn,Sm,Pm,Ym,Sx,Px,Yx"
VERSION_PREFIX = "# packages: "
HEADER = """\
# velmora cross-check reference: {name}
# answers: {answers}
# made by tests/cross_check/make_references.py (tests/cross_check/README.md says how each column is computed)
# atoms: {natom}; magnetic atoms: {nmag}; reflections: {nrefl}
{versions}
# error scales for the comparing test: d_cond (cancellation of 1/d^2), q_scale (sum |h_i| |a*_i|),
# and per sum n, m, x: S (sum of |terms|), P (weighted by phase sizes), Y (by exponent sizes)"""


def parse_answers(path):
    """The answers as velmora's dialogue reads plain ones: each read starts on a new line."""
    lines, at = open(path).read().replace("\r\n", "\n").split("\n"), [0]

    def read(count):
        items = []
        while len(items) < count:
            if at[0] >= len(lines) or any(c in lines[at[0]] for c in "*/'\""):
                sys.exit(f"{path}: answers end early or use more than blanks and commas")
            items += lines[at[0]].replace(",", " ").split()
            at[0] += 1
        return items[:count]

    lattice = [float(v) for v in read(6)]
    atoms = [dict(zip(("label", "xyz", "occ", "b", "magnetic"), (i[0][:3], [float(v) for v in i[1:4]], float(i[4]),
                                                                  float(i[5]), int(i[6]) == 1)))
             for i in (read(7) for _ in range(max(int(read(1)[0]), 0)))]
    for atom in atoms:
        if atom["magnetic"]:
            atom["moment"] = tuple(float(v) for v in read(3))
    reflections = [tuple(float(v) for v in read(3)) for _ in range(max(int(read(1)[0]), 0))]
    if any(v != int(v) for h in reflections for v in h):
        sys.exit(f"{path}: fractional indices have no cctbx reference")
    return lattice, atoms, [tuple(int(v) for v in h) for h in reflections]


def package_names_of_labels():
    """velmora's labels are the package names cut down: Fe -> Fex, Fe2+ -> Fe2, O2- -> O2-; D is Dxx."""
    from cctbx.eltbx import xray_scattering
    names = {"Dxx": ("D", "D", 0)}
    for entry in xray_scattering.it1992_iterator():
        name = entry.label()
        element = name.rstrip("+-0123456789")
        charge = name[len(element):]
        if name not in ("Hiso", "Cval", "Sival"):  # other curves for H, C, Si
            label = (element + "xx")[:3] if not charge else (element + charge)[:3]
            names[label] = (name, element, (-1 if charge.endswith("-") else 1) * int(charge[:-1]) if charge else 0)
    return names


def xray_gaussian(name):
    from cctbx.eltbx import xray_scattering
    return xray_scattering.it1992("H" if name == "D" else name).fetch()


def neutron_length_fm(element):
    from cctbx.eltbx import neutron
    return neutron.neutron_news_1992_table(element).bound_coh_scatt_length().real


def j0_form(element, charge):
    import periodictable
    return periodictable.elements.symbol(element).magnetic_ff[charge]


def structure_factors(lattice, atoms, reflections, names):
    """|F|^2 of every reflection by cctbx's direct summation, X-ray and neutron."""
    from cctbx import crystal, miller, xray
    from cctbx.array_family import flex
    from cctbx.eltbx import xray_scattering
    symmetry = crystal.symmetry(unit_cell=lattice, space_group_symbol="P1")
    indices = miller.set(symmetry, flex.miller_index(reflections), anomalous_flag=True)
    types = {names[a["label"]][0] for a in atoms}
    result = {}
    for kind, custom in (("xray", {t: xray_gaussian(t) for t in types}),
                         ("neutron", {t: xray_scattering.gaussian(neutron_length_fm(t.rstrip("+-0123456789")))
                                      for t in types})):
        scatterers = flex.xray_scatterer()
        for a in atoms:
            scatterers.append(xray.scatterer(label=a["label"], site=a["xyz"], u=a["b"] / (8 * math.pi ** 2),
                                             occupancy=a["occ"], scattering_type=names[a["label"]][0]))
        structure = xray.structure(crystal_symmetry=symmetry, scatterers=scatterers)
        structure.scattering_type_registry(custom_dict=custom)
        f = indices.structure_factors_from_scatterers(structure, algorithm="direct").f_calc()
        result[kind] = [abs(v) ** 2 for v in f.data()]
    result["neutron"] = [v / 100 for v in result["neutron"]]
    return result


def magnetic_and_scales(lattice, atoms, reflections, names, cell):
    import numpy as np
    a, b, c = lattice[:3]
    ca, cb, cg = (math.cos(math.radians(v)) for v in lattice[3:])
    metric = np.array([[a * a, a * b * cg, a * c * cb], [a * b * cg, b * b, b * c * ca], [a * c * cb, b * c * ca, c * c]])
    reciprocal = 2 * math.pi * np.linalg.inv(np.linalg.cholesky(metric)).T
    metric_inv = np.linalg.inv(metric)
    cond_cell = (1 + ca * ca + cb * cb + cg * cg + abs(2 * ca * cb * cg)) / (1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg)
    moments = []
    for atom in (a for a in atoms if a["magnetic"]):
        size, to_x, to_z = atom["moment"]
        polar, azimuth = math.radians(to_z), math.radians(to_x)
        e = np.array([math.sin(polar) * math.cos(azimuth), math.sin(polar) * math.sin(azimuth), math.cos(polar)])
        moments.append((atom, size * e, j0_form(*names[atom["label"]][1:])))
    rows = []
    for hkl in reflections:
        h = np.array(hkl, dtype=float)
        q = h @ reciprocal
        if not np.allclose(q, 2 * math.pi * np.array(cell.reciprocal_space_vector(hkl)), rtol=0,
                           atol=1e-12 * (1 + np.abs(q).max())):
            sys.exit(f"cctbx's frame and the Cholesky frame disagree at {hkl}")
        origin = hkl == (0, 0, 0)
        d = math.inf if origin else cell.d(hkl)
        qlen, s = (0.0, 0.0) if origin else (2 * math.pi / d, 1 / (2 * d))
        terms = np.array([h[0] * h[0] * metric_inv[0, 0], h[1] * h[1] * metric_inv[1, 1], h[2] * h[2] * metric_inv[2, 2],
                          2 * h[0] * h[1] * metric_inv[0, 1], 2 * h[1] * h[2] * metric_inv[1, 2],
                          2 * h[2] * h[0] * metric_inv[2, 0]])
        d_cond = 0.0 if origin else np.abs(terms).sum() / abs(terms.sum()) + cond_cell
        q_scale = sum(abs(hv) * np.linalg.norm(r) for hv, r in zip(h, reciprocal))
        m = np.zeros(3, dtype=complex)
        for atom, moment, form in moments:
            m += (atom["occ"] * float(form.j0_Q(qlen)) * math.exp(-atom["b"] * s * s)
                  * np.exp(2j * math.pi * float(h @ np.array(atom["xyz"]))) * moment)
        fm2 = math.nan if origin else EG2MC ** 2 * float(np.sum(np.abs(np.cross(q, np.cross(m, q)) / (q @ q)) ** 2))
        sums, s2 = {k: [0.0, 0.0, 0.0] for k in "nmx"}, s * s
        for atom in atoms:
            name, element, charge = names[atom["label"]]
            damp = abs(atom["occ"]) * math.exp(-atom["b"] * s2)
            phase = 2 * math.pi * sum(abs(hv * xv) for hv, xv in zip(hkl, atom["xyz"]))
            g = xray_gaussian(name)
            parts = [abs(av) * math.exp(-bv * s2) for av, bv in zip(g.array_of_a(), g.array_of_b())]
            amplitudes = {"n": (abs(neutron_length_fm(element)) / 10, 0.0),
                          "x": (sum(parts) + abs(g.c()), sum(p * bv * s2 for p, bv in zip(parts, g.array_of_b())))}
            if atom["magnetic"]:
                j = j0_form(element, charge).j0
                jparts = [abs(j[i]) * math.exp(-j[i + 1] * s2) for i in (0, 2, 4)]
                size = abs(atom["moment"][0])
                amplitudes["m"] = (size * (sum(jparts) + abs(j[6])),
                                   size * abs(sum(p * j[i + 1] * s2 for p, i in zip(jparts, (0, 2, 4)))))
            for kind, (amplitude, exponent_weight) in amplitudes.items():
                sums[kind][0] += amplitude * damp
                sums[kind][1] += amplitude * damp * phase
                sums[kind][2] += (amplitude * atom["b"] * s2 + exponent_weight) * damp
        rows.append((d, q, qlen, fm2, d_cond, q_scale, sums))
    return rows


def number(value, noise=0.0):
    """Twelve significant digits; rounding residue of sums that cancel, below `noise`, as 0."""
    if math.isnan(value):
        return "nan"
    if math.isinf(value):
        return "inf" if value > 0 else "-inf"
    return "0" if abs(value) <= noise or value == 0 else f"{value:.12g}"


def reference_text(path, versions):
    from cctbx import uctbx
    names = package_names_of_labels()
    lattice, atoms, reflections = parse_answers(path)
    missing = [a["label"] for a in atoms if a["label"] not in names]
    if missing:
        sys.exit(f"{path}: no package entry for {missing}")
    factors = structure_factors(lattice, atoms, reflections, names)
    name = os.path.splitext(os.path.basename(path))[0]
    lines = [HEADER.format(name=name, answers=os.path.relpath(path, REPO).replace(os.sep, "/"), natom=len(atoms),
                           nmag=sum(a["magnetic"] for a in atoms), nrefl=len(reflections), versions=versions), COLUMNS]
    for i, (hkl, row) in enumerate(zip(reflections, magnetic_and_scales(lattice, atoms, reflections, names,
                                                                         uctbx.unit_cell(lattice)))):
        d, q, qlen, fm2, d_cond, q_scale, sums = row
        noise = {k: 1e-20 * max(sums[k][0], 1.0) ** 2 * (EG2MC ** 2 if k == "m" else 1) for k in "nmx"}
        fields = [str(v) for v in hkl] + [number(d)] + [number(v, 1e-13 * max(q_scale, 1.0)) for v in q]
        fields += [number(qlen), number(factors["neutron"][i], noise["n"]), number(fm2, noise["m"]),
                   number(factors["xray"][i], noise["x"]), number(d_cond), number(q_scale)]
        fields += [number(v) for kind in "nmx" for v in sums[kind]]
        lines.append(",".join(fields))
    return name, "\n".join(lines) + "\n"


def agree(made, committed):
    """Two references agree where their values do to what double precision leaves of them: numpy's
    BLAS (reference or OpenBLAS) sums in its own order, which moves the last digits of a value that
    cancels. A value may differ by 2^-40 of its size or, for a squared modulus, of the squared sum
    of |terms| (S) it cancelled from; the text around the values must be the same."""
    made, committed = made.split("\n"), committed.split("\n")
    if len(made) != len(committed):
        return False
    for ours, theirs in zip(made, committed):
        if ours == theirs or ours.startswith(VERSION_PREFIX) and theirs.startswith(VERSION_PREFIX):
            continue
        if ours.startswith("#") or theirs.startswith("#"):
            return False
        row, fields = dict(zip(COLUMNS.split(","), ours.split(","))), zip(ours.split(","), theirs.split(","))
        for column, (a, b) in zip(COLUMNS.split(","), fields):
            if a == b:
                continue
            try:
                a, b = float(a), float(b)
            except ValueError:
                return False
            kind = {"Fn2": "n", "Fm2": "m", "FX2": "x"}.get(column)
            scale = max(float(row["S" + kind]), 1.0) ** 2 * (EG2MC ** 2 if kind == "m" else 1) if kind else 0.0
            if not abs(a - b) <= 2.0 ** -40 * max(abs(a), abs(b), scale):
                return False
    return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", action="store_true", help="compare with the committed references")
    parser.add_argument("--output", default=os.path.join(REPO, "tests", "cross_check", "references"))
    args = parser.parse_args()
    try:
        import cctbx.xray, numpy, periodictable  # noqa: F401
    except ImportError as error:
        print(f"SKIPPED: needs python3-cctbx, python3-numpy, python3-periodictable ({error}); use /usr/bin/python3")
        return 77
    versions = VERSION_PREFIX + ", ".join(
        f"{p} " + (subprocess.run(["dpkg-query", "-W", "-f=${Version}", p], capture_output=True, text=True).stdout
                   .strip() or "unknown") for p in ("python3-cctbx", "python3-numpy", "python3-periodictable"))
    made = dict(reference_text(path, versions) for folder in ANSWER_DIRS
                for path in sorted(glob.glob(os.path.join(REPO, folder, "*.txt"))))
    if not args.check:
        os.makedirs(args.output, exist_ok=True)
        for name, text in made.items():
            with open(os.path.join(args.output, name + ".csv"), "w", newline="\n") as f:
                f.write(text)
        print(f"wrote {len(made)} references to {args.output}")
        return 0
    committed = {os.path.basename(p)[:-4]: open(p, newline="").read()
                 for p in glob.glob(os.path.join(args.output, "*.csv"))}
    differ = sorted(n for n in set(made) | set(committed) if not agree(made.get(n, ""), committed.get(n, "")))
    for name in differ:
        print(f"{name}.csv differs from what the packages give now (or is missing, or has no answer file)")
    print(f"{len(made) - len(differ)} of {len(made)} references reproduced")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
