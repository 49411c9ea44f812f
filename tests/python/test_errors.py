"""A failure is a velmora.VelmoraError carrying the message the program prints after
"error: " for the same input: velmora-cif for read_cif, velmora-powder for read_answers."""
import errno
import glob
import json
import os
import shutil
import subprocess
import sys
import warnings

import pytest
import velmora
from conftest import BUILD, SOURCE

DATA = os.path.join(SOURCE, "data")
CASES = os.path.join(SOURCE, "tests", "cif", "cases")

# (reader, input file or answer text, the program and its arguments after the input)
FAILURES = [
    ("cif", os.path.join(CASES, "no_table_row.cif"), "velmora-cif", ["--tables", DATA]),
    ("cif", os.path.join(CASES, "broken_syntax.cif"), "velmora-cif", ["--tables", DATA]),
    ("cif", os.path.join(CASES, "missing_file.cif"), "velmora-cif", ["--tables", DATA]),
    ("cif", os.path.join(CASES, "byte_beyond_utf8.cif"), "velmora-cif", ["--tables", DATA]),
    ("answers", "3 3 3 90 90 90\n1\nFex 0 0 zero 1 0 0\n", "velmora-powder", ["--wavelength", "1", "--tables", DATA]),
    ("answers", "3 3 3 90 90 90\n1\nQqq 0 0 0 1 0 0\n1\n1 0 0\n", "velmora-powder",
     ["--wavelength", "1", "--tables", DATA]),
    ("answers", "3 3 3 90 90 90\n2\nFex 0 0 0 1 0 0\n", "velmora-powder", ["--wavelength", "1", "--tables", DATA]),
    # Ir0 has fits for three configurations: one must be named
    ("answers", "5 5 5 90 90 90\n1\nIrx 0 0 0 1 0 1\n3 90 0\n1\n1 0 0\n", "velmora-powder",
     ["--wavelength", "1", "--tables", DATA]),
]


@pytest.mark.parametrize("reader, given, program, args", FAILURES)
def test_error_is_exception_with_programs_message(programs, tmp_path, reader, given, program, args):
    path = given
    if reader == "answers":
        path = str(tmp_path / "answers.txt")
        with open(path, "w") as f:
            f.write(given)
    printed = subprocess.run([programs[program], path] + args, capture_output=True, text=True).stderr
    message = printed.strip().splitlines()[-1].split(": error: ", 1)[1]
    with pytest.raises(velmora.VelmoraError) as raised:
        (velmora.read_cif if reader == "cif" else velmora.read_answers)(path, tables=DATA)
    assert str(raised.value) == message


def test_values_refused_before_any_computation():
    with pytest.raises(velmora.VelmoraError, match='"Qqq" has no row'):
        velmora.Structure((3, 3, 3, 90, 90, 90), [("Qqq", 0, 0, 0)], tables=DATA)
    with pytest.raises(velmora.VelmoraError, match="atom 1 .*no finite number"):
        velmora.Structure((3, 3, 3, 90, 90, 90), [("Fex", float("nan"), 0, 0)], tables=DATA)
    with pytest.raises(velmora.VelmoraError, match="several configurations; name one:.*--ion Irx=ION"):
        velmora.Structure((5, 5, 5, 90, 90, 90), [("Irx", 0, 0, 0, 1, 0, (3, 90, 0))], tables=DATA)
    with pytest.raises(velmora.VelmoraError, match="--ion Fe=Ir4: the tables have no magnetic row Ir4 of Fe"):
        velmora.Structure((3, 3, 3, 90, 90, 90), [("Fex", 0, 0, 0, 1, 0, (2, 0, 0))], tables=DATA, ions={"Fe": "Ir4"})
    with pytest.raises(ValueError, match="g needs magnetic_model=\"dipole\""):
        velmora.Structure((5, 5, 5, 90, 90, 90), [("Fe3", 0, 0, 0)], tables=DATA, g={"Fe": 2})
    with pytest.raises(ValueError, match="dmin or hkl"):
        velmora.Structure((3, 3, 3, 90, 90, 90), [("Fex", 0, 0, 0)], tables=DATA).reflections(dmin=1, hkl=[[1, 0, 0]])


# (the call, given a scratch folder; the failure's code; its errno, 0 when the system refused nothing)
FAILURE_KINDS = [
    (lambda tmp: velmora.read_cif(tmp / "absent.cif", tables=DATA), "file", errno.ENOENT),
    (lambda tmp: velmora.read_answers(tmp, tables=DATA), "file", errno.EISDIR),
    (lambda tmp: velmora.read_cif(os.path.join(CASES, "broken_syntax.cif"), tables=DATA), "cif", 0),
    (lambda tmp: velmora.read_answers(write(tmp, "3 3 3 90 90 90\n1\nFex 0 0 zero 1 0 0\n"), tables=DATA),
     "answers", 0),
    (lambda tmp: velmora.read_answers(write(tmp, "3 3 3 90 90 90\n1\nQqq 0 0 0 1 0 0\n1\n1 0 0\n"),
                                      tables=DATA), "answers", 0),
    (lambda tmp: velmora.Structure((3, 3, 3, 90, 90, 90), [("Qqq", 0, 0, 0)], tables=DATA), "structure", 0),
]
OS_ERRORS = {errno.ENOENT: FileNotFoundError, errno.EISDIR: IsADirectoryError}


def write(folder, text):
    path = folder / "answers.txt"
    path.write_text(text)
    return path


@pytest.mark.parametrize("call, code, number", FAILURE_KINDS)
def test_failure_says_its_kind_and_place(tmp_path, call, code, number):
    with pytest.raises(velmora.VelmoraError) as raised:
        call(tmp_path)
    e = raised.value
    assert isinstance(e, RuntimeError) and e.code == code and isinstance(e, OSError) == (number != 0)
    assert str(e).startswith(e.where) and str(e).endswith(e.reason)
    if number:
        assert isinstance(e, OS_ERRORS[number]) and e.errno == number and e.filename == e.file
        assert e.strerror == os.strerror(number) and e.where == e.file
    if code == "answers":
        assert e.where.startswith(e.file) and e.file.endswith("answers.txt")


# (dipole-model ion, the warnings it gives): a d ion's g of 2 is said unless its free ion has it too
DIPOLE_WARNINGS = [
    ("Eu3", ["Eu3 (4f⁶, 7F0) has J = 0 and no Landé factor: its form factor is <j0> alone, spin-only"]),
    ("Mn2", []),
    ("Co2", ["Co2 (3d⁷, 4F9/2): g = 2, its orbital moment quenched by the crystal (free-ion g 1.333"]),
]


@pytest.mark.parametrize("ion, said", DIPOLE_WARNINGS)
def test_dipole_model_says_each_ions_g_once(ion, said):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        velmora.Structure((5, 5, 5, 90, 90, 90), [(ion, 0, 0, 0, 1, 0, (3, 0, 0))], tables=DATA,
                          magnetic_model="dipole")
    texts = [str(w.message) for w in caught]
    assert len(texts) == len(said) and all(t.startswith(s) for t, s in zip(texts, said))


def test_remarks_are_warnings_of_their_kind(tmp_path):
    ir = write(tmp_path, "5 5 5 90 90 90\n1\nIrx 0 0 0 1 0.3 1\n3 90 0\n1\n1 0 0\n")
    with pytest.warns(velmora.VelmoraWarning, match="has no Ir4"):
        velmora.read_answers(ir, tables=DATA, ions={"Irx": "Ir4"})
    with pytest.warns(velmora.VelmoraWarning, match=r"atom 1 \(Fex\): a negative displacement parameter"):
        fex((3, 3, 3, 90, 90, 90), 1, -2)()
    with pytest.warns(velmora.VelmoraNote, match="90 of 146 reflections are beyond reach"):
        iron().powder(wavelength=2.4, dmin=0.9)
    # Made errors by the filters (python -W error), they stop the call as themselves.
    for category, call in ((velmora.VelmoraWarning, lambda: velmora.read_answers(ir, tables=DATA, ions={"Irx": "Ir4"})),
                           (velmora.VelmoraNote, lambda: iron().powder(wavelength=2.4, dmin=0.9))):
        with warnings.catch_warnings():
            warnings.simplefilter("error", category)
            with pytest.raises(category):
                call()
    assert not issubclass(velmora.VelmoraNote, velmora.VelmoraWarning)


# (call, the exception, what its message starts with): each argument refused by name
REFUSALS = [
    (lambda: velmora.read_cif(3), TypeError, "path: give a str or os.PathLike"),
    (lambda: velmora.read_answers(os.path.join(SOURCE, "examples", "iron_bcc.txt"), tables=["data"]), TypeError,
     "tables: give a str or os.PathLike"),
    (lambda: velmora.read_cif("a\0b.cif"), ValueError, "path='a\\x00b.cif': a file name cannot hold a NUL byte"),
]


def iron():
    return velmora.Structure((2.8665,) * 3 + (90,) * 3, [("Fex", 0, 0, 0), ("Fex", 0.5, 0.5, 0.5)], tables=DATA)


# Structure.powder's arguments: (keyword arguments, the exception, what its message starts with)
POWDER_REFUSALS = [
    ({}, TypeError, "powder() needs wavelength (angstroms), source (a tube anode) or instrument"),
    ({"wavelength": 1.5, "source": "Cu"}, TypeError, "wavelength and source: give one of them"),
    ({"wavelength": "1.5"}, TypeError, "wavelength: give a wavelength in angstroms, or a list"),
    ({"wavelength": 1e-4}, ValueError, "wavelength=0.0001: must be from 0.001 to 1000 angstroms"),
    ({"wavelength": [1.5, (1.6, 0)]}, ValueError, "wavelength=[1.5, (1.6, 0)]: every wavelength and ratio must be"),
    ({"wavelength": [1.5, (1.6, 0.5, 1)]}, ValueError, "wavelength=(1.6, 0.5, 1): give (wavelength, ratio)"),
    ({"wavelength": float("nan")}, ValueError, "wavelength=nan: must be a finite number"),
    ({"source": "Xx"}, ValueError, "source='Xx': no such tube anode; one of Ag, Co, Cr, Cu, Fe, Mo"),
    ({"source": 29}, TypeError, "source: give a tube anode's name"),
    ({"wavelength": 1.5, "two_theta": (10, 200, 0.02)}, ValueError, "two_theta=(10, 200, 0.02): needs 0 <= FROM < TO"),
    ({"wavelength": 1.5, "two_theta": (169.9, 170, 3e-5)}, ValueError, "two_theta=(169.9, 170, 3e-05): STEP below"),
    ({"wavelength": 1.5, "two_theta": (10, 20)}, ValueError, "two_theta=(10, 20): give (from, to, step)"),
    ({"wavelength": 1.5, "fwhm": 0}, ValueError, "fwhm=0: must be from 0.0001 to 180 degrees"),
    ({"wavelength": 1.5, "fwhm": 0.2, "caglioti": (0, 0, 0.01)}, TypeError, "fwhm, caglioti and tch: give one"),
    ({"wavelength": 1.5, "tch": (0.01, -0.02)}, TypeError, "tch=(X, Y) needs caglioti=(U, V, W)"),
    ({"wavelength": 1.5, "caglioti": (0, 0, 0.01), "tch": (0, 0, 0.01, 0, 0.01)}, TypeError,
     "caglioti and tch=(U, V, W, X, Y): give U V W once"),
    ({"wavelength": 1.5, "caglioti": (0, 0, 0.01), "tch": (0.01, -0.02)}, ValueError,
     "tch=(0.01, -0.02): X and Y must not be below 0"),
    ({"wavelength": 1.5, "dmin": 0}, ValueError, "dmin=0: the smallest d must be above 0"),
    ({"instrument": 1}, TypeError, "instrument: give a str or os.PathLike"),
    ({"source": "Cu", "instrument": os.path.join(SOURCE, "tests", "powder", "answers", "inst_d1a.prm")}, TypeError,
     "source and instrument: "),
    ({"wavelength": 1.5, "absorption": -1}, ValueError, "absorption -1.0: mu R must be a number not below 0"),
    ({"wavelength": 1.5, "absorption": 11}, ValueError, "absorption 11.0: mu R must be at most 10"),
    ({"wavelength": 1.5, "absorption": "x"}, ValueError, "absorption x: give mu R (a number) or auto"),
    ({"wavelength": 1.5, "absorption": [1]}, TypeError, 'absorption: give a number (mu R) or "auto"'),
    ({"wavelength": 1.5, "absorption": "auto", "radius": 0.2}, ValueError, "absorption auto needs packing F"),
    ({"wavelength": 1.5, "packing": 0.5}, ValueError, "packing needs absorption auto"),
    ({"wavelength": 1.5, "absorption": "auto", "packing": 1.5, "radius": 0.2}, ValueError,
     "packing 1.5: the packing fraction must be above 0 and at most 1"),
]
REFUSALS += [(lambda kw=kw: iron().powder(**kw), exception, start) for kw, exception, start in POWDER_REFUSALS]
REFUSALS += [(lambda: iron().reflections(dmin=-1), ValueError, "dmin=-1: the smallest d must be above 0"),
             (lambda: iron().reflections(hkl=[[float("inf"), 0, 0]], unique=True), ValueError,
              "hkl: row 0 (inf 0 0): every index must be a finite number"),
             (lambda: iron().reflections(hkl=[[1, 0, 0], [0, 1e39, 0]]), ValueError, "hkl: row 1 (0 1e+39 0)"),
             (lambda: iron().reflections(hkl=[[0, 0, 0]]), ValueError, "hkl: row 0 (0 0 0): no reflection"),
             (lambda: iron().reflections(hkl=[[1e30, 0, 0]]), velmora.VelmoraError,
              "reflection 1e+30 0 0: its values are not finite numbers in single precision (d 0, |q| inf")]


def fex(cell=(3, 3, 3, 90, 90, 90), *values):
    return lambda: velmora.Structure(cell, [("Fex", 0, 0, 0) + values], tables=DATA).reflections(dmin=1)


# Values velmora-cif refuses in a file, refused as Structure's arguments
REFUSALS += [(call, velmora.VelmoraError, start) for call, start in [
    (fex((-1, 3, 3, 90, 90, 90)), "cell: a -1 is not a length above 0"),
    (fex((3, 3, 3, 0, 90, 90)), "cell: alpha 0 is not an angle between 0 and 180"),
    (fex((3, 3, 3, 30, 30, 90)), "cell: the angles 30 30 90 make no cell"),
    (fex((1e39, 3, 3, 90, 90, 90)), "cell: 1e+39 is beyond single precision"),
    (fex((3, 3, 3, 90, 90, 90), 1e30), "atom 1 (Fex): occupancy 1e+30: an occupancy is the fraction of the site"),
    (fex((3, 3, 3, 90, 90, 90), -1), "atom 1 (Fex): occupancy -1: an occupancy is the fraction of the site"),
    (fex((3, 3, 3, 90, 90, 90), 1, 0, (1e39, 0, 0)), "atom 1 (Fex) moment: 1e+39 is beyond single precision"),
    (fex((3, 3, 3, 90, 90, 90), 1, 0, (1e20, 0, 0)), "reflection -1 0 0: its values are not finite numbers"),
]]
REFUSALS += [
    (lambda: velmora.Structure((3, 3, 3, 90, 90, 90), [("Fex", "a", 0, 0)], tables=DATA), TypeError,
     "atom 1 x: give a number, not str"),
    (lambda: velmora.Structure((3, 3, 3, 90, 90, 90), [5], tables=DATA), TypeError, "atom 1: give (type, x, y, z"),
    (lambda: velmora.Structure((3, 3, 3, 90, 90, 90), [("Fex", 0, 0, 0, 1, 0, 2)], tables=DATA), TypeError,
     "atom 1 moment: give (moment, angle to x, angle to z), not int"),
    (lambda: velmora.read_answers(os.path.join(SOURCE, "examples", "iron_bcc.txt"), tables=DATA, magnetic_model=3),
     TypeError, 'magnetic_model: give "j0" or "dipole", not int'),
]


@pytest.mark.parametrize("call, exception, start", REFUSALS)
def test_argument_refused_by_name(call, exception, start):
    with pytest.raises(exception) as raised:
        call()
    assert str(raised.value).startswith(start)


# (where the module lies, where the tables lie, the folder taken; None: none, and every folder is named)
TABLE_PLACES = [
    ("build", None, "build/src/python/data"),
    ("prefix/lib/python3/dist-packages", "prefix/share/velmora/data", "prefix/share/velmora/data"),
    ("prefix/lib/python3/dist-packages", "work", "work"),
    ("prefix/lib/python3/dist-packages", "prefix/lib/python3/dist-packages/data", None),
]


@pytest.mark.parametrize("module, tables, taken", TABLE_PLACES)
def test_tables_found_in_the_working_directory_and_beside_the_module(tmp_path, module, tables, taken):
    folder = os.path.join(BUILD, "src", "python")
    if module != "build":
        folder = tmp_path / module
        os.makedirs(folder)
        shutil.copy(glob.glob(os.path.join(BUILD, "src", "python", "velmora*.so"))[0], folder)
    if tables:
        os.makedirs(tmp_path / tables, exist_ok=True)
        for table in glob.glob(os.path.join(DATA, "*_edited.txt")):
            shutil.copy(table, tmp_path / tables)
    os.makedirs(tmp_path / "work", exist_ok=True)
    script = ("import velmora\ntry: print(velmora.Structure((3, 3, 3, 90, 90, 90), [('Fex', 0, 0, 0)]).model['tables'])\n"
              "except velmora.VelmoraError as e: print(e)")
    out = subprocess.run([sys.executable, "-c", script], cwd=tmp_path / "work", env=dict(os.environ, PYTHONPATH=str(folder)),
                         capture_output=True, text=True, check=True).stdout.strip()
    if taken is None:
        assert out == f"velmora's tables are in none of {tmp_path / 'work'} {tmp_path / 'prefix/share/velmora/data'}" \
                      " (name their folder with tables=)"
    else:
        where = os.path.join(BUILD, "src", "python", "data") if module == "build" else str(tmp_path / taken)
        assert out == where


def test_label_of_bytes_beyond_utf8_as_the_answers_write_it(programs, tmp_path):
    with open(os.path.join(CASES, "nacl.cif"), "rb") as f:
        text = f.read().replace(b"\nNa1 Na1+", b"\nNa\xe91 Na1+")
    path = tmp_path / "label.cif"
    path.write_bytes(text)
    with pytest.warns(velmora.VelmoraWarning, match=r"written as _ \(atom Na\\xe91\)"):
        s = velmora.read_cif(path, tables=DATA)
    assert s.model["labels"] == "Na_1=Na1 Cl1=Cl1" and s.atoms[0].site == os.fsdecode(b"Na\xe91")
    printed = subprocess.run([programs["velmora-cif"], path, "--run", "--format", "json", "--dmin", "3", "--tables", DATA],
                             capture_output=True, check=True).stdout
    assert json.loads(printed.decode("utf-8"))["model"]["labels"] == s.model["labels"]
    (tmp_path / "o.xy").write_text("".join(f"{20 + i} {100 + i % 7 * 3}\n" for i in range(81)))
    subprocess.run([programs["velmora-powder"], path, "--wavelength", "1.5", "--observed", "o.xy", "--refine",
                    "scale,biso", "--fit-report", "f.json", "--tables", DATA], cwd=tmp_path, capture_output=True, check=True)
    names = [p["name"] for p in json.loads((tmp_path / "f.json").read_bytes().decode("utf-8"))["parameters"]]
    assert "site.Na_1.biso" in names
