#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from the end-to-end cases.

  make_seeds.py OUTDIR

OUTDIR/<target>/ receives one file per seed (named by its content's hash):

  fuzz_whole_run         for every case: its three table files, as the case runner
                         prepares them (a missing file or a folder becomes the byte
                         0x1F), and its answers, joined by the byte 0x1E; every case's
                         answers again with compact tables (the same labels, values
                         written with repeat counts); the shipped examples with data/
  fuzz_free_form_reader  the answers of every case behind a control prefix that reads
                         them with the dialogue's lists, and the start of each table
                         file behind one that reads its header and rows
  fuzz_fixed_text        the first lines of each table file and every case's answers
  fuzz_cif_conversion    every CIF of velmora-cif's cases (tests/cif/cases), the refused ones too

Cases that generate their answers (too large for seeds) are left out.
"""
import hashlib
import json
import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
E2E = os.path.join(REPO, "tests", "e2e")
sys.path.insert(0, E2E)
import run_case  # noqa: E402  (the case runner's own table preparation)

SEPARATOR = b"\x1e"
MISSING = b"\x1f"
KEYS = ("xray", "neutron", "magnetic")
STDIN = 0x00  # control byte 0 of the reader target: standard input
DATA_FILE = 0x01  # a data file
DIALOGUE = bytes([0, 1, 2, 2, 3, 1, 3, 3])  # lattice, count, atom, atom, moment, count, hkl, hkl
ROWS = {"xray": bytes([7, 4, 4, 4, 4, 4, 4, 4]), "neutron": bytes([7, 5, 5, 5, 5, 5, 5, 5]),
        "magnetic": bytes([7, 6, 6, 6, 6, 6, 6, 6])}
MAX_SEED = 1 << 16


def write(folder, data):
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def cases():
    root = os.path.join(E2E, "cases")
    for name in sorted(os.listdir(root)):
        folder = os.path.join(root, name)
        if not os.path.isdir(folder) or os.path.exists(os.path.join(folder, "generate.py")):
            continue
        setup = json.loads(run_case.read(os.path.join(folder, "case.json"), b"{}"))
        if "generate" in setup:
            continue
        yield folder, setup


def answers(folder, setup):
    path = os.path.join(folder, setup["stdin"]) if "stdin" in setup else os.path.join(folder, "stdin.txt")
    data = run_case.read(path, b"")
    if setup.get("crlf_stdin"):
        data = data.replace(b"\n", b"\r\n")
    return data


def case_tables(folder, setup):
    work = tempfile.mkdtemp(prefix="velmora-seeds-")
    try:
        run_case.prepare_tables(folder, work, setup)
        files = []
        for key in KEYS:
            path = os.path.join(work, run_case.TABLES[key])
            files.append(run_case.read(path) if os.path.isfile(path) else MISSING)
        return files
    finally:
        shutil.rmtree(work, ignore_errors=True)


def compact(table, reals):
    """The same labels with every row's values given by one repeat count."""
    lines = table.split(b"\n")
    rows = [line.split()[0] for line in lines[1:] if line.split()]
    return b"\n".join([lines[0]] + [label + b" %d*1.5" % reals for label in rows]) + b"\n"


def main():
    out = sys.argv[1]
    cif_cases = os.path.join(REPO, "tests", "cif", "cases")
    for name in sorted(os.listdir(cif_cases)):
        write(os.path.join(out, "fuzz_cif_conversion"), run_case.read(os.path.join(cif_cases, name)))

    for target in ("fuzz_whole_run", "fuzz_free_form_reader", "fuzz_fixed_text", "fuzz_cif_conversion"):
        shutil.rmtree(os.path.join(out, target), ignore_errors=True)
    whole = os.path.join(out, "fuzz_whole_run")
    reader = os.path.join(out, "fuzz_free_form_reader")
    fixed = os.path.join(out, "fuzz_fixed_text")

    default = [run_case.read(os.path.join(E2E, "tables", run_case.TABLES[k])) for k in KEYS]
    small = [compact(default[0], 9), compact(default[1], 1), compact(default[2], 7)]
    for key, table in zip(KEYS, default):
        write(reader, bytes([DATA_FILE]) + ROWS[key] + table[:4096])
        write(fixed, b"\n".join(table.split(b"\n")[:4]) + b"\n")

    for folder, setup in cases():
        stdin = answers(folder, setup)
        if len(stdin) > MAX_SEED:
            continue
        files = case_tables(folder, setup)
        write(whole, SEPARATOR.join(files + [stdin]))
        write(whole, SEPARATOR.join(small + [stdin]))
        write(reader, bytes([STDIN]) + DIALOGUE + stdin)
        write(fixed, stdin)
        for key, table in zip(KEYS, files):
            if table != MISSING and table != default[KEYS.index(key)]:
                write(reader, bytes([DATA_FILE]) + ROWS[key] + table[:4096])
                write(fixed, b"\n".join(table.split(b"\n")[:4]) + b"\n")

    data = [run_case.read(os.path.join(REPO, "data", run_case.TABLES[k])) for k in KEYS]
    examples = os.path.join(REPO, "examples")
    for name in sorted(os.listdir(examples)):
        if name.endswith(".txt"):
            write(whole, SEPARATOR.join(data + [run_case.read(os.path.join(examples, name))]))

    cif_cases = os.path.join(REPO, "tests", "cif", "cases")
    for name in sorted(os.listdir(cif_cases)):
        write(os.path.join(out, "fuzz_cif_conversion"), run_case.read(os.path.join(cif_cases, name)))

    for target in ("fuzz_whole_run", "fuzz_free_form_reader", "fuzz_fixed_text", "fuzz_cif_conversion"):
        print(f"{target}: {len(os.listdir(os.path.join(out, target)))} seeds")


if __name__ == "__main__":
    main()
