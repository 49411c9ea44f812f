"""The module's arrays are velmora's own values: each, printed as velmora prints it, is the
report's field, for the shipped answer files and for converted CIFs; velmora-cif's CSV and
JSON tables read back as the same floats."""
import csv
import io
import json
import os
import pathlib
import subprocess

import numpy as np
import pytest
import velmora
from conftest import SOURCE

pytestmark = pytest.mark.filterwarnings("ignore::UserWarning")  # velmora-cif's warnings on the CIFs
DATA = os.path.join(SOURCE, "data")
CIFS = os.path.join(SOURCE, "tests", "cif", "cases")
INSTRUMENT = os.path.join(SOURCE, "tests", "powder", "answers", "cu_lab.prm")
# Report columns: (array, field width, decimals).
COLUMNS = [("h", 5, 1), ("k", 5, 1), ("l", 5, 1), ("d", 7, 3), ("qx", 7, 3), ("qy", 7, 3), ("qz", 7, 3),
           ("q", 7, 3), ("fn2", 8, 3), ("fm2", 8, 3), ("fx2", 12, 3)]


def printed(value, width, decimals):
    text = "%.*f" % (decimals, value)
    return "*" * width if len(text) > width else text.rjust(width)


def report_rows(stdout):
    lines = stdout.decode().splitlines()
    start = next(i for i, line in enumerate(lines) if "|Fn|^2" in line) + 1
    return lines[start:]


def assert_report(r, stdout):
    rows = report_rows(stdout)
    assert len(rows) == len(r["h"]) > 0
    for i, row in enumerate(rows):
        expected = "".join(printed(r[name][i], width, decimals) for name, width, decimals in COLUMNS)
        assert row == expected, f"row {i + 1}"


@pytest.mark.parametrize("answers", sorted(f for f in os.listdir(os.path.join(SOURCE, "examples"))
                                           if f.endswith(".txt")))
def test_answer_file_arrays_are_the_report(programs, answers):
    path = os.path.join(SOURCE, "examples", answers)
    with open(path, "rb") as f:
        report = subprocess.run([programs["velmora"]], stdin=f, cwd=DATA, capture_output=True, check=True)
    s = velmora.read_answers(pathlib.Path(path), tables=pathlib.Path(DATA))  # as os.PathLike
    assert_report(s.reflections(), report.stdout)


# (CIF, the magnetic model): velmora's own form factors, a 5d ion velmora's table lacks, and a
# rare earth in the dipole approximation.
@pytest.mark.parametrize("cif, model", [("mno.mcif", "j0"), ("magnetite.mcif", "j0"), ("nacl.cif", "j0"),
                                        ("corundum_full_symbol.cif", "j0"), ("iridate_5d_ion.mcif", "j0"),
                                        ("rare_earth_dipole.mcif", "dipole")])
def test_cif_arrays_are_the_report_and_the_tables(programs, cif, model, tmp_path):
    path = os.path.join(CIFS, cif)
    run = [programs["velmora-cif"], path, "--dmin", "2", "--tables", DATA, "--run", "--magnetic-model", model]
    s = velmora.read_cif(path, tables=DATA, magnetic_model=model)
    r = s.reflections(dmin=2)
    report = subprocess.run(run, capture_output=True, cwd=tmp_path, check=True).stdout
    assert_report(r, report)
    # The report's first line names the model when a form factor is not velmora's; the tables say the same.
    first = report.decode().splitlines()[0]
    assert (s.model["magnetic_form_factor"] == first) == first.startswith("|Fm|^2")

    u = s.reflections(dmin=2, unique=True)
    table = subprocess.run(run + ["--format", "csv", "--unique"], capture_output=True, check=True).stdout.decode()
    rows = list(csv.DictReader(line for line in io.StringIO(table) if not line.startswith("#")))
    assert len(rows) == len(u["h"])
    assert not u["anomalous"]  # no f'': Friedel's law holds
    for name in set(u) - {"hkl", "anomalous"}:
        column = np.array([row[name] for row in rows]).astype(u[name].dtype)
        assert np.array_equal(column, u[name]), name  # the same floats, digit for digit

    # -o takes the table that standard output would, byte for byte, and standard output stays empty
    written = subprocess.run(run + ["--format", "csv", "--unique", "-o", str(tmp_path / "t.csv")],
                             capture_output=True, check=True)
    assert written.stdout == b"" and (tmp_path / "t.csv").read_text() == table

    whole = json.loads(subprocess.run(run + ["--format", "json"], capture_output=True, check=True).stdout)
    assert whole["model"]["source"] == path and whole["model"]["atoms"] > 0
    for name in ("magnetic_model", "magnetic_form_factor"):
        assert whole["model"][name] == s.model[name] and f"# {name}: {s.model[name]}\n" in table
    for name, values in whole["reflections"].items():
        assert np.array_equal(np.array(values, dtype=np.float32), r[name]), name


# (velmora-cif --run's options, the module's reflections() arguments): the corrections to the
# free-atom scattering are the same in both, to the float.
CORRECTIONS = [
    (["--wavelength", "2.4"], dict(wavelength=2.4)),
    (["--wavelength", "1.2", "--isotope", "Gd=160Gd", "--isotope", "B1=11B"],
     dict(wavelength=1.2, isotopes={"Gd": "160Gd", "B1": "11B"})),
    (["--isotope", "Gd=157Gd"], dict(isotopes={"Gd": "157Gd"})),  # b'' at 1.798 A
    (["--wavelength", "1.5406", "--dispersion", "none"], dict(wavelength=1.5406, dispersion="none")),
]


@pytest.mark.parametrize("options, given", CORRECTIONS)
def test_corrections_are_velmora_cifs(programs, options, given):
    path = os.path.join(CIFS, "absorber_natural_length.cif")
    table = subprocess.run([programs["velmora-cif"], path, "--dmin", "1.5", "--tables", DATA, "--run",
                            "--format", "csv", *options], capture_output=True, check=True).stdout.decode()
    rows = list(csv.DictReader(line for line in io.StringIO(table) if not line.startswith("#")))
    r = velmora.read_cif(path, tables=DATA).reflections(dmin=1.5, **given)
    assert len(rows) == len(r["h"]) > 10
    for name in ("fn2", "fx2"):
        assert np.array_equal(np.array([row[name] for row in rows]).astype(np.float32), r[name]), name


def test_answer_file_ion_velmora_lacks_is_velmora_powders(programs, tmp_path):
    path = tmp_path / "iridium.txt"
    path.write_text("5 5 5 90 90 90\n2\nIrx 0 0 0 1 0.3 1\nOxx 0.5 0.5 0.5 1 0.5 0\n3 90 0\n"
                    "4\n1 0 0\n2 1 0\n3 1 1\n1 1 2\n")
    out = subprocess.run([programs["velmora-powder"], str(path), "--wavelength", "1", "--tables", DATA,
                          "--ion", "Irx=Ir4"], capture_output=True, check=True).stdout.decode()
    with pytest.warns(UserWarning, match="has no Ir4: its <j0> from magnetic_form_factors.csv"):
        s = velmora.read_answers(str(path), tables=DATA, ions={"Irx": "Ir4"})
    assert any("no Ir4" in line for line in s.warnings)
    assert out.startswith("# " + s.model["magnetic_form_factor"] + "\n")
    r = s.reflections()
    powder = {(float(row["h"]), float(row["k"]), float(row["l"])): np.float32(row["Fm2_barn"])
              for row in csv.DictReader(line for line in io.StringIO(out) if not line.startswith("#"))}
    assert min(r["fm2"]) > 0  # every listed reflection sees the moment
    for h, k, l, fm2 in zip(r["h"], r["k"], r["l"], r["fm2"]):
        assert powder[(h, k, l)] == fm2


def test_values_the_same_on_one_thread_and_on_several(monkeypatch):
    s = velmora.read_cif(os.path.join(CIFS, "magnetite.mcif"), tables=DATA)
    runs = []
    for threads in ("1", "3"):
        monkeypatch.setenv("VELMORA_THREADS", threads)
        runs.append(s.reflections(dmin=1.0))
    assert len(runs[0]["h"]) > 1000
    for name in runs[0]:
        assert np.array_equal(runs[0][name], runs[1][name]), name


# (the h k l asked for, the type of the array hkl): whole indices as int32 where they fit
HKL_KINDS = [([[1, 0, 0], [-2, 1, 1]], np.int32), ([[0.5, 0.5, 0.5], [1, 0, 0]], np.float32),
             ([[2 ** 31, 0, 0]], np.float32)]


@pytest.mark.parametrize("hkl, kind", HKL_KINDS)
def test_hkl_array_holds_the_columns(hkl, kind):
    r = velmora.Structure((3, 3, 3, 90, 90, 90), [("Fex", 0, 0, 0)], tables=DATA).reflections(hkl=hkl)
    assert r["hkl"].dtype == kind and r["hkl"].shape == (len(hkl), 3)
    assert np.array_equal(r["hkl"], np.stack([r["h"], r["k"], r["l"]], axis=1))


def answer_structure(text):
    """The cell, the atoms (type x y z occ B mag [site]) and the moments of an answer text."""
    rows = [line.split() for line in text.splitlines()]
    count = int(rows[1][0])
    atoms = rows[2:2 + count]
    return rows[0], atoms, rows[2 + count:2 + count + sum(a[6] == "1" for a in atoms)]


# (reader, input): the structure read back is the answer file velmora-cif writes, or the file read
READ_BACK = [("cif", os.path.join(CIFS, "mno.mcif")), ("cif", os.path.join(CIFS, "magnetite.mcif")),
             ("cif", os.path.join(CIFS, "corundum_full_symbol.cif")),
             ("answers", os.path.join(SOURCE, "examples", "mno_antiferromagnet.txt"))]


@pytest.mark.parametrize("reader, path", READ_BACK)
def test_structure_reads_back_as_its_answers(programs, tmp_path, reader, path):
    if reader == "cif":
        s = velmora.read_cif(path, tables=DATA)
        text = subprocess.run([programs["velmora-cif"], path, "--dmin", "3", "--tables", DATA], capture_output=True,
                              check=True).stdout.decode()
    else:
        s = velmora.read_answers(path, tables=DATA)
        text = open(path).read()
    cell, atoms, moments = answer_structure(text)
    assert isinstance(s.cell, tuple) and np.allclose(s.cell, np.array(cell, dtype=float), rtol=1e-6)
    assert len(s.atoms) == len(atoms) > 0 and len(s.moments) == len(moments)
    for atom, row in zip(s.atoms, atoms):
        assert (atom.type, atom.magnetic, atom.site) == (row[0], row[6] == "1", row[7] if len(row) > 7 else "")
        assert np.allclose([atom.x, atom.y, atom.z, atom.occ, atom.biso], np.array(row[1:6], dtype=float), atol=1e-5)
    assert np.allclose(np.reshape(s.moments, (-1, 3)), np.array([row[:3] for row in moments], dtype=float).reshape(-1, 3),
                       atol=1e-5)
    reversing = [op for op in s.operations if op.endswith(",-1")]
    assert bool(reversing) == path.endswith(".mcif") and s.operations == s.model["symmetry_operations"]


# (Structure.powder's arguments, velmora-powder's options for the same pattern)
POWDER_CHOICES = [
    ({"wavelength": 2.4}, ["--wavelength", "2.4"]),
    ({"wavelength": [1.540598, (1.544426, 0.5)], "fwhm": 0.1}, ["--wavelength", "1.540598,1.544426:0.5", "--fwhm", "0.1"]),
    ({"source": "Mo", "two_theta": (10, 40, 0.01), "dmin": 1.1}, ["--source", "Mo", "--two-theta", "10:40:0.01", "--dmin", "1.1"]),
    ({"wavelength": 1.5, "caglioti": (0.02, -0.01, 0.01)}, ["--wavelength", "1.5", "--caglioti", "0.02,-0.01,0.01"]),
    ({"wavelength": 1.5, "tch": (0.02, -0.01, 0.01, 0.03, 0.02)}, ["--wavelength", "1.5", "--tch", "0.02,-0.01,0.01,0.03,0.02"]),
    ({"wavelength": 1.5, "caglioti": (0.02, -0.01, 0.01), "tch": (0.03, 0.02)},
     ["--wavelength", "1.5", "--tch", "0.02,-0.01,0.01,0.03,0.02"]),
    # a GSAS instrument file: two X-ray lines, a monochromator's polarisation, profile function 3
    ({"instrument": INSTRUMENT}, ["--instrument", INSTRUMENT]),
    # a capillary's absorption, on the neutrons and on a tube's X-rays, given and computed
    ({"wavelength": 2.4, "absorption": 0.8}, ["--wavelength", "2.4", "--absorption", "0.8"]),
    ({"source": "Cu", "absorption": "auto", "packing": 0.5, "radius": 0.1},
     ["--source", "Cu", "--absorption", "auto", "--packing", "0.5", "--radius", "0.1"]),
]


def model_lines_out(path):
    """The lines of a CSV file after its # model lines, which genfromtxt would take for the header."""
    return [line for line in open(path, encoding="utf-8") if not line.startswith("#")]

@pytest.mark.parametrize("arguments, options", POWDER_CHOICES)
def test_powder_is_velmora_powders(programs, tmp_path, arguments, options):
    path = os.path.join(CIFS, "mno.mcif")
    subprocess.run([programs["velmora-powder"], path, "--tables", DATA, "--csv", tmp_path / "pattern.csv",
                    "--reflections", tmp_path / "peaks.csv"] + options, capture_output=True, check=True)
    p = velmora.read_cif(path, tables=DATA).powder(**arguments)
    # The same peaks, value for value; the module lists the reflections in another order, so the
    # pattern's sums may differ in their last digit.
    peaks = np.genfromtxt(model_lines_out(tmp_path / "peaks.csv"), delimiter=",", names=True, dtype=np.float32)
    columns = [("h", "h"), ("k", "k"), ("l", "l"), ("wavelength_angstrom", "wavelength"), ("two_theta_deg", "two_theta"),
               ("I_nuclear_barn", "neutron_nuclear"), ("I_magnetic_barn", "neutron_magnetic"),
               ("I_xray_electron2", "xray")]
    assert sorted(zip(*(peaks[c] for c, _ in columns))) == sorted(zip(*(p["peaks"][n] for _, n in columns)))
    pattern = np.genfromtxt(model_lines_out(tmp_path / "pattern.csv"), delimiter=",", names=True, dtype=np.float32)
    for column, name in (("two_theta_deg", "two_theta"), ("neutron_nuclear", "neutron_nuclear"),
                         ("neutron_magnetic", "neutron_magnetic"), ("neutron_total", "neutron"), ("xray", "xray")):
        assert len(pattern[column]) == len(p[name]) and np.allclose(
            pattern[column], p[name], rtol=1e-5, atol=1e-6 * max(p[name])), column
