"""Helpers shared by the velmora-cif end-to-end tests: their common arguments, running the
converter (also with the reflections of an example answer file) and velmora."""
import argparse
import os
import subprocess
import tempfile


def arguments(description):
    """A parser for CIF --converter velmora-cif --velmora velmora --data DATA and more."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("cif")
    parser.add_argument("--converter", required=True)
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--data", required=True, help="folder holding velmora's three tables")
    return parser


def reflections_of(answer_path):
    """The h k l lines that end an answer file: the last line before them is their count."""
    with open(answer_path) as f:
        lines = [line.strip() for line in f if line.strip()]
    for count in range(len(lines)):
        start = len(lines) - count
        if lines[start - 1].split()[0] == str(count) and len(lines[start - 1].split()) == 1:
            if all(len(line.split()) == 3 for line in lines[start:]):
                return lines[start:]
    raise ValueError(f"{answer_path}: no reflection list at its end")


def convert(converter, cif, *args, cwd=None):
    """Runs velmora-cif; returns (status, stdout, stderr) as text."""
    run = subprocess.run([os.path.abspath(converter), cif, *args], capture_output=True, text=True,
                         cwd=cwd, timeout=120)
    return run.returncode, run.stdout, run.stderr


def convert_with_reflections_of(converter, cif, example, *args):
    """Runs velmora-cif on the CIF with the reflections of an example answer file (--hkl)."""
    with tempfile.TemporaryDirectory() as scratch:
        hkl = os.path.join(scratch, "reflections.hkl")
        with open(hkl, "w") as f:
            f.write("\n".join(reflections_of(example)) + "\n")
        return convert(converter, cif, "--hkl", hkl, *args)


def run_velmora(velmora, data, answers):
    """velmora's report for an answer text, run in the folder of the tables."""
    run = subprocess.run([os.path.abspath(velmora)], input=answers.encode(), cwd=data,
                         capture_output=True, timeout=120)
    if run.returncode != 0:
        raise RuntimeError(f"velmora ended with status {run.returncode}: {run.stderr.decode()}")
    return run.stdout.decode()
