#!/usr/bin/env python3
"""The companions' X-ray dispersion checked against software made apart from velmora.

fprime: the f' and f'' velmora-cif reports (gemmi's Cromer-Liberman) against xraylib's Fi and
Fii (Kissel's values, another calculation) at Cu K-alpha1, Mo K-alpha1 and a synchrotron
wavelength, within 0.05 e + 7 % (doc/dispersion.md).
cctbx: |FX|^2 of NiO and GaAs by cctbx's direct summation with the same f' and f'' set on its
scatterers, within 1e-3 relative; and --unique merging GaAs by its point group (111 and -1-1-1
apart) but NiO by its Laue group. Exit 77 when xraylib or cctbx is missing.
"""
import json, os, re, subprocess, sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import reference_checks  # noqa: E402

WAVELENGTHS = (1.5406, 0.7093, 0.5)
ELEMENTS = ("Li", "B", "C", "O", "Al", "Si", "Ca", "Fe", "Co", "Ni", "Cu", "Ga", "As", "Sr", "Ag", "Ba", "Gd",
            "W", "Au", "Pb", "U")
# name, a, space group, sites (label, type, x, y, z, B)
STRUCTURES = (("NiO", 4.1771, "F m -3 m", (("Ni1", "Ni2+", 0, 0, 0, 0.4), ("O1", "O2-", 0.5, 0.5, 0.5, 0.5))),
              ("GaAs", 5.6533, "F -4 3 m", (("Ga1", "Ga", 0, 0, 0, 0.6), ("As1", "As", 0.25, 0.25, 0.25, 0.5))))


def cif_text(name, a, group, sites):
    lines = [f"data_{name}"] + [f"_cell_length_{e} {a}" for e in "abc"] + \
            [f"_cell_angle_{e} 90" for e in ("alpha", "beta", "gamma")] + \
            [f"_symmetry_space_group_name_H-M '{group}'", "loop_"] + \
            [f"_atom_site_{k}" for k in ("label", "type_symbol", "fract_x", "fract_y", "fract_z", "B_iso_or_equiv")]
    return "\n".join(lines + [" ".join(str(v) for v in site) for site in sites]) + "\n"


def table(args, cif, *options):
    run = subprocess.run([args.cif, "-", "--run", "--format", "json", *options], input=cif.encode(), cwd=args.data,
                         capture_output=True, timeout=300)
    if run.returncode != 0:
        sys.exit(f"velmora-cif {' '.join(options)}: status {run.returncode}: {run.stderr.decode()[-400:]}")
    return json.loads(run.stdout)


def dispersion_of(model):
    """{element: (f', f'')} from the model's xray_form_factor."""
    return {e: (float(p), float(pp)) for e, p, pp in
            re.findall(r"([A-Z][a-z]?) (-?\d+\.\d+) (-?\d+\.\d+)i", model["xray_form_factor"].split(":", 1)[1])}


def check_fprime(args):
    import xraylib
    sites = tuple((f"{e}1", e, round(0.04 * i, 2), 0.1, 0.2, 0.5) for i, e in enumerate(ELEMENTS))
    cif = cif_text("elements", 12.0, "P 1", sites)
    problems = []
    for wavelength in WAVELENGTHS:
        got = dispersion_of(table(args, cif, "--dmin", "6", "--wavelength", str(wavelength))["model"])
        energy = xraylib.KEV2ANGST / wavelength
        for element in ELEMENTS:
            z = xraylib.SymbolToAtomicNumber(element)
            expected = (xraylib.Fi(z, energy), -xraylib.Fii(z, energy))
            for part, value, reference in zip(("f'", "f''"), got.get(element, (None, None)), expected):
                if value is None or abs(value - reference) > 0.05 + 0.07 * abs(reference):
                    problems.append(f"{element} {part} at {wavelength} A: {value}, xraylib {reference:.4f}")
    return problems


def cctbx_fx2(a, group, sites, dispersion, hkl):
    from cctbx import crystal, miller, xray
    from cctbx.array_family import flex
    symmetry = crystal.symmetry(unit_cell=(a, a, a, 90, 90, 90), space_group_symbol=group)
    scatterers = flex.xray_scatterer()
    for label, kind, x, y, z, b in sites:
        s = xray.scatterer(label=label, site=(x, y, z), b=b, scattering_type=kind)
        s.fp, s.fdp = dispersion[kind.rstrip("+-0123456789")]
        scatterers.append(s)
    structure = xray.structure(crystal_symmetry=symmetry, scatterers=scatterers)
    structure.scattering_type_registry(table="it1992")
    indices = miller.set(symmetry, flex.miller_index(hkl), anomalous_flag=True)
    f = indices.structure_factors_from_scatterers(structure, algorithm="direct").f_calc().data()
    # cctbx sums as if every reflection were allowed: the absent ones are 0.
    return [0.0 if absent else abs(v) ** 2 for v, absent in zip(f, indices.sys_absent_flags().data())]


def check_cctbx(args):
    problems = []
    for name, a, group, sites in STRUCTURES:
        cif = cif_text(name, a, group, sites)
        for wavelength in WAVELENGTHS[:2]:
            t = table(args, cif, "--dmin", "1", "--wavelength", str(wavelength))
            r = t["reflections"]
            hkl = list(zip(r["h"], r["k"], r["l"]))
            expected = cctbx_fx2(a, group, sites, dispersion_of(t["model"]), hkl)
            strongest = max(expected)
            for h, got, reference in zip(hkl, r["fx2"], expected):
                if abs(got - reference) > 1e-3 * max(reference, 1e-3 * strongest):
                    problems.append(f"{name} {h} at {wavelength} A: |FX|^2 {got}, cctbx {reference}")
        # Friedel mates apart by the point group only where f'' and no centre of symmetry make them differ.
        def merged_sets(*options):
            t = table(args, cif, "--dmin", "2.3", "--unique", *options)
            r = t["reflections"]
            return t["model"]["anomalous"], {(h, k, l): m for h, k, l, m in zip(r["h"], r["k"], r["l"], r["multiplicity"])}
        centric = name == "NiO"
        for options, anomalous, expected in (((), False, {(1, 1, 1): 8}),
                                              (("--wavelength", "1.5406"), not centric,
                                               {(1, 1, 1): 8} if centric else {(1, 1, 1): 4, (1, 1, -1): 4})):
            flag, sets = merged_sets(*options)
            if flag != anomalous or any(sets.get(h) != m for h, m in expected.items()):
                problems.append(f"{name} --unique {' '.join(options)}: anomalous {flag}, sets {sets}")
    return problems


if __name__ == "__main__":
    reference_checks.run({"fprime": check_fprime, "cctbx": check_cctbx},
                         {"fprime": ["xraylib"], "cctbx": ["cctbx.xray"]}, "python3-xraylib, python3-cctbx")
