"""Structure.refine is velmora-powder's --observed and --refine from Python: on one measured
pattern it reports what the program's --fit-report does, gives back the parameters the
pattern was made with, and refuses what the program refuses, naming the argument."""
import json
import os
import subprocess

import numpy as np
import pytest
import velmora
from conftest import SOURCE

DATA = os.path.join(SOURCE, "data")
CELL = 5.41165  # CeO2
START = 5.4090  # the refinement's start, 0.05 % off
CAGLIOTI = (0.008, -0.004, 0.006)
ZERO = 0.031
CIF = """data_ceria
_cell_length_a {a}
_cell_length_b {a}
_cell_length_c {a}
_cell_angle_alpha 90
_cell_angle_beta 90
_cell_angle_gamma 90
_space_group_name_H-M_alt 'F m -3 m'
loop_
_atom_site_label
_atom_site_type_symbol
_atom_site_fract_x
_atom_site_fract_y
_atom_site_fract_z
_atom_site_B_iso_or_equiv
Ce1 Ce 0 0 0 0.35
O1 O 0.25 0.25 0.25 0.62
"""


def ceria(folder, a):
    path = os.path.join(folder, f"ceria_{a}.cif")
    with open(path, "w") as f:
        f.write(CIF.format(a=a))
    return velmora.read_cif(path, tables=DATA), path


@pytest.fixture(scope="module")
def measured(tmp_path_factory):
    """A Cu Kalpha1+2 pattern of CeO2 at CELL, moved by ZERO, on a sloping background, with
    Poisson counts of a fixed seed, written as .xye; and the start structure's CIF."""
    folder = str(tmp_path_factory.mktemp("refine"))
    truth, _ = ceria(folder, CELL)
    x = np.round(np.arange(20, 120.001, 0.02), 4)
    shape = truth.powder(source="Cu", two_theta=(19, 121, 0.005), caglioti=CAGLIOTI)
    peaks = np.interp(x - ZERO, shape["two_theta"], shape["xray"])
    counts = np.random.default_rng(7).poisson(4e4 * peaks / peaks.max() + 150 - 0.6 * x).astype(float)
    sigma = np.sqrt(np.maximum(counts, 1))
    path = os.path.join(folder, "ceria.xye")
    np.savetxt(path, np.column_stack([x, counts, sigma]), fmt=["%.4f", "%.0f", "%.4f"])
    _, start = ceria(folder, START)
    return folder, path, start


def parameter(report, name):
    return next(p for p in report["parameters"] if p["name"] == name)


def test_same_report_as_the_command_line(programs, measured):
    folder, pattern, start = measured
    out = os.path.join(folder, "fit.json")
    run = subprocess.run([programs["velmora-powder"], start, "--observed", pattern, "--source", "Cu",
                          "--caglioti", ",".join(map(str, CAGLIOTI)), "--refine", "scale,cell,zero,background",
                          "--fit-report", out, "--tables", DATA], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    with open(out) as f:
        shell = json.load(f)
    structure = velmora.read_cif(start, tables=DATA)
    report = structure.refine(pattern, "scale,cell,zero,background", source="Cu", caglioti=CAGLIOTI)
    for key in ("scale", "zero_shift", "background", "Rp", "Rwp", "Rexp", "chi2", "iterations", "converged"):
        assert report[key] == shell[key], key
    assert report["parameters"] == shell["parameters"]
    fitted = report["pattern"]
    assert len(fitted["two_theta"]) == len(fitted["calculated"]) == len(fitted["sigma"])
    residual = (fitted["observed"] - fitted["calculated"]) / fitted["sigma"]
    assert np.sum(residual ** 2) / np.sum((fitted["observed"] / fitted["sigma"]) ** 2) == \
        pytest.approx(report["Rwp"] ** 2, rel=1e-9)


@pytest.mark.parametrize("options, given", [
    (["--exclude", "40:50", "--exclude", "95:100"], dict(exclude=[(40, 50), (95, 100)])),
    (["--le-bail"], dict(le_bail=True)),
    (["--dispersion", "none"], dict(dispersion="none")),
])
def test_options_as_the_command_line(programs, measured, options, given):
    folder, pattern, start = measured
    out = os.path.join(folder, "options.json")
    run = subprocess.run([programs["velmora-powder"], start, "--observed", pattern, "--source", "Cu",
                          "--caglioti", ",".join(map(str, CAGLIOTI)), "--refine", "scale,cell,zero,background",
                          *options, "--fit-report", out, "--tables", DATA], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    with open(out) as f:
        shell = json.load(f)
    report = velmora.read_cif(start, tables=DATA).refine(pattern, "scale,cell,zero,background", source="Cu",
                                                        caglioti=CAGLIOTI, **given)
    assert report["parameters"] == shell["parameters"]
    assert (report["Rwp"], report["Rexp"]) == (shell["Rwp"], shell["Rexp"])
    assert [list(r) for r in report.get("excluded", [])] == shell.get("excluded", [])
    assert report["model"]["dispersion"] == shell["model"]["dispersion"]


def test_gives_back_what_the_pattern_was_made_with(measured):
    _, pattern, start = measured
    report = velmora.read_cif(start, tables=DATA).refine(pattern, ["scale", "cell", "zero", "background"],
                                                        source="Cu", caglioti=CAGLIOTI)
    assert report["converged"]
    for name, true in (("cell.a", CELL), ("zero", ZERO)):
        p = parameter(report, name)
        assert p["refined"] and 0 < p["esd"] and abs(p["value"] - true) < 3 * p["esd"], p


def test_arrays_read_as_the_file(measured):
    folder, pattern, start = measured
    x, y, s = np.loadtxt(pattern, unpack=True)
    structure = velmora.read_cif(start, tables=DATA)
    from_file = structure.refine(pattern, "cell", source="Cu", caglioti=CAGLIOTI)
    from_arrays = structure.refine((x, y, s), "cell", source="Cu", caglioti=CAGLIOTI)
    assert from_arrays["parameters"] == from_file["parameters"]
    assert from_arrays["Rwp"] == from_file["Rwp"]
    # without sigma the points are weighed as a two-column file's are
    two_columns = os.path.join(folder, "ceria.xy")
    np.savetxt(two_columns, np.column_stack([x, y]), fmt=["%.4f", "%.0f"])
    bare = structure.refine((x, y), "cell", source="Cu", caglioti=CAGLIOTI)
    assert bare["Rexp"] != from_file["Rexp"]
    assert bare["parameters"] == structure.refine(two_columns, "cell", source="Cu", caglioti=CAGLIOTI)["parameters"]


def test_a_second_phase_has_its_own_scale(measured):
    folder, pattern, start = measured
    structure = velmora.read_cif(start, tables=DATA)
    other, _ = ceria(folder, 5.50)  # peaks where the pattern has none
    report = structure.refine(pattern, "scale", source="Cu", caglioti=CAGLIOTI, phases=[other])
    assert len(report["scales"]) == 2
    assert abs(report["scales"][1]) < 0.02 * report["scales"][0]


def test_gives_back_the_refined_structure(measured):
    """The refined Structure holds the refined cell and B; the values' dict is the parameters'
    list by name; a fixed B keeps its start; and the refined Structure fits the pattern as the
    refinement ended."""
    _, pattern, start = measured
    report = velmora.read_cif(start, tables=DATA).refine(pattern, "scale,cell,zero,background,biso",
                                                         source="Cu", caglioti=CAGLIOTI, fix="site.Ce1.biso")
    assert report["values"] == {p["name"]: (p["value"], p["esd"]) for p in report["parameters"]}
    refined = report["structure"]
    assert isinstance(refined, velmora.Structure)
    a, esd = report["values"]["cell.a"]
    assert refined.cell[0] == pytest.approx(a, rel=1e-7) and abs(a - CELL) < 3 * esd
    assert not parameter(report, "site.Ce1.biso")["refined"] and parameter(report, "site.O1.biso")["refined"]
    b = {atom.site: atom.biso for atom in refined.atoms}
    assert b["Ce1"] == pytest.approx(0.35, rel=1e-7)
    assert b["O1"] == pytest.approx(report["values"]["site.O1.biso"][0], rel=1e-6)
    again = refined.refine(pattern, "scale,zero,background", source="Cu", caglioti=CAGLIOTI)
    assert again["Rwp"] == pytest.approx(report["Rwp"], rel=1e-3)
    assert refined.model["refined_against"] == pattern


# (arguments beside the pattern, the exception, words its message holds)
REFUSED = [
    (dict(refine=["atoms"]), ValueError, "atoms"),
    (dict(refine=[1]), TypeError, "refine"),
    (dict(refine="scale", radiation="gamma"), ValueError, "radiation"),
    (dict(background_terms=21), ValueError, "background_terms"),
    (dict(zero_range=-1), ValueError, "zero_range"),
    (dict(exclude=[(50, 40)]), ValueError, r"exclude\[0\]"),
    (dict(exclude=[(40, 50), (60,)]), ValueError, r"exclude\[1\]"),
    (dict(exclude=(40, 50)), TypeError, r"exclude\[0\]"),
    (dict(le_bail="yes"), TypeError, "le_bail"),
    (dict(fix="zero"), ValueError, "fix"),
    (dict(refine="scale", fix=[3]), TypeError, "fix"),
    (dict(refine="scale", fix=["zero", "zero"]), ValueError, "zero is given twice"),
    (dict(refine="scale,cell", fix="cell.b"), velmora.VelmoraError, "cell.b: it follows cell.a"),
]


@pytest.mark.parametrize("given, error, words", REFUSED)
def test_refuses_what_the_program_refuses(measured, given, error, words):
    _, pattern, start = measured
    with pytest.raises(error, match=words):
        velmora.read_cif(start, tables=DATA).refine(pattern, source="Cu", caglioti=CAGLIOTI, **given)


@pytest.mark.parametrize("observed, error", [
    (([20.0, 20.02],), TypeError),
    (([20.0, 20.02, 20.04], [5.0, 6.0]), ValueError),
    ((np.zeros((2, 2)), [5.0, 6.0]), TypeError),
    # what a file's points would be refused for, as the reader refuses it
    (([20.0, 21.0, float("nan")], [5.0, 6.0, 7.0]), velmora.VelmoraError),
])
def test_refuses_unsound_arrays(measured, observed, error):
    _, _, start = measured
    with pytest.raises(error, match="observed"):
        velmora.read_cif(start, tables=DATA).refine(observed, source="Cu", caglioti=CAGLIOTI)
