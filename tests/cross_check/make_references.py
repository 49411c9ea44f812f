#!/usr/bin/env python3
"""Reference values for velmora's reflection report, computed by other software.

For every answer file in examples/ and tests/cross_check/structures/ this script computes,
for each reflection h k l of the file, the numbers velmora prints, by routes that share no
code with velmora:

  d, |q|      d from cctbx's unit cell (cctbx.uctbx.unit_cell.d); |q| = 2 pi / d
  qx qy qz    2 pi times cctbx's Cartesian reciprocal-space vector (x along a, y in the
              a-b plane, z along c*), checked against a second frame built here with numpy
              (Cholesky factor of the metric tensor)
  |FX|^2      cctbx's direct summation over the atoms (P1, every atom of the answer file a
              scatterer with its occupancy and u_iso = B / (8 pi^2)), International Tables
              1992 form factors (cctbx.eltbx.xray_scattering, it1992; deuterium takes H)
  |Fn|^2      the same summation with each atom's form factor replaced by its bound
              coherent scattering length from cctbx.eltbx.neutron (Sears 1992, real part,
              in fm), divided by 100: (10 fm)^2 = (10^-12 cm)^2 = 1 barn
  |Fm|^2      the textbook magnetic interaction vector, written here in numpy:
              M(Q) = sum_j mu_j e_j occ_j <j0>_j(Q) exp(-B_j s^2) exp(2 pi i h.x_j),
              M_perp = Q x (M x Q) / |Q|^2, |Fm|^2 = 0.27^2 |M_perp|^2, with <j0> from
              python3-periodictable (periodictable.magnetic_ff, evaluated at Q = 2 pi / d)
              and e_j = (sin t cos p, sin t sin p, cos t), t the angle to z (polar angle)
              and p the angle to x (azimuth) of the answer file, in the numpy frame

Every number is taken from the packages and from the decimals of the answer file, in double
precision; nothing is read from data/ or from velmora. The results go to
tests/cross_check/references/<name>.csv, where the comparing test
(tests/cross_check/compare_with_references.py) reads them; the columns are described in
each file's header and the error scales in the comparing test.

Run it with Debian's interpreter, where python3-cctbx, python3-numpy and
python3-periodictable live:

  /usr/bin/python3 tests/cross_check/make_references.py            writes the references
  /usr/bin/python3 tests/cross_check/make_references.py --check    compares them with a fresh computation

--check exits 0 when every committed reference is, row for row and character for character,
what the packages give now, 1 when one differs or is missing, and 77 (skipped) when a
package is not installed.
"""
import argparse
import glob
import math
import os
import subprocess
import sys

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SKIPPED = 77
ANSWER_DIRS = ("examples", os.path.join("tests", "cross_check", "structures"))
OUTPUT_DIR = os.path.join("tests", "cross_check", "references")

EG2MC = 0.27  # magnetic scattering length of one Bohr magneton, 10^-12 cm, as velmora uses
COLUMNS = ("h,k,l,d,qx,qy,qz,q,Fn2,Fm2,FX2,"
           "d_cond,q_scale,Sn,Pn,Yn,Sm,Pm,Ym,Sx,Px,Yx")
VERSION_PREFIX = "# packages: "

HEADER = """\
# velmora cross-check reference: {name}
# answers: {answers}
# made by tests/cross_check/make_references.py (run it with /usr/bin/python3; --check compares)
# atoms: {natom}; magnetic atoms: {nmag}; reflections: {nrefl}
{versions}
# d      cctbx.uctbx.unit_cell.d(h k l), Angstrom; q = 2 pi/d, 1/Angstrom
# qx qy qz  2 pi * cctbx reciprocal_space_vector (x along a, y in a-b plane, z along c*)
# FX2    |F|^2, cctbx direct summation, it1992 form factors, u_iso = B/(8 pi^2), occupancy
# Fn2    |F|^2, cctbx direct summation with cctbx.eltbx.neutron lengths (fm), / 100 = barn
# Fm2    0.27^2 |Q x (M x Q)|^2/|Q|^4, numpy, <j0> from periodictable, moments from the
#        angles to x (azimuth) and to z (polar) in the same Cartesian frame
# 0 0 0: d = inf, q = 0, Fm2 = nan (no direction); Fn2, FX2 the forward values
# error scales (double, from the same inputs), used by the comparing test:
# d_cond   sum|terms|/|sum| of 1/d^2 = h.G*.h plus the same for the cell's V^2/(abc)^2
# q_scale  sum_i |h_i| |a*_i| (with 2 pi)
# S*       sum over atoms of |amplitude_j| (X-ray: sum|a_i|exp(-b_i s^2) + |c|; magnetic:
#          moment * sum|A|exp(..) + |D|), times |occ| exp(-B s^2): n neutron, m magnetic, x X-ray
# P*       the same sum weighted by each atom's phase size 2 pi sum_i |h_i x_i|
# Y*       the same sum weighted by each atom's exponent sizes B s^2 (+ b_i s^2 of its form factor)
"""


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


# ---------------------------------------------------------------------------------------
# Reading an answer file the way velmora's dialogue reads it: every read starts on a new
# line, takes its items from as many lines as it needs and drops the rest of its last line.

class Answers:
    def __init__(self, text, path):
        self.lines = text.replace("\r\n", "\n").split("\n")
        self.next_line = 0
        self.path = path

    def read(self, count):
        items = []
        while len(items) < count:
            if self.next_line >= len(self.lines):
                fail(f"{self.path}: the answers end early")
            line = self.lines[self.next_line]
            self.next_line += 1
            if any(c in line for c in "*/'\""):
                fail(f"{self.path}: only blanks and commas are understood here: {line!r}")
            items += line.replace(",", " ").split()
        return items[:count]


def parse_answers(path):
    with open(path) as f:
        answers = Answers(f.read(), path)
    lattice = [float(v) for v in answers.read(6)]
    natom = int(answers.read(1)[0])
    atoms = []
    for _ in range(max(natom, 0)):
        item = answers.read(7)
        atoms.append({"label": item[0][:3], "xyz": [float(v) for v in item[1:4]],
                      "occ": float(item[4]), "b": float(item[5]), "magnetic": int(item[6]) == 1})
    for atom in atoms:
        if atom["magnetic"]:
            size, to_x, to_z = (float(v) for v in answers.read(3))
            atom["moment"] = (size, to_x, to_z)
    nrefl = int(answers.read(1)[0])
    reflections = []
    for _ in range(max(nrefl, 0)):
        h = [float(v) for v in answers.read(3)]
        if any(v != int(v) for v in h):
            fail(f"{path}: fractional indices have no cctbx reference: {h}")
        reflections.append(tuple(int(v) for v in h))
    return lattice, atoms, reflections


# ---------------------------------------------------------------------------------------
# Labels: velmora's three-character labels (data/README.md) are the package's names cut
# down: Fe -> Fex, Fe2+ -> Fe2, O2- -> O2-, V3+ -> V3+; D is Dxx.

def package_names_of_labels():
    from cctbx.eltbx import xray_scattering
    names = {}
    for entry in xray_scattering.it1992_iterator():
        name = entry.label()
        element = name.rstrip("+-0123456789")
        charge = name[len(element):]
        if name in ("Hiso", "Cval", "Sival"):  # other curves for H, C, Si; no labels of their own
            continue
        label = (element + "xx")[:3] if not charge else (element + charge)[:3]
        sign = -1 if charge.endswith("-") else 1
        names[label] = (name, element, sign * int(charge[:-1]) if charge else 0)
    names["Dxx"] = ("D", "D", 0)
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


# ---------------------------------------------------------------------------------------

def structure_factors(lattice, atoms, reflections, names):
    """|F|^2 of every reflection by cctbx's direct summation, X-ray and neutron."""
    from cctbx import crystal, miller, xray
    from cctbx.array_family import flex
    from cctbx.eltbx import xray_scattering

    symmetry = crystal.symmetry(unit_cell=lattice, space_group_symbol="P1")
    indices = miller.set(symmetry, flex.miller_index(reflections), anomalous_flag=True)
    result = {}
    for kind in ("xray", "neutron"):
        scatterers = flex.xray_scatterer()
        for atom in atoms:
            name = names[atom["label"]][0]
            scatterers.append(xray.scatterer(label=atom["label"], site=atom["xyz"],
                                             u=atom["b"] / (8 * math.pi ** 2),
                                             occupancy=atom["occ"], scattering_type=name))
        structure = xray.structure(crystal_symmetry=symmetry, scatterers=scatterers)
        types = {names[a["label"]][0] for a in atoms}
        if kind == "xray":
            custom = {t: xray_gaussian(t) for t in types}
        else:
            custom = {t: xray_scattering.gaussian(neutron_length_fm(t.rstrip("+-0123456789")))
                      for t in types}
        structure.scattering_type_registry(custom_dict=custom)
        f = indices.structure_factors_from_scatterers(structure, algorithm="direct").f_calc()
        result[kind] = [abs(v) ** 2 for v in f.data()]
    result["neutron"] = [v / 100 for v in result["neutron"]]
    return result


def cartesian_frame(lattice):
    """Rows a, b, c in Cartesian axes, x along a, y in the a-b plane, z along c*: the
    lower-triangular Cholesky factor of the metric tensor, and the reciprocal rows * 2 pi."""
    import numpy as np
    a, b, c = lattice[:3]
    ca, cb, cg = (math.cos(math.radians(v)) for v in lattice[3:])
    metric = np.array([[a * a, a * b * cg, a * c * cb],
                       [a * b * cg, b * b, b * c * ca],
                       [a * c * cb, b * c * ca, c * c]])
    direct = np.linalg.cholesky(metric)
    reciprocal = 2 * math.pi * np.linalg.inv(direct).T
    return direct, reciprocal, np.linalg.inv(metric)


def magnetic_and_scales(lattice, atoms, reflections, names, cell):
    import numpy as np
    direct, reciprocal, metric_inv = cartesian_frame(lattice)
    ca, cb, cg = (math.cos(math.radians(v)) for v in lattice[3:])
    volume_sq = 1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg
    cond_cell = (1 + ca * ca + cb * cb + cg * cg + abs(2 * ca * cb * cg)) / volume_sq

    moments = []
    for atom in atoms:
        if atom["magnetic"]:
            size, to_x, to_z = atom["moment"]
            polar, azimuth = math.radians(to_z), math.radians(to_x)
            e = np.array([math.sin(polar) * math.cos(azimuth),
                          math.sin(polar) * math.sin(azimuth), math.cos(polar)])
            _, element, charge = names[atom["label"]]
            moments.append((atom, size * e, j0_form(element, charge)))

    rows = []
    for hkl in reflections:
        h = np.array(hkl, dtype=float)
        q = h @ reciprocal
        q_cctbx = 2 * math.pi * np.array(cell.reciprocal_space_vector(hkl))
        if not np.allclose(q, q_cctbx, rtol=0, atol=1e-12 * (1 + np.abs(q).max())):
            fail(f"cctbx's frame and the Cholesky frame disagree at {hkl}: {q_cctbx} {q}")
        origin = hkl == (0, 0, 0)
        if origin:
            d, qlen, s = math.inf, 0.0, 0.0
        else:
            d = cell.d(hkl)
            qlen = 2 * math.pi / d
            s = 1 / (2 * d)
            if abs(np.linalg.norm(q) - qlen) > 1e-12 * qlen:
                fail(f"|q| from the frame is not 2 pi / d at {hkl}")
        terms = np.array([h[0] * h[0] * metric_inv[0, 0], h[1] * h[1] * metric_inv[1, 1],
                          h[2] * h[2] * metric_inv[2, 2], 2 * h[0] * h[1] * metric_inv[0, 1],
                          2 * h[1] * h[2] * metric_inv[1, 2], 2 * h[2] * h[0] * metric_inv[2, 0]])
        d_cond = 0.0 if origin else np.abs(terms).sum() / abs(terms.sum()) + cond_cell
        q_scale = sum(abs(hv) * np.linalg.norm(r) for hv, r in zip(h, reciprocal))

        # Magnetic interaction vector, the textbook way.
        m = np.zeros(3, dtype=complex)
        for atom, moment, form in moments:
            j0 = float(form.j0_Q(qlen))
            weight = atom["occ"] * j0 * math.exp(-atom["b"] * s * s)
            phase = np.exp(2j * math.pi * float(h @ np.array(atom["xyz"])))
            m += weight * phase * moment
        if origin:
            fm2 = math.nan
        else:
            m_perp = np.cross(q, np.cross(m, q)) / (q @ q)
            fm2 = EG2MC ** 2 * float(np.sum(np.abs(m_perp) ** 2))

        # Error scales: sizes of the terms that the sums add up.
        sums = {k: [0.0, 0.0, 0.0] for k in "nmx"}
        s2 = s * s
        for atom in atoms:
            name, element, charge = names[atom["label"]]
            damp = abs(atom["occ"]) * math.exp(-atom["b"] * s2)
            phase = 2 * math.pi * sum(abs(hv * xv) for hv, xv in zip(hkl, atom["xyz"]))
            dw_exponent = atom["b"] * s2
            g = xray_gaussian(name)
            parts = [abs(av) * math.exp(-bv * s2) for av, bv in zip(g.array_of_a(), g.array_of_b())]
            fx_abs = sum(parts) + abs(g.c())
            fx_exp = sum(p * bv * s2 for p, bv in zip(parts, g.array_of_b()))
            amplitudes = {"n": (abs(neutron_length_fm(element)) / 10, 0.0),
                          "x": (fx_abs, fx_exp)}
            if atom["magnetic"]:
                size = abs(atom["moment"][0])
                coefficients = j0_form(element, charge).j0
                jparts = [abs(coefficients[i]) * math.exp(-coefficients[i + 1] * s2)
                          for i in (0, 2, 4)]
                j_abs = sum(jparts) + abs(coefficients[6])
                j_exp = sum(p * coefficients[i + 1] * s2 for p, i in zip(jparts, (0, 2, 4)))
                amplitudes["m"] = (size * j_abs, size * abs(j_exp))
            for kind, (amplitude, exponent_weight) in amplitudes.items():
                sums[kind][0] += amplitude * damp
                sums[kind][1] += amplitude * damp * phase
                sums[kind][2] += (amplitude * dw_exponent + exponent_weight) * damp
        rows.append({"d": d, "q": q, "qlen": qlen, "Fm2": fm2, "d_cond": d_cond,
                     "q_scale": q_scale, "sums": sums})
    return rows


def number(value, noise=0.0):
    """Twelve significant digits: far more than the comparison needs, and few enough that a
    different build of the same packages writes the same characters. Values below `noise`
    are rounding residue of double-precision sums that cancel, written as 0."""
    if math.isnan(value):
        return "nan"
    if math.isinf(value):
        return "inf" if value > 0 else "-inf"
    if abs(value) <= noise or value == 0:
        return "0"
    return f"{value:.12g}"


def package_versions():
    versions = []
    for package in ("python3-cctbx", "python3-numpy", "python3-periodictable"):
        try:
            version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package],
                                     capture_output=True, text=True).stdout.strip()
        except OSError:
            version = ""
        versions.append(f"{package} {version or 'unknown'}")
    return VERSION_PREFIX + ", ".join(versions)


def reference_text(answers_path, versions):
    from cctbx import uctbx
    names = package_names_of_labels()
    lattice, atoms, reflections = parse_answers(answers_path)
    for atom in atoms:
        if atom["label"] not in names:
            fail(f"{answers_path}: no package entry for the label {atom['label']!r}")
    cell = uctbx.unit_cell(lattice)
    factors = structure_factors(lattice, atoms, reflections, names)
    rows = magnetic_and_scales(lattice, atoms, reflections, names, cell)
    name = os.path.splitext(os.path.basename(answers_path))[0]
    relative = os.path.relpath(answers_path, REPO).replace(os.sep, "/")
    lines = [HEADER.format(name=name, answers=relative, natom=len(atoms),
                           nmag=sum(a["magnetic"] for a in atoms), nrefl=len(reflections),
                           versions=versions).rstrip("\n"), COLUMNS]
    for i, hkl in enumerate(reflections):
        row = rows[i]
        sums = row["sums"]
        square_noise = {k: 1e-20 * max(sums[k][0], 1.0) ** 2 for k in "nmx"}
        square_noise["m"] *= EG2MC ** 2
        vector_noise = 1e-13 * max(row["q_scale"], 1.0)
        fields = [str(v) for v in hkl]
        fields += [number(row["d"]), *(number(v, vector_noise) for v in row["q"]),
                   number(row["qlen"]), number(factors["neutron"][i], square_noise["n"]),
                   number(row["Fm2"], square_noise["m"]),
                   number(factors["xray"][i], square_noise["x"]),
                   number(row["d_cond"]), number(row["q_scale"])]
        for kind in "nmx":
            fields += [number(v) for v in sums[kind]]
        lines.append(",".join(fields))
    return name, "\n".join(lines) + "\n"


def answer_files():
    files = []
    for folder in ANSWER_DIRS:
        files += sorted(glob.glob(os.path.join(REPO, folder, "*.txt")))
    names = [os.path.basename(f) for f in files]
    if len(set(names)) != len(names):
        fail("two answer files share a name; references are named after them")
    return files


def data_rows(text):
    return [line for line in text.split("\n") if not line.startswith(VERSION_PREFIX)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true",
                        help="compare the committed references with a fresh computation")
    parser.add_argument("--output", default=os.path.join(REPO, OUTPUT_DIR))
    args = parser.parse_args()
    try:
        import cctbx.xray  # noqa: F401
        import numpy  # noqa: F401
        import periodictable  # noqa: F401
    except ImportError as error:
        print(f"SKIPPED: needs Debian's python3-cctbx, python3-numpy and python3-periodictable "
              f"({error}); run with /usr/bin/python3")
        return SKIPPED

    versions = package_versions()
    made = dict(reference_text(path, versions) for path in answer_files())
    if not args.check:
        os.makedirs(args.output, exist_ok=True)
        for name, text in made.items():
            with open(os.path.join(args.output, name + ".csv"), "w", newline="\n") as f:
                f.write(text)
        print(f"wrote {len(made)} references to {args.output}")
        return 0

    differ = 0
    committed = sorted(glob.glob(os.path.join(args.output, "*.csv")))
    for path in committed:
        name = os.path.splitext(os.path.basename(path))[0]
        if name not in made:
            print(f"{name}.csv: no answer file makes it any more")
            differ += 1
    for name, text in made.items():
        path = os.path.join(args.output, name + ".csv")
        if not os.path.exists(path):
            print(f"{name}.csv: missing")
            differ += 1
            continue
        with open(path, newline="") as f:
            old = f.read()
        if old == text:
            print(f"{name}.csv: identical")
        elif data_rows(old) == data_rows(text):
            print(f"{name}.csv: identical values, made with other package versions "
                  f"({[l for l in old.split(chr(10)) if l.startswith(VERSION_PREFIX)]})")
        else:
            differ += 1
            for n, (a, b) in enumerate(zip(old.split("\n"), text.split("\n")), start=1):
                if a != b:
                    print(f"{name}.csv line {n} differs:\n  committed {a}\n  now       {b}")
                    break
            else:
                print(f"{name}.csv: differs in length")
    print(f"{len(made) - differ} of {len(made)} references reproduced")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
