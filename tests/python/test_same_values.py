"""The module's arrays are velmora's own values: each, printed as velmora prints it, is the
report's field, for the shipped answer files and for converted CIFs; velmora-cif's CSV and
JSON tables read back as the same floats."""
import csv
import io
import json
import os
import subprocess

import numpy as np
import pytest
import velmora
from conftest import SOURCE

pytestmark = pytest.mark.filterwarnings("ignore::UserWarning")  # velmora-cif's warnings on the CIFs
DATA = os.path.join(SOURCE, "data")
CIFS = os.path.join(SOURCE, "tests", "cif", "cases")
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
    assert_report(velmora.read_answers(path, tables=DATA).reflections(), report.stdout)


@pytest.mark.parametrize("cif", ["mno.mcif", "magnetite.mcif", "nacl.cif", "corundum_full_symbol.cif"])
def test_cif_arrays_are_the_report_and_the_tables(programs, cif, tmp_path):
    path = os.path.join(CIFS, cif)
    run = [programs["velmora-cif"], path, "--dmin", "2", "--tables", DATA, "--run"]
    r = velmora.read_cif(path, tables=DATA).reflections(dmin=2)
    assert_report(r, subprocess.run(run, capture_output=True, cwd=tmp_path, check=True).stdout)

    u = velmora.read_cif(path, tables=DATA).reflections(dmin=2, unique=True)
    table = subprocess.run(run + ["--format", "csv", "--unique"], capture_output=True, check=True).stdout.decode()
    rows = list(csv.DictReader(line for line in io.StringIO(table) if not line.startswith("#")))
    assert len(rows) == len(u["h"])
    for name in u:
        column = np.array([row[name] for row in rows]).astype(u[name].dtype)
        assert np.array_equal(column, u[name]), name  # the same floats, digit for digit

    whole = json.loads(subprocess.run(run + ["--format", "json"], capture_output=True, check=True).stdout)
    assert whole["model"]["source"] == path and whole["model"]["atoms"] > 0
    for name, values in whole["reflections"].items():
        assert np.array_equal(np.array(values, dtype=np.float32), r[name]), name


def test_values_the_same_on_one_thread_and_on_several(monkeypatch):
    s = velmora.read_cif(os.path.join(CIFS, "magnetite.mcif"), tables=DATA)
    runs = []
    for threads in ("1", "3"):
        monkeypatch.setenv("VELMORA_THREADS", threads)
        runs.append(s.reflections(dmin=1.0))
    assert len(runs[0]["h"]) > 1000
    for name in runs[0]:
        assert np.array_equal(runs[0][name], runs[1][name]), name
