#!/usr/bin/env python3
"""velmora-cif and velmora-powder give the same answer to the same bad command line, path or
byte: each row of CASES runs both (velmora-powder also with --wavelength 1) and both must end
with status 1, nothing on standard output, and the same last error line, which holds the row's
text (the file's kind, "the CIF" or "the answers", written WHAT). A row with a Python call
also runs it against the module (with --python and --module), which must raise ValueError
holding the row's module text.

  same_answers.py --cif velmora-cif --powder velmora-powder [--python PY --module DIR]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

DATA = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "data")


def only_magnetic_table(folder):
    """The user's own magnetic table in the working directory, without the other two."""
    shutil.copy(os.path.join(DATA, "neutron_mag_from_international_tables_edited.txt"), folder)
    return [os.path.join(DATA, "..", "tests", "cif", "cases", "silicon.cif")]


# The shared options, with their Python counterparts where the module has one: name,
# arguments, text of the error line, and (call, text of the ValueError) for the module.
LANDE = "a Lande factor is a number above 0 (such as 2), at least 0.01 (a weight 2/g - 1 of <j2> up to 199)"
OPTION_CASES = [
    ("g_repeated", ["x", "--magnetic-model", "dipole", "--g", "Mn=2", "--g", "Mn=3"],
     "--g Mn=3: Mn is given twice; give each name once", None),
    ("g_not_positive", ["x", "--magnetic-model", "dipole", "--g", "Mn=-1"], "--g Mn=-1: " + LANDE,
     ("read_cif('x', magnetic_model='dipole', g={'Mn': -1})", LANDE)),
    ("g_whose_weight_overflows", ["x", "--magnetic-model", "dipole", "--g", "Mn=1e-320"], "--g Mn=1e-320: " + LANDE,
     ("read_cif('x', magnetic_model='dipole', g={'Mn': 1e-320})", LANDE)),
    ("g_weight_beyond_single_precision", ["x", "--magnetic-model", "dipole", "--g", "Mn=1e-30"],
     "--g Mn=1e-30: " + LANDE, ("read_cif('x', magnetic_model='dipole', g={'Mn': 1e-30})", LANDE)),
    ("g_not_a_number", ["x", "--magnetic-model", "dipole", "--g", "Mn=two"], "--g Mn=two: expected a number", None),
    ("g_without_name", ["x", "--magnetic-model", "dipole", "--g", "=2"], "--g =2: give NAME=G", None),
    ("g_without_dipole", ["x", "--g", "Mn=2"], "--g needs --magnetic-model dipole: the j0 model has no orbital",
     ("read_cif('x', g={'Mn': 2})", "the j0 model has no orbital part to weigh")),
    ("ion_without_value", ["x", "--ion", "Mn="], "--ion Mn=: give NAME=ION", None),
    ("ion_repeated", ["x", "--ion", "Mn=Mn2", "--ion", "Mn=Mn3"],
     "--ion Mn=Mn3: Mn is given twice; give each name once", None),
    ("model_unknown", ["x", "--magnetic-model", "quadrupole"], "--magnetic-model quadrupole: give j0 or dipole",
     ("read_cif('x', magnetic_model='quadrupole')", "give \"j0\" or \"dipole\"")),
    ("dmin_not_positive", ["x", "--dmin", "0"], "--dmin 0: the smallest d must be above 0", None),
    ("dmin_not_a_number", ["x", "--dmin", "1,5"], "--dmin 1,5: expected a number", None),
    ("tables_standard_input", ["x", "--tables", "-"], "--tables -: give the folder of the tables", None),
]

# name, arguments (from the scratch folder f), text of the error line
CASES = [
    ("one_table_in_working_directory", only_magnetic_table,
     "holds neutron_mag_from_international_tables_edited.txt but not"),
    ("repeated_option", lambda f: ["x", "--tables", "a", "--tables", "b"], "--tables: given twice (a and b)"),
    ("missing_value", lambda f: ["x", "--tables"], "--tables needs a value"),
    ("option_as_value", lambda f: ["x", "--tables", "--bogus"], "--tables needs a value"),
    ("empty_value", lambda f: ["x", "--tables="], "--tables needs a value"),
    ("unknown_option", lambda f: ["x", "--bogus=1"], "unknown option --bogus"),
    ("flag_with_value", lambda f: ["--version=2"], "--version takes no value"),
    ("two_operands", lambda f: ["x", "y"], "at a time: x and y"),
    ("device", lambda f: ["/dev/zero"], "/dev/zero: cannot read WHAT: not a regular file or a pipe"),
    ("folder", lambda f: [f], ": cannot read WHAT: Is a directory"),
    ("missing_file", lambda f: [os.path.join(f, "none")], "none: cannot read WHAT: No such file or directory"),
    ("control_bytes_in_name", lambda f: [b"a\x1b[2J\nb\x7f\xff"],
     r"a\x1b[2J\x0ab\x7f\xff: cannot read WHAT: No such file or directory"),
    ("control_bytes_in_option", lambda f: ["x", "--tables", "t", "--tables", "\r"],
     r"--tables: given twice (t and \x0d)"),
]


def last_error(program, arguments, cwd):
    done = subprocess.run([program, *arguments], cwd=cwd, capture_output=True, timeout=60)
    lines = [line for line in done.stderr.split(b"\n") if b": error: " in line]
    error = lines[-1].split(b": error: ", 1)[1].decode("latin-1") if lines else ""
    return done.returncode, done.stdout, error.replace("the CIF", "WHAT").replace("the answers", "WHAT") \
        .replace("one CIF", "one FILE").replace("one answer file", "one FILE")


def module_error(python, module, call, cwd):
    """The ValueError text of a call to the module, or what went otherwise."""
    script = ("import sys, velmora\ntry:\n    velmora." + call + "\nexcept ValueError as e:\n"
              "    print('ValueError:', e)\nelse:\n    print('no error')\n")
    done = subprocess.run([python, "-c", script], cwd=cwd, capture_output=True, timeout=60, text=True,
                          env={**os.environ, "PYTHONPATH": module, "PYTHONDONTWRITEBYTECODE": "1"})
    return (done.stdout + done.stderr).strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cif", required=True)
    parser.add_argument("--powder", required=True)
    parser.add_argument("--python")
    parser.add_argument("--module")
    args = parser.parse_args()
    failed = 0
    rows = [(name, lambda f, a=arguments: a, text, module) for name, arguments, text, module in OPTION_CASES]
    rows += [(name, arguments, text, None) for name, arguments, text in CASES]
    for name, arguments, text, module in rows:
        with tempfile.TemporaryDirectory() as folder:
            given = arguments(folder)
            cif = last_error(os.path.abspath(args.cif), given, folder)
            powder = last_error(os.path.abspath(args.powder), given + ["--wavelength", "1"], folder)
            said = module_error(args.python, os.path.abspath(args.module), module[0], folder) \
                if module and args.module else None
        problems = [f"{program}: status {status}, {len(out)} bytes out, error {error!r}"
                    for program, (status, out, error) in (("velmora-cif", cif), ("velmora-powder", powder))
                    if status != 1 or out or text not in error]
        if said is not None and (not said.startswith("ValueError:") or module[1] not in said):
            problems.append(f"module: {said!r}")
        if cif[2] != powder[2]:
            problems.append(f"different answers: {cif[2]!r} and {powder[2]!r}")
        print(f"{name}: " + ("same" if not problems else "; ".join(problems)))
        failed += bool(problems)
    print(f"{len(rows) - failed} of {len(rows)} cases the same")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
