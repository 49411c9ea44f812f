"""Every ion of magnetic_form_factors.csv is usable by name: one magnetic atom of that ion at the
origin of a cube, named with ions=, gives |Fm|^2 proportional to the square of the form factor
numpy evaluates from the CSV, at two s, under both models (dipole with g = 1, so that <j2>
counts fully). The one constant of proportionality (moment and geometry) is common to all rows.
The atom types velmora's own rows lack (beyond uranium) scatter X-rays and neutrons as cctbx's
copy of the same X-ray table and Sears' lengths of the isotopes named say."""
import csv
import os
import warnings

import numpy as np
import pytest
import velmora
from conftest import SOURCE

DATA = os.path.join(SOURCE, "data")
A = 4.0
HKL = [[1, 0, 0], [3, 0, 0]]  # s = h / (2 a)


def fit(row, kind, s):
    c = [float(np.float32(row[f"{kind}_{x}"])) for x in "AaBbCcDdE"]
    return sum(c[i] * np.exp(-c[i + 1] * s * s) for i in range(0, 8, 2)) + c[8]


def table_labels():
    with open(os.path.join(DATA, "neutron_bcoh_from_international_tables_edited.txt")) as f:
        return {line.split()[0] for line in f.readlines()[1:] if line.strip()}


def test_every_row_gives_its_form_factor_by_name():
    rows = list(csv.DictReader(open(os.path.join(DATA, "magnetic_form_factors.csv"), encoding="utf-8")))
    labels, s = table_labels(), np.array([h[0] / (2 * A) for h in HKL])
    got, want, left_out = [], [], set()
    for row in rows:
        element = row["label"].rstrip("0123456789")
        label = element.ljust(3, "x")  # the neutral atom's X-ray and nuclear rows
        if label not in labels:
            left_out.add(element)
            continue
        several = sum(r["label"] == row["label"] for r in rows) > 1
        name = row["label"] + (":" + row["configuration"] if several else "")
        j0, j2 = fit(row, "j0", s), s * s * fit(row, "j2", s)
        for model, g, f in (("j0", {}, j0), ("dipole", {label: 1.0}, j0 + j2)):
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                st = velmora.Structure((A, A, A, 90, 90, 90), [(label, 0, 0, 0, 1, 0, (3, 90, 0))],
                                       tables=DATA, magnetic_model=model, g=g, ions={label: name})
            got.append(st.reflections(hkl=HKL)["fm2"])
            want.append(f)
    assert not left_out  # the rows after velmora's give the transuranium elements their atom types
    got, want = np.array(got, dtype=float), np.array(want)
    assert len(got) == 2 * len(rows)
    scale = np.median(got / want ** 2)
    assert np.allclose(np.sqrt(got / scale), np.abs(want), rtol=1e-5, atol=1e-6)


def test_rows_beyond_velmora_scatter_as_published():
    it1992 = pytest.importorskip("cctbx.eltbx.xray_scattering", reason="python3-cctbx is missing").it1992
    lengths = {"Np": 10.55, "Pu": 7.7, "Am": 8.3}  # fm: 237Np, 239Pu, 243Am (Sears 1992)
    s = np.array([h[0] / (2 * A) for h in HKL])
    for label in ("Npx", "Np3", "Np4", "Np6", "Pux", "Pu3", "Pu4", "Pu6", "Amx"):
        element = label.rstrip("x0123456789")
        species = element + ("" if label.endswith("x") else label[2] + "+")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            values = velmora.Structure((A, A, A, 90, 90, 90), [(label, 0, 0, 0, 1, 0)],
                                       tables=DATA).reflections(hkl=HKL)
        f = np.array([it1992(species, True).fetch().at_stol(x) for x in s])
        assert np.allclose(values["fx2"], f ** 2, rtol=1e-5), label
        assert np.allclose(values["fn2"], (lengths[element] / 10) ** 2, rtol=1e-5), label
