#!/usr/bin/env python3
"""The linear absorption coefficient of velmora-powder's --absorption auto against software made apart.

table: every element's row of src/absorption/neutron_cross_sections.cpp against Debian's python3-cctbx
(Sears 1992: sigma_a within 1e-3, and sigma_s not below the coherent 4 pi |b|^2 of its lengths) and
python3-periodictable (2003 Booklet: sigma_a and the total scattering sigma_s within 1e-3); every
isotope's against periodictable, and its sigma_a against Sears's b'' of src/nuclear (2 lambda |b''|,
within 1 %) where Sears gives one.
mu: mu of Si, NaCl, Fe3O4 and alpha-Fe (the examples' answer files) as the CSV's model line states it,
against xraylib at Cu K-alpha1 and Mo K-alpha1: its photoabsorption (CS_Photo) within 2.5 %, and
below its total attenuation (CS_Total, with Rayleigh and Compton scattering, which velmora leaves out)
by less than 10 % (Si at Mo K-alpha: 9 %; at Cu K-alpha 0.3-3 %); and periodictable's neutron
cross-sections (coherent, incoherent and absorption at the wavelength) at 1.54 and 2.4 A within 1 %.
Exit 77 when a library is missing.
"""
import os, re, subprocess, sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import reference_checks  # noqa: E402

# answer file, formula per cell (what periodictable and xraylib are given), the cell edge (cubic)
COMPOUNDS = (("silicon", "Si8", 5.431021), ("sodium_chloride", "Na4Cl4", 5.6402),
             ("magnetite", "Fe24O32", 8.394), ("iron_bcc", "Fe2", 2.8665))
XRAY = ((1.540598, 8.04778), (0.709317, 17.47934))  # wavelength (A), energy (keV) of Cu and Mo K-alpha1


def rows(source):
    text = open(os.path.join(source, "src", "absorption", "neutron_cross_sections.cpp")).read()
    return [(n, float(s), float(a)) for n, s, a in
            re.findall(r'NeutronCrossSection\{"(\w+)", ([\d.e+-]+), ([\d.e+-]+)\}', text)]


def check_table(args):
    import math
    import periodictable
    from cctbx.eltbx import neutron
    problems = []
    lengths = dict((n, i) for n, _, i in re.findall(r'NeutronLength\{"(\w+)", (-?[\d.]+), (-?[\d.]+)\}',
                   open(os.path.join(args.source, "src", "nuclear", "neutron_lengths.cpp")).read()))
    for name, scattering, absorption in rows(args.source):
        mass, symbol = re.match(r"(\d*)([A-Z][a-z]?)", name).groups()
        if mass:  # an isotope: the Booklet's values, its absorption against Sears's b'' (2 lambda |b''|)
            booklet = periodictable.elements.symbol(symbol)[int(mass)].neutron
            sears_absorption = 2 * 1.798e-8 * abs(float(lengths[name])) * 1e-13 * 1e24
            if abs(booklet.total - scattering) > 1e-3 * scattering or \
                    abs(booklet.absorption - absorption) > 1e-3 * absorption:
                problems.append(f"{name}: {scattering} {absorption}, periodictable {booklet.total} {booklet.absorption}")
            if sears_absorption and abs(sears_absorption / absorption - 1) > 0.01:
                problems.append(f"{name}: sigma_a {absorption}, Sears's 2 lambda |b''| {sears_absorption:.5g}")
            continue
        sears = neutron.neutron_news_1992_table(name, True)
        booklet = periodictable.elements.symbol(name).neutron
        if abs(sears.abs_cross_sect() - absorption) > 1e-3 * absorption + 1e-6:
            problems.append(f"{name}: sigma_a {absorption}, cctbx's Sears {sears.abs_cross_sect()}")
        if abs(booklet.absorption - absorption) > 1e-3 * absorption + 1e-6:
            problems.append(f"{name}: sigma_a {absorption}, periodictable {booklet.absorption}")
        if abs(booklet.total - scattering) > 1e-3 * scattering:
            problems.append(f"{name}: sigma_s {scattering}, periodictable {booklet.total}")
        coherent = 4 * math.pi * abs(sears.bound_coh_scatt_length()) ** 2 / 100
        if scattering < 0.99 * coherent:
            problems.append(f"{name}: sigma_s {scattering} below Sears's coherent 4 pi |b|^2 = {coherent:.4g}")
    return problems


def stated_mu(args, name, wavelength, radiation):
    run = subprocess.run([args.powder, os.path.join(args.source, "examples", name + ".txt"), "--wavelength",
                          str(wavelength), "--radiation", radiation, "--absorption", "auto", "--packing", "1",
                          "--radius", "0.001", "--reflections", "-", "--tables", os.path.join(args.source, "data")],
                         capture_output=True, text=True, timeout=120)
    said = re.search(r"= mu ([\d.e+-]+)/mm", run.stdout)
    return float(said.group(1)) if run.returncode == 0 and said else None


def check_mu(args):
    import periodictable
    from periodictable import nsf
    import xraylib
    problems = []
    for name, formula, a in COMPOUNDS:
        compound = periodictable.formula(formula)
        density = compound.mass / 6.02214076e23 / (a * 1e-8) ** 3  # g/cm^3
        for wavelength, energy in XRAY:
            got = stated_mu(args, name, wavelength, "xray")
            total = sum(xraylib.CS_Total(el.number, energy) * el.mass * count
                        for el, count in compound.atoms.items()) / compound.mass * density / 10  # 1/mm
            photo = sum(xraylib.CS_Photo(el.number, energy) * el.mass * count
                        for el, count in compound.atoms.items()) / compound.mass * density / 10
            print(f"{name} X-rays {wavelength} A: mu {got}/mm, xraylib total {total:.5g} (photo {photo:.5g})")
            if got is None or abs(got / photo - 1) > 0.025 or not 0.9 * total < got < total:
                problems.append(f"{name} at {wavelength} A: mu {got}/mm, xraylib's CS_Photo {photo:.5g}/mm "
                                f"and CS_Total {total:.5g}/mm")
        for wavelength in (1.54, 2.4):
            got = stated_mu(args, name, wavelength, "neutron")
            _, xs, _ = nsf.neutron_scattering(compound, density=density, wavelength=wavelength)
            want = sum(xs) / 10
            print(f"{name} neutrons {wavelength} A: mu {got}/mm, periodictable {want:.5g}")
            if got is None or abs(got / want - 1) > 0.01:
                problems.append(f"{name} neutrons at {wavelength} A: mu {got}/mm, periodictable {want:.5g}/mm")
    return problems


if __name__ == "__main__":
    reference_checks.run({"table": check_table, "mu": check_mu}, {},
                         "python3-periodictable, python3-cctbx, python3-xraylib")
