#!/usr/bin/python3
"""Measured-style powder patterns of standard materials, made apart from velmora.

Structure factors come from cctbx (direct summation, International Tables form
factors with python3-gemmi's Cromer-Liberman f' and f'' at each X-ray line, Sears' neutron
lengths), the rest from numpy, in the conventions a user's
own generator would have:

  counts(2theta) = background + sum over reflection families and source lines of
      scale * multiplicity * |F|^2 * LP(theta) * line ratio * profile(2theta - 2theta_hkl - zero)

  LP = (1 + cos^2 2theta) / (sin^2 theta cos theta)   X-rays, unpolarised beam
  LP = 1 / (sin^2 theta cos theta)                    neutrons
  |F|^2 in electrons^2 (X-rays) or fm^2 (neutrons, b in fm as cctbx has it),
  the profile of unit area in degrees of 2theta, 2theta_obs = 2theta_calc + zero,
  then Poisson noise. A material with a "displacement" D also moves each peak by D cos theta
  (a flat sample off the diffractometer's axis); one with an "asymmetry" (P1, P2, P3, P4) has its
  profiles leaned by Berar & Baldinozzi's factor (J. Appl. Cryst. 26 (1993) 128),
  1 + (P1 Fa + P2 Fb) / tan theta + (P3 Fa + P4 Fb) / tan 2theta, Fa = 2z exp(-z^2),
  Fb = 2(2z^2 - 3) Fa, z = (2theta - 2theta_peak) / FWHM; one with an "axial" (S/L, H/L) has its
  profiles averaged over Finger, Cox & Jephcoat's axial-divergence density (J. Appl. Cryst. 27
  (1994) 892); one with an "admixture" (OTHER, R) holds a
  second phase, OTHER's structure measured as the material is, at R times its scale.

A magnetic material ("moments": components along a/|a|, b/|b|, c/|c| in Bohr magnetons, under
its magnetic operations, time reversal included) adds the magnetic scattering of Halpern &
Johnson, |F_M perp|^2 = |F_M|^2 - |q.F_M|^2, F_M = p sum_j f_j(s) exp(-B_j s^2) m_j exp(2 pi i h.x_j),
f_j the <j0> of the ion (Brown, International Tables C 4.4.5, from data/magnetic_form_factors.csv),
p = 2.7 fm per Bohr magneton as velmora takes it (gamma r0 / 2 = 2.695 fm), each moment m_j turned
by its operation as det(R) t R m: every reflection apart, not in families, as the magnetic
structure's equivalents are not the nuclear group's.

velmora's scale is counts times degrees per unit of its own integrated intensity,
which carries (1 + cos^2 2theta) / 2 for X-rays and |F|^2 in barn (100 fm^2) for
neutrons: velmora_scale() converts.

  measured_patterns.py OUT_DIR [NAME ...]   writes NAME.cif, the pattern and NAME.json, and
                                            prints the velmora-powder options that fit it
"""
import json, math, os, sys

import numpy as np

FWHM_PER_SIGMA = 2 * math.sqrt(2 * math.log(2))
# Kalpha1, Kalpha2 (angstroms), the ratio 0.5 of their intensities.
TUBES = {"Cu": (1.540598, 1.544426), "Mo": (0.709319, 0.713609), "Co": (1.788965, 1.792850)}

# name: cell, space group, atoms (label, type, x, y, z, B[, occupancy]), radiation, profile,
# background polynomial in 2theta/100 (highest power first), zero shift, strongest
# peak's height in counts, range, file written
MATERIALS = {
    "silicon": dict(
        cell=(5.431020511,) * 3 + (90, 90, 90), group="F d -3 m :1",
        atoms=[("Si1", "Si", 0, 0, 0, 0.46)],
        radiation="Cu", profile=("gauss", (0.004, -0.002, 0.003)),
        background=[0, -6, 20], zero=0.037, height=2e4, range=(20, 140, 0.01), file="silicon.xy"),
    "lab6": dict(
        cell=(4.15689,) * 3 + (90, 90, 90), group="P m -3 m",
        atoms=[("La1", "La", 0, 0, 0, 0.28), ("B1", "B", 0.19975, 0.5, 0.5, 0.38)],
        radiation="Cu", profile=("tch", (0.003, -0.002, 0.002, 0.02, 0.01)),
        background=[25, -60, 120], zero=-0.024, height=5e4, range=(15, 140, 0.01), file="lab6.xye"),
    "lab6_displaced": dict(
        cell=(4.15689,) * 3 + (90, 90, 90), group="P m -3 m",
        atoms=[("La1", "La", 0, 0, 0, 0.28), ("B1", "B", 0.19975, 0.5, 0.5, 0.38)],
        radiation="Cu", profile=("tch", (0.003, -0.002, 0.002, 0.02, 0.01)), displacement=-0.045,
        background=[25, -60, 120], zero=0.012, height=5e4, range=(15, 140, 0.01), file="lab6.xy"),
    "lab6_leaning": dict(
        cell=(4.15689,) * 3 + (90, 90, 90), group="P m -3 m",
        atoms=[("La1", "La", 0, 0, 0, 0.28), ("B1", "B", 0.19975, 0.5, 0.5, 0.38)],
        radiation="Cu", profile=("tch", (0.003, -0.002, 0.002, 0.02, 0.01)), asymmetry=(-0.3, -0.02, 0.1, -0.03),
        background=[25, -60, 120], zero=-0.024, height=5e4, range=(15, 140, 0.01), file="lab6_leaning.xye"),
    "lab6_axial": dict(
        cell=(4.15689,) * 3 + (90, 90, 90), group="P m -3 m",
        atoms=[("La1", "La", 0, 0, 0, 0.28), ("B1", "B", 0.19975, 0.5, 0.5, 0.38)],
        radiation="Cu", profile=("tch", (0.003, -0.002, 0.002, 0.02, 0.01)), axial=(0.028, 0.028),
        background=[25, -60, 120], zero=-0.024, height=5e4, range=(15, 140, 0.01), file="lab6_axial.xye"),
    "lab6_silicon": dict(
        cell=(4.15689,) * 3 + (90, 90, 90), group="P m -3 m",
        atoms=[("La1", "La", 0, 0, 0, 0.28), ("B1", "B", 0.19975, 0.5, 0.5, 0.38)], admixture=("silicon", 0.6),
        radiation="Cu", profile=("tch", (0.003, -0.002, 0.002, 0.02, 0.01)),
        background=[25, -60, 120], zero=-0.024, height=5e4, range=(15, 140, 0.01), file="lab6_silicon.xye"),
    "ceria": dict(
        cell=(5.41165,) * 3 + (90, 90, 90), group="F m -3 m",
        atoms=[("Ce1", "Ce", 0, 0, 0, 0.35), ("O1", "O", 0.25, 0.25, 0.25, 0.62)],
        radiation="Cu", profile=("gauss", (0.008, -0.004, 0.006)),
        background=[-30, 60, 250], zero=0.052, height=3e3, range=(20, 130, 0.02), file="ceria.csv"),
    "corundum": dict(
        cell=(4.75919, 4.75919, 12.99183, 90, 90, 120), group="R -3 c :H",
        atoms=[("Al1", "Al", 0, 0, 0.35216, 0.28), ("O1", "O", 0.30624, 0, 0.25, 0.33)],
        radiation="Co", profile=("tch", (0.006, -0.003, 0.004, 0.015, 0.025)),
        background=[15, 10, 80], zero=0.015, height=1e5, range=(20, 120, 0.01), file="corundum.dat"),
    "mno_nuclear": dict(
        cell=(4.4457,) * 3 + (90, 90, 90), group="F m -3 m",
        atoms=[("Mn1", "Mn", 0, 0, 0, 0.55), ("O1", "O", 0.5, 0.5, 0.5, 0.65)],
        radiation=1.594, profile=("gauss", (0.12, -0.25, 0.3)),
        background=[0, -150, 500], zero=-0.071, height=4e3, range=(10, 155, 0.05), file="mno_nuclear.xye"),
    # anglesite PbSO4 on a high-resolution neutron diffractometer, at a published refinement
    "anglesite": dict(
        cell=(8.47884, 5.39673, 6.95840, 90, 90, 90), group="P n m a",
        atoms=[("Pb", "Pb", 0.18749, 0.25, 0.16719, 1.416), ("S", "S", 0.06541, 0.25, 0.68340, 0.420),
               ("O1", "O", 0.90767, 0.25, 0.59529, 1.987), ("O2", "O", 0.19376, 0.25, 0.54321, 1.471),
               ("O3", "O", 0.08103, 0.02708, 0.80905, 1.321)],
        radiation=1.912, profile=("tch", (0.156, -0.456, 0.419, 0.0, 0.092)),
        background=[20, -40, 220], zero=-0.088, height=3e3, range=(10, 155, 0.05), file="anglesite.xye"),
    # rutile with anisotropic displacements (U11 U22 U33 U12 U13 U23, square angstroms; near
    # Burdett et al., J. Am. Chem. Soc. 109 (1987) 3639), its B the isotropic equivalents
    "rutile": dict(
        cell=(4.59373, 4.59373, 2.95812, 90, 90, 90), group="P 42/m n m",
        atoms=[("Ti1", "Ti", 0, 0, 0, 0.43), ("O1", "O", 0.30478, 0.30478, 0, 0.39)],
        uaniso={"Ti1": (0.0064, 0.0064, 0.0035, -0.0004, 0, 0), "O1": (0.0058, 0.0058, 0.0033, -0.0025, 0, 0)},
        radiation=1.5, profile=("tch", (0.12, -0.3, 0.3, 0.0, 0.06)),
        background=[10, -30, 150], zero=0.031, height=8e3, range=(12, 158, 0.05), file="rutile.xye"),
    # A-type LaMnO3 in Pn'ma' (moments along a; positions near Rodriguez-Carvajal et al., Phys. Rev.
    # B 57 (1998) R3189)
    "lamno3": dict(
        cell=(5.7343, 7.6686, 5.5375, 90, 90, 90), group="P n m a",
        operations=["x,y,z,+1", "-x+1/2,-y,z+1/2,-1", "-x,y+1/2,-z,+1", "x+1/2,-y+1/2,-z+1/2,-1",
                    "-x,-y,-z,+1", "x+1/2,y,-z+1/2,-1", "x,-y+1/2,z,+1", "-x+1/2,y+1/2,z+1/2,-1"],
        atoms=[("La1", "La", 0.5495, 0.25, 0.0093, 0.5), ("Mn1", "Mn", 0, 0, 0.5, 0.3),
               ("O1", "O", 0.9865, 0.25, 0.9299, 0.6), ("O2", "O", 0.3096, 0.0383, 0.2257, 0.6)],
        symbols={"La1": "La3+", "Mn1": "Mn3+", "O1": "O2-", "O2": "O2-"}, ions={"Mn1": "Mn3"},
        moments={"Mn1": (3.65, 0, 0)},
        radiation=2.4, profile=("gauss", (0.1, -0.1, 0.16)),
        background=[10, -40, 300], zero=0.02, height=2e4, range=(10, 150, 0.05), file="lamno3.xye"),
    # magnetite above the Verwey transition, Neel's ferrimagnet along [111] (the magnetic group
    # that keeps [111], with the F centring; the B sites' Fe2+ and Fe3+ half each)
    "magnetite": dict(
        cell=(8.394,) * 3 + (90, 90, 90), group="F d -3 m :2",
        operations=["x,y,z,+1", "-y,-x,-z,-1", "z,x,y,+1", "-z,-y,-x,-1", "y,z+1/2,x+1/2,+1", "-x,-z+1/2,-y+1/2,-1",
                    "-x,-y,-z,+1", "y,x,z,-1", "-z,-x,-y,+1", "z,y,x,-1", "-y,-z+1/2,-x+1/2,+1", "x,z+1/2,y+1/2,-1"],
        centrings=["x,y,z,+1", "x,y+1/2,z+1/2,+1", "x+1/2,y,z+1/2,+1", "x+1/2,y+1/2,z,+1"],
        atoms=[("FeA", "Fe", 0.125, 0.125, 0.125, 0.4), ("FeB1", "Fe", 0.5, 0.5, 0.5, 0.5, 0.5),
               ("FeB2", "Fe", 0.5, 0.5, 0.5, 0.5, 0.5), ("FeB3", "Fe", 0, 0.25, 0.75, 0.5, 0.5),
               ("FeB4", "Fe", 0, 0.25, 0.75, 0.5, 0.5), ("O1", "O", 0.2549, 0.2549, 0.2549, 0.6),
               ("O2", "O", 0.0049, 0.0049, 0.7451, 0.6)],
        symbols={"FeA": "Fe3+", "FeB1": "Fe2+", "FeB2": "Fe3+", "FeB3": "Fe2+", "FeB4": "Fe3+", "O1": "O2-",
                 "O2": "O2-"},
        ions={"FeA": "Fe3", "FeB1": "Fe2", "FeB2": "Fe3", "FeB3": "Fe2", "FeB4": "Fe3"},
        moments={"FeA": (-2.8867513,) * 3, "FeB1": (2.3094011,) * 3, "FeB2": (2.8867513,) * 3,
                 "FeB3": (2.3094011,) * 3, "FeB4": (2.8867513,) * 3},
        radiation=2.4, profile=("gauss", (0.1, -0.1, 0.16)),
        background=[10, -40, 300], zero=-0.03, height=2e4, range=(10, 150, 0.05), file="magnetite.xye"),
    # the same with a tenth of the O3 sites vacant
    "anglesite_vacant": dict(
        cell=(8.47884, 5.39673, 6.95840, 90, 90, 90), group="P n m a",
        atoms=[("Pb", "Pb", 0.18749, 0.25, 0.16719, 1.416), ("S", "S", 0.06541, 0.25, 0.68340, 0.420),
               ("O1", "O", 0.90767, 0.25, 0.59529, 1.987), ("O2", "O", 0.19376, 0.25, 0.54321, 1.471),
               ("O3", "O", 0.08103, 0.02708, 0.80905, 1.321, 0.9)],
        radiation=1.912, profile=("tch", (0.156, -0.456, 0.419, 0.0, 0.092)),
        background=[20, -40, 220], zero=-0.088, height=3e3, range=(10, 155, 0.05), file="anglesite_vacant.xye"),
}


def occupancy(atom):
    return atom[6] if len(atom) > 6 else 1.0


def structure(m, wavelength=None):
    """The crystal in cctbx; at an X-ray wavelength each atom carries its element's f' and f''
    (Cromer-Liberman, as python3-gemmi computes them at E = hc / lambda)."""
    from cctbx import adptbx, crystal, xray
    from cctbx.array_family import flex
    symmetry = crystal.symmetry(unit_cell=m["cell"], space_group_symbol=m["group"])
    cell, uaniso = symmetry.unit_cell(), m.get("uaniso", {})
    scatterers = flex.xray_scatterer([xray.scatterer(a[0], a[2:5], adptbx.u_cif_as_u_star(cell, uaniso[a[0]])
                                                     if a[0] in uaniso else adptbx.b_as_u(a[5]), occupancy(a), a[1])
                                      for a in m["atoms"]])
    if wavelength is not None:
        import gemmi
        for sc in scatterers:
            element = gemmi.Element("".join(c for c in sc.scattering_type if c.isalpha()))
            sc.fp, sc.fdp = gemmi.cromer_liberman(z=element.atomic_number, energy=gemmi.hc / wavelength)
    return xray.structure(crystal_symmetry=symmetry, scatterers=scatterers)


def lines(m):
    if isinstance(m["radiation"], str):
        a1, a2 = TUBES[m["radiation"]]
        return [(a1, 1.0), (a2, 0.5)], "xray"
    return [(m["radiation"], 1.0)], "neutron"


def triplet(text):
    """An operation "x+1/2,-y,z,-1" as its rotation, translation and time reversal."""
    *parts, time = text.split(",")
    at = lambda v: np.array([eval(p, {}, dict(zip("xyz", v))) for p in parts], dtype=float)  # noqa: E731
    t = at((0, 0, 0))
    return np.array([at(e) - t for e in np.eye(3)]).T, t, int(time)


def magnetic_cell(m):
    """Every atom of the cell: (type, fractional x, B, occupancy, ion, moment along a, b, c) with
    the moment turned by the operation that made the atom."""
    ops = [(r, t + triplet(c)[1], time) for r, t, time in map(triplet, m["operations"])
           for c in m.get("centrings", ["x,y,z,+1"])]
    edges = np.array(m["cell"][:3])
    atoms = []
    for a in m["atoms"]:
        site = np.array(a[2:5], dtype=float)
        moment = np.array(m["moments"].get(a[0], (0, 0, 0)), dtype=float) / edges
        placed = []
        for r, t, time in ops:
            x = (r @ site + t) % 1.0
            if any(np.all(np.abs((x - y + 0.5) % 1.0 - 0.5) < 1e-6) for y in placed):
                continue
            placed.append(x)
            atoms.append((a[1], x, a[5], occupancy(a), m.get("ions", {}).get(a[0]),
                          time * np.linalg.det(r) * (r @ moment)))
    return atoms


def j0(ion, s):
    """<j0> at s = sin(theta) / lambda, from the ion's coefficients A a B b C c D."""
    import csv
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data",
                           "magnetic_form_factors.csv"), encoding="utf-8") as f:
        row = next(r for r in csv.DictReader(f) if r["label"] == ion)
    A, a, B, b, C, c, D = (float(row["j0_" + k]) for k in "AaBbCcE")
    return A * np.exp(-a * s * s) + B * np.exp(-b * s * s) + C * np.exp(-c * s * s) + D


MAGNETIC_LENGTH = 2.7  # fm per Bohr magneton


def magnetic_reflections(m, d_min):
    """d, 1 and |Fn|^2 + |F_M perp|^2 (fm^2) of every h k l down to d_min, each apart."""
    from cctbx import crystal, miller, xray
    from cctbx.array_family import flex
    atoms = magnetic_cell(m)
    p1 = crystal.symmetry(unit_cell=m["cell"], space_group_symbol="P 1")
    xs = xray.structure(crystal_symmetry=p1, scatterers=flex.xray_scatterer(
        [xray.scatterer(f"A{k}", tuple(x), b / (8 * math.pi ** 2), occ, kind)
         for k, (kind, x, b, occ, _, _) in enumerate(atoms)]))
    xs.scattering_type_registry(table="neutron")
    every = miller.build_set(p1, anomalous_flag=True, d_min=d_min)
    nuclear = np.abs(np.array(every.structure_factors_from_scatterers(xs, algorithm="direct").f_calc().data())) ** 2
    h = np.array(every.indices(), dtype=float)
    d = np.array(every.d_spacings().data())
    s = 1 / (2 * d)
    orth = np.array(p1.unit_cell().orthogonalization_matrix()).reshape(3, 3)
    q = h @ np.linalg.inv(orth)  # rows: the reciprocal vectors in the Cartesian frame
    q /= np.linalg.norm(q, axis=1)[:, None]
    fm = np.zeros((len(h), 3), dtype=complex)
    for kind, x, b, occ, ion, moment in atoms:
        if ion is None:
            continue
        cartesian = orth @ moment
        amplitude = MAGNETIC_LENGTH * occ * j0(ion, s) * np.exp(-b * s * s) * np.exp(2j * math.pi * (h @ x))
        fm += amplitude[:, None] * cartesian[None, :]
    along = np.sum(q * fm, axis=1)
    perpendicular = np.sum(np.abs(fm) ** 2, axis=1) - np.abs(along) ** 2
    return d, np.ones_like(d), nuclear + perpendicular


def families(m, wavelength=None):
    """d, multiplicity and |F|^2 of every reflection family the range reaches; X-rays with f' and
    f'' at the wavelength."""
    from cctbx import miller
    waves, kind = lines(m)
    if "moments" in m:
        d_min = min(w for w, _ in waves) / (2 * math.sin(math.radians(min(m["range"][1] + 5, 179.9) / 2)))
        return (*magnetic_reflections(m, d_min), kind)
    xs = structure(m, wavelength if kind == "xray" else None)
    xs.scattering_type_registry(table="neutron" if kind == "neutron" else "it1992")
    d_min = min(w for w, _ in waves) / (2 * math.sin(math.radians(min(m["range"][1] + 5, 179.9) / 2)))
    unique = miller.build_set(xs.crystal_symmetry(), anomalous_flag=False, d_min=d_min)
    f = unique.structure_factors_from_scatterers(xs, algorithm="direct").f_calc().data()
    return (np.array(unique.d_spacings().data()), np.array(unique.multiplicities().data(), dtype=float),
            np.abs(np.array(f)) ** 2, kind)


def leaned(kind, params, asymmetry, two_theta, dx):
    """The profile times Berar & Baldinozzi's asymmetry factor."""
    y, fwhm = profile(kind, params, two_theta, dx, width=True)
    z = dx / fwhm
    fa = 2 * z * np.exp(-z * z)
    fb = 2 * (2 * z * z - 3) * fa
    t, t2 = np.tan(np.radians(two_theta / 2)), np.tan(np.radians(two_theta))
    p1, p2, p3, p4 = asymmetry
    return y * (1 + (p1 * fa + p2 * fb) / t + (p3 * fa + p4 * fb) / t2)


def spread(kind, params, axial, two_theta, dx, nodes=200):
    """The profile averaged over the axial-divergence density W / (h cos 2phi) between 2phi_min and
    2theta (mirrored beyond 90 degrees), h = sqrt(cos^2 2phi / cos^2 2theta - 1), W = S + H - h
    where h > |H - S| and 2 min(S, H) nearer the peak: by the midpoint rule in v = sqrt(2theta - 2phi),
    where the density's 1/sqrt singularity at 2phi = 2theta becomes finite."""
    s, h = axial
    mirrored = two_theta > 90
    t = math.radians(180 - two_theta if mirrored else two_theta)
    c = math.cos(t)
    c_min = c * math.sqrt((s + h) ** 2 + 1)
    phi_min = 0.0 if c_min >= 1 else math.acos(c_min)
    v = (np.arange(nodes) + 0.5) / nodes * math.sqrt(t - phi_min)
    phi = t - v * v
    hh = np.sqrt(np.maximum(np.cos(phi) ** 2 / c ** 2 - 1, 1e-300))
    w = np.maximum(np.where(hh > abs(h - s), s + h - hh, 2 * min(s, h)), 0)
    density = w / (hh * np.cos(phi)) * 2 * v
    density /= density.sum()
    offsets = np.degrees(phi - t) * (-1 if mirrored else 1)
    return sum(p * profile(kind, params, two_theta, dx - o) for p, o in zip(density, offsets))


def profile(kind, params, two_theta, dx, width=False):
    """Unit area in degrees: a Gaussian of Caglioti width, or the Thompson-Cox-Hastings pseudo-Voigt
    (and its full width at half maximum, with width)."""
    t = np.tan(np.radians(two_theta / 2))
    u, v, w = params[:3]
    g = math.sqrt(u * t * t + v * t + w)
    if kind == "gauss":
        s = g / FWHM_PER_SIGMA
        y = np.exp(-dx ** 2 / (2 * s * s)) / (s * math.sqrt(2 * math.pi))
        return (y, g) if width else y
    lw = params[3] * t + params[4] / math.cos(math.radians(two_theta / 2))
    gamma = (g ** 5 + 2.69269 * g ** 4 * lw + 2.42843 * g ** 3 * lw ** 2 + 4.47163 * g ** 2 * lw ** 3 +
             0.07842 * g * lw ** 4 + lw ** 5) ** 0.2
    q = lw / gamma
    eta = 1.36603 * q - 0.47719 * q * q + 0.11116 * q ** 3
    s = gamma / FWHM_PER_SIGMA
    gauss = np.exp(-dx ** 2 / (2 * s * s)) / (s * math.sqrt(2 * math.pi))
    lorentz = (gamma / 2) / (math.pi * (dx ** 2 + (gamma / 2) ** 2))
    y = eta * lorentz + (1 - eta) * gauss
    return (y, gamma) if width else y


def calculated(m, x, zero):
    """The noiseless pattern for a scale of 1, without background; each X-ray line's |F|^2 with
    f' and f'' at its own wavelength."""
    y = np.zeros_like(x)
    for wavelength, ratio in lines(m)[0]:
        d, mult, f2, kind = families(m, wavelength)
        s = wavelength / (2 * d)
        keep = s < 1
        theta = np.arcsin(s[keep])
        lp = 1 / (np.sin(theta) ** 2 * np.cos(theta))
        if kind == "xray":
            lp *= 1 + np.cos(2 * theta) ** 2
        moved = zero + m.get("displacement", 0) * np.cos(theta)
        for tt, area, shift in zip(np.degrees(2 * theta), mult[keep] * f2[keep] * lp * ratio, moved):
            if "axial" in m:
                y += area * spread(m["profile"][0], m["profile"][1], m["axial"], tt, x - tt - shift)
            elif "asymmetry" in m:
                y += area * leaned(m["profile"][0], m["profile"][1], m["asymmetry"], tt, x - tt - shift)
            else:
                y += area * profile(m["profile"][0], m["profile"][1], tt, x - tt - shift)
    return y


def admixed(m):
    """The second phase of a material as the same instrument measures it, and its relative scale."""
    other, ratio = m["admixture"]
    phase = dict(MATERIALS[other], radiation=m["radiation"], profile=m["profile"], range=m["range"])
    phase.pop("displacement", None)
    return phase, ratio


def make(name, seed=None):
    """x, counts, the generator's scale and the noiseless model."""
    m = MATERIALS[name]
    first, last, step = m["range"]
    x = np.round(np.arange(first, last + step / 2, step), 6)
    shape = calculated(m, x, m["zero"])
    scale = m["height"] / shape.max()
    if "admixture" in m:
        phase, ratio = admixed(m)
        shape = shape + ratio * calculated(phase, x, m["zero"])
    background = np.polyval(m["background"], x / 100)
    model = scale * shape + background
    rng = np.random.default_rng(seed if seed is not None else sum(map(ord, name)))
    return x, rng.poisson(model).astype(float), scale, model


def velmora_scale(name, scale):
    """The generator's scale in velmora's: X-ray intensities carry (1 + cos^2 2theta) / 2, not
    1 + cos^2 2theta; neutron |F|^2 is in barn = 100 fm^2."""
    return scale * (2 if lines(MATERIALS[name])[1] == "xray" else 100)


def agreement(counts, variance, model, parameters):
    """Rwp of the true model, what a right fit comes to, and Rexp, with weights 1 / variance."""
    w = 1 / variance
    total = np.sum(w * counts ** 2)
    return math.sqrt(np.sum(w * (counts - model) ** 2) / total), math.sqrt((len(counts) - parameters) / total)


def cif_text(name, cell=None, atoms=None, uaniso=None, moments=None):
    """The material's CIF, at its own cell or at another (a refinement's start), with its own
    atoms or others, and anisotropic displacements (label: U11 U22 U33 U12 U13 U23) when given."""
    m = MATERIALS[name]
    if "moments" in m:
        return magnetic_cif_text(name, cell, atoms, moments)
    a, b, c, alpha, beta, gamma = cell or m["cell"]
    group, _, choice = m["group"].partition(" :")
    group = group.split(" :")[0]
    rows = "\n".join(f"{a[0]} {a[1]} {a[2]} {a[3]} {a[4]} {a[5]} {occupancy(a)}" for a in atoms or m["atoms"])
    setting = {"1": "\n_space_group_IT_coordinate_system_code 1", "H": ""}.get(choice, "")
    return (f"# {name}: a standard material's published structure\ndata_{name}\n"
            f"_cell_length_a {a}\n_cell_length_b {b}\n_cell_length_c {c}\n"
            f"_cell_angle_alpha {alpha}\n_cell_angle_beta {beta}\n_cell_angle_gamma {gamma}\n"
            f"_space_group_name_H-M_alt '{group}'{setting}\n"
            "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
            f"_atom_site_fract_z\n_atom_site_B_iso_or_equiv\n_atom_site_occupancy\n{rows}\n" +
            ("" if not uaniso else "loop_\n_atom_site_aniso_label\n" +
             "".join(f"_atom_site_aniso_U_{ij}\n" for ij in ("11", "22", "33", "12", "13", "23")) +
             "".join(f"{label} " + " ".join(map(str, u)) + "\n" for label, u in uaniso.items())))


def magnetic_cif_text(name, cell=None, atoms=None, moments=None):
    """A magnetic material's magnetic CIF: its operations with their time reversal, the sites and
    the moments (its own, or others: a refinement's start)."""
    m = MATERIALS[name]
    a, b, c, alpha, beta, gamma = cell or m["cell"]
    operations = "".join(f"{k} {o}\n" for k, o in enumerate(m["operations"], 1))
    rows = "".join(f"{t[0]} {m['symbols'][t[0]]} {t[2]} {t[3]} {t[4]} {occupancy(t)} {t[5]}\n" for t in atoms or m["atoms"])
    turned = "".join(f"{label} {u[0]} {u[1]} {u[2]}\n" for label, u in (moments or m["moments"]).items())
    return (f"# {name}: a magnetic structure\ndata_{name}\n"
            f"_cell_length_a {a}\n_cell_length_b {b}\n_cell_length_c {c}\n"
            f"_cell_angle_alpha {alpha}\n_cell_angle_beta {beta}\n_cell_angle_gamma {gamma}\n"
            "loop_\n_space_group_symop_magn_operation.id\n_space_group_symop_magn_operation.xyz\n" + operations +
            ("loop_\n_space_group_symop_magn_centering.id\n_space_group_symop_magn_centering.xyz\n" +
             "".join(f"{k} {c}\n" for k, c in enumerate(m["centrings"], 1)) if "centrings" in m else "") +
            "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
            "_atom_site_fract_z\n_atom_site_occupancy\n_atom_site_B_iso_or_equiv\n" + rows +
            "loop_\n_atom_site_moment.label\n_atom_site_moment.crystalaxis_x\n_atom_site_moment.crystalaxis_y\n"
            "_atom_site_moment.crystalaxis_z\n" + turned)


def write(name, folder, seed=None):
    """NAME.cif, NAME.json and the pattern in the material's file format; returns the pattern's
    path and what it was made with (NAME.json: scale, velmora_scale, zero_shift, model_Rwp, Rexp, background_mean)."""
    m = MATERIALS[name]
    x, counts, scale, model = make(name, seed)
    path = os.path.join(folder, m["file"])
    sigma = np.sqrt(np.maximum(counts, 1))
    kind = os.path.splitext(path)[1]
    with open(path, "w") as f:
        if kind == ".xy":
            f.write(f"# {name}, simulated\n# 2theta counts\n")
            f.writelines(f"{a:.4f} {b:.0f}\n" for a, b in zip(x, counts))
        elif kind == ".xye":
            f.write(f"! {name}\n")
            f.writelines(f"{a:10.4f}\t{b:10.1f}\t{s:8.3f}\n" for a, b, s in zip(x, counts, sigma))
        elif kind == ".csv":
            f.write("two_theta,intensity,sigma\n")
            f.writelines(f"{a:.4f},{b:.0f},{s:.4f}\n" for a, b, s in zip(x, counts, sigma))
        else:  # .dat: a title line and a header that are not numbers
            f.write(f"{name} simulated pattern, Co Kalpha\n2Theta Intensity\n")
            f.writelines(f"  {a:.3f}  {b:.0f}\n" for a, b in zip(x, counts))
    with open(os.path.join(folder, name + ".cif"), "w") as f:
        f.write(cif_text(name))
    if "admixture" in m:
        other, ratio = m["admixture"]
        with open(os.path.join(folder, other + ".cif"), "w") as f:
            f.write(cif_text(other))
    # the file's sigma, or for bare counts their true variance
    rwp, rexp = agreement(counts, sigma ** 2 if kind in (".xye", ".csv") else np.maximum(model, 1), model, 2 + 6)
    truth = {"scale": scale, "velmora_scale": velmora_scale(name, scale), "zero_shift": m["zero"],
             "model_Rwp": rwp, "Rexp": rexp, "background_mean": np.mean(np.polyval(m["background"], x / 100))}
    if "admixture" in m:
        truth["phase_velmora_scale"] = velmora_scale(name, scale * m["admixture"][1])
    with open(os.path.join(folder, name + ".json"), "w") as f:
        json.dump(truth, f, indent=1)
    return path, truth


def velmora_options(name):
    """The options a user gives velmora-powder for this measurement."""
    m = MATERIALS[name]
    radiation = m["radiation"]
    options = ["--source", radiation] if isinstance(radiation, str) else ["--wavelength", radiation]
    options += ["--radiation", "xray" if isinstance(radiation, str) else "neutron"]
    kind, p = m["profile"]
    return options + ["--caglioti" if kind == "gauss" else "--tch", ",".join(map(str, p))]


if __name__ == "__main__":
    out = sys.argv[1]
    for name in sys.argv[2:] or MATERIALS:
        print(write(name, out)[0], *velmora_options(name))
