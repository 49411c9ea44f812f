#!/usr/bin/env python3
"""The companions' neutron lengths checked against software made apart from velmora.

table: every row of src/nuclear/neutron_lengths.cpp against Debian's python3-periodictable: b'
against b_c, b'' against the absorption cross-section (Sears derives b'' = -sigma_a / 2 lambda at
1.798 A), a row without b'' only where sigma_a leaves it below the warning's 5 %, and a natural row
for every element whose absorption passes it. periodictable follows the Neutron Data Booklet
(2003), which revised some real parts (REVISED); those natural rows are checked against cctbx's
Sears (1992) table instead.
cctbx: |FN|^2 of GdB6 by cctbx's direct summation, b' as a constant form factor and b'' as its
f'', natural and with isotopes, with and without a wavelength, within 1e-3 relative.
Exit 77 when periodictable or cctbx is missing.
"""
import json, os, re, subprocess, sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import reference_checks  # noqa: E402

THERMAL = 1.798  # angstroms, 2200 m/s
SHARE = 0.05
# Real parts in which the 2003 Booklet (periodictable) differs from Sears (1992), as periodictable has them.
REVISED = {"Cd": 4.83, "Sm": 0.0, "Eu": 5.3, "Gd": 9.5, "10B": -0.2, "48Ti": -5.86, "56Fe": 10.1, "63Cu": 6.477,
           "65Cu": 10.204, "149Sm": 18.7, "154Sm": 8.0, "151Eu": 6.6157, "155Gd": 13.8, "157Gd": 4.0}
GDB6 = (4.1104, "P m -3 m", (("Gd1", "Gd", 0, 0, 0, 0.4), ("B1", "B", 0.1993, 0.5, 0.5, 0.5)))


def rows(source):
    text = open(os.path.join(source, "src", "nuclear", "neutron_lengths.cpp")).read()
    return [(n, float(r), float(i)) for n, r, i in
            re.findall(r'NeutronLength\{"(\w+)", (-?[\d.]+), (-?[\d.]+)\}', text)]


def check_table(args):
    import periodictable
    from cctbx.eltbx import neutron
    problems = []
    table = rows(args.source)
    for name, real, imaginary in table:
        mass, symbol = re.match(r"(\d*)([A-Z][a-z]?)", name).groups()
        element = periodictable.elements.symbol(symbol)
        data = (element[int(mass)] if mass else element).neutron
        absorption = data.absorption * 100 / (2 * THERMAL * 1e5)  # barn to fm^2, over 2 lambda in fm
        if name in REVISED:
            if abs(data.b_c - REVISED[name]) > 1e-3:
                problems.append(f"{name}: periodictable's b_c {data.b_c}, not the revision {REVISED[name]}")
            if not mass:
                sears = neutron.neutron_news_1992_table(symbol, True).bound_coh_scatt_length()
                if abs(sears.real - real) > 1e-5 or abs(sears.imag - imaginary) > 1e-5:
                    problems.append(f"{name}: {real} {imaginary}i, cctbx's Sears {sears}")
        elif abs(data.b_c - real) > 0.005 + 0.005 * abs(real):
            problems.append(f"{name}: b' {real}, periodictable {data.b_c}")
        if imaginary and abs(-imaginary - absorption) > 0.002 + 0.01 * absorption:
            problems.append(f"{name}: b'' {imaginary}, periodictable's sigma_a / 2 lambda {absorption:.4f}")
        if not imaginary and absorption > SHARE * abs(real):
            problems.append(f"{name}: no b'', but sigma_a / 2 lambda is {absorption:.4f} fm")
    natural = {name for name, _, _ in table if not name[0].isdigit()}
    for element in periodictable.elements:
        data = element.neutron
        if element.number and data.b_c is not None and data.absorption is not None and \
                data.absorption * 100 / (2 * THERMAL * 1e5) > SHARE * abs(data.b_c) and \
                element.symbol not in natural and element.symbol not in ("Pm", "Pa", "Np", "Pu", "Am", "Cm"):
            problems.append(f"{element.symbol}: an absorber (sigma_a {data.absorption} b) without a natural row")
    return problems


def cif_text(a, group, sites):
    lines = ["data_gdb6"] + [f"_cell_length_{e} {a}" for e in "abc"] + \
            [f"_cell_angle_{e} 90" for e in ("alpha", "beta", "gamma")] + \
            [f"_symmetry_space_group_name_H-M '{group}'", "loop_"] + \
            [f"_atom_site_{k}" for k in ("label", "type_symbol", "fract_x", "fract_y", "fract_z", "B_iso_or_equiv")]
    return "\n".join(lines + [" ".join(str(v) for v in site) for site in sites]) + "\n"


def cctbx_fn2(a, group, sites, lengths, hkl):
    """|F|^2 in barn with b = lengths[element] (fm, complex)."""
    from cctbx import crystal, miller, xray
    from cctbx.array_family import flex
    from cctbx.eltbx import xray_scattering
    symmetry = crystal.symmetry(unit_cell=(a, a, a, 90, 90, 90), space_group_symbol=group)
    scatterers = flex.xray_scatterer()
    for label, kind, x, y, z, b in sites:
        s = xray.scatterer(label=label, site=(x, y, z), b=b, scattering_type=kind)
        s.fdp = lengths[kind].imag
        scatterers.append(s)
    structure = xray.structure(crystal_symmetry=symmetry, scatterers=scatterers)
    structure.scattering_type_registry(
        custom_dict={k: xray_scattering.gaussian(v.real) for k, v in lengths.items()})
    indices = miller.set(symmetry, flex.miller_index(hkl), anomalous_flag=True)
    f = indices.structure_factors_from_scatterers(structure, algorithm="direct").f_calc().data()
    return [abs(v) ** 2 / 100 for v in f]


def check_cctbx(args):
    import periodictable
    from cctbx.eltbx import neutron
    problems = []
    a, group, sites = GDB6

    def natural(symbol, wavelength):
        b = neutron.neutron_news_1992_table(symbol, True).bound_coh_scatt_length()
        return complex(b.real, b.imag * wavelength / THERMAL)

    def isotope(symbol, mass):
        return complex(periodictable.elements.symbol(symbol)[mass].neutron.b_c, 0)

    cases = ((("--wavelength", "2.4", "--dispersion", "none"), {"Gd": natural("Gd", 2.4), "B": natural("B", 2.4)}),
             (("--isotope", "Gd=160Gd"), {"Gd": isotope("Gd", 160), "B": natural("B", THERMAL)}),
             (("--wavelength", "1.2", "--isotope", "Gd=160Gd", "--isotope", "B1=11B"),
              {"Gd": isotope("Gd", 160), "B": isotope("B", 11)}))
    for options, lengths in cases:
        run = subprocess.run([args.cif, "-", "--run", "--format", "json", "--dmin", "1", *options],
                             input=cif_text(a, group, sites).encode(), cwd=args.data, capture_output=True,
                             timeout=300)
        if run.returncode != 0:
            problems.append(f"{options}: status {run.returncode}: {run.stderr.decode()[-300:]}")
            continue
        r = json.loads(run.stdout)["reflections"]
        hkl = list(zip(r["h"], r["k"], r["l"]))
        expected = cctbx_fn2(a, group, sites, lengths, hkl)
        for h, got, reference in zip(hkl, r["fn2"], expected):
            if abs(got - reference) > 1e-3 * max(reference, 1e-3 * max(expected)):
                problems.append(f"GdB6 {h} {' '.join(options)}: |FN|^2 {got}, cctbx {reference}")
    return problems


if __name__ == "__main__":
    needs = ["periodictable", "cctbx.xray"]
    reference_checks.run({"table": check_table, "cctbx": check_cctbx}, {"table": needs, "cctbx": needs},
                         "python3-periodictable, python3-cctbx")
