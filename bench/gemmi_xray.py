#!/usr/bin/python3
"""Times gemmi's direct summation of X-ray structure factors for the atoms and
reflections of a velmora answer file (as written by make_workload.py).

  gemmi_xray.py ANSWERS [--check N]

gemmi's StructureFactorCalculatorX is called once per reflection, as its users
would call it, on a P1 structure holding every atom of the answer file with
its occupancy and B. The wall time of the summation loop (not the reading) is
printed in seconds. With --check N, also prints |F|^2 of the first N
reflections, to compare with velmora's X-ray column: gemmi takes every atom
as neutral, so for neutral labels (Oxx, Six, ...) the two agree to the
printed digits, while for ions (Fe3, Mn2, ...) velmora's ion curves differ.

Needs Debian's python3-gemmi (run with /usr/bin/python3).
"""
import math
import sys
import time

import gemmi


def element_of(label):
    """The element of a table label such as Fe3, Oxx or Mn2."""
    letters = label[0] + (label[1] if len(label) > 1 and label[1].islower() and label[1] != "x" else "")
    return letters


def read_answers(path):
    with open(path) as f:
        tokens = f.read().split()
    pos = 0

    def take(n):
        nonlocal pos
        out = tokens[pos:pos + n]
        pos += n
        return out

    cell = [float(v) for v in take(6)]
    atoms = []
    for _ in range(int(take(1)[0])):
        label, x, y, z, occ, b, flag = take(7)
        atoms.append((label, float(x), float(y), float(z), float(occ), float(b), int(flag)))
    magnetic = sum(1 for a in atoms if a[6] == 1)
    take(3 * magnetic)
    reflections = [tuple(int(v) for v in take(3)) for _ in range(int(take(1)[0]))]
    return cell, atoms, reflections


def main():
    path = sys.argv[1]
    check = int(sys.argv[sys.argv.index("--check") + 1]) if "--check" in sys.argv else 0
    cell, atoms, reflections = read_answers(path)
    small = gemmi.SmallStructure()
    small.cell = gemmi.UnitCell(*cell)
    small.spacegroup_hm = "P 1"
    for i, (label, x, y, z, occ, b, _) in enumerate(atoms):
        site = gemmi.SmallStructure.Site()
        site.label = "%s%d" % (label, i)
        site.type_symbol = element_of(label)
        site.element = gemmi.Element(element_of(label))
        site.fract = gemmi.Fractional(x, y, z)
        site.occ = occ
        site.u_iso = b / (8 * math.pi ** 2)
        small.add_site(site)
    small.setup_cell_images()
    calc = gemmi.StructureFactorCalculatorX(small.cell)
    start = time.perf_counter()
    values = [calc.calculate_sf_from_small_structure(small, hkl) for hkl in reflections]
    elapsed = time.perf_counter() - start
    print("%.4f" % elapsed)
    for hkl, f in list(zip(reflections, values))[:check]:
        print(*hkl, "%.6g" % (abs(f) ** 2))


if __name__ == "__main__":
    main()
