"""Unique reflections against cctbx: every set's multiplicity is cctbx's count of the
equivalents of its h k l in the Laue group of the structure, the sets of a d-spacing list
cover it exactly, and no set joins reflections of different |Fm|^2, also where the moments
lower the symmetry that the atoms have."""
import os

import numpy as np
import pytest
import velmora
from conftest import SOURCE

cctbx = pytest.importorskip("cctbx", reason="python3-cctbx is missing: no independent count")
from cctbx import crystal, miller, sgtbx  # noqa: E402
from cctbx.array_family import flex  # noqa: E402

DATA = os.path.join(SOURCE, "data")


def cell_atoms(symbol, sites):
    """Every atom of the cell from (type, x, y, z[, moment]) sites, by cctbx's operations."""
    atoms = []
    for site in sites:
        images = []
        for op in sgtbx.space_group_info(symbol).group().all_ops():
            xyz = [v % 1.0 for v in op * site[1:4]]
            if not any(max(min(abs(p - q) % 1, 1 - abs(p - q) % 1) for p, q in zip(xyz, seen)) < 1e-6
                       for seen in images):
                images.append(xyz)
        atoms += [(site[0], *xyz, 1, 0.4, *site[4:]) for xyz in images]
    return atoms


def triplets(symbol):
    return [op.as_xyz() for op in sgtbx.space_group_info(symbol).group().all_ops()]


STRUCTURES = {
    "cubic (NaCl, Fm-3m, from its CIF)":
        (lambda: velmora.read_cif(os.path.join(SOURCE, "tests/cif/cases/nacl.cif"), tables=DATA), "F m -3 m"),
    "hexagonal (hcp Mg, P63/mmc)":
        (lambda: velmora.Structure((3.21, 3.21, 5.21, 90, 90, 120), cell_atoms("P 63/m m c", [("Mgx", 1 / 3, 2 / 3, 0.25)]),
                                   symmetry=triplets("P 63/m m c"), tables=DATA), "P 63/m m c"),
    "monoclinic (a general site, P21/c)":
        (lambda: velmora.Structure((5.1, 6.2, 7.3, 90, 101.5, 90), cell_atoms("P 1 21/c 1", [("Sxx", 0.12, 0.23, 0.34)]),
                                   symmetry=triplets("P 1 21/c 1"), tables=DATA), "P 1 21/c 1"),
    "magnetic (MnO, cubic atoms, moments of a monoclinic magnetic group, from its magnetic CIF)":
        (lambda: velmora.read_cif(os.path.join(SOURCE, "tests/cif/cases/mno.mcif"), tables=DATA), None),
    "moments along c in a cubic group (bcc Fe given Im-3m): tetragonal":
        (lambda: velmora.Structure((2.8665,) * 3 + (90,) * 3, cell_atoms("I m -3 m", [("Fex", 0, 0, 0, (2.22, 0, 0))]),
                                   symmetry=triplets("I m -3 m"), tables=DATA), "I 4/m m m"),
}


def cctbx_set(structure, group_symbol, hkl):
    if group_symbol is None:  # the magnetic CIF's operations without their time reversal
        group = sgtbx.space_group()
        for op in structure.operations:
            group.expand_smx(sgtbx.rt_mx(op.removesuffix(",-1")))
    else:
        group = sgtbx.space_group_info(group_symbol).group()
    symmetry = crystal.symmetry(unit_cell=tuple(structure.cell), space_group=group)
    indices = flex.miller_index([tuple(row) for row in hkl.tolist()])  # int32: whole indices
    return miller.set(symmetry, indices, anomalous_flag=False)


@pytest.mark.filterwarnings("ignore::UserWarning")
@pytest.mark.parametrize("name", STRUCTURES)
def test_multiplicities_are_cctbx_counts(name):
    make, group_symbol = STRUCTURES[name]
    s = make()
    full = s.reflections(dmin=1.1)
    u = s.reflections(dmin=1.1, unique=True)
    assert list(u["multiplicity"]) == list(cctbx_set(s, group_symbol, u["hkl"]).multiplicities().data())
    assert u["multiplicity"].sum() == len(full["h"])  # every listed reflection in exactly one set

    # Reflections that cctbx's group makes equivalent have one |Fm|^2 (and |Fn|^2), to rounding.
    members = cctbx_set(s, group_symbol, full["hkl"])
    asu = members.map_to_asu().indices()
    for column in ("fn2", "fm2"):
        by_set = {}
        for index, value in zip(asu, full[column]):
            by_set.setdefault(index, []).append(value)
        for values in by_set.values():
            assert max(values) - min(values) <= 1e-4 * max(values) + 1e-3, column
