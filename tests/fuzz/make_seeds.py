#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into OUTDIR/<target>/ from the whole-program cases (also
with compact tables whose rows each hold one repeat count), the shipped examples and
velmora-cif's cases. Usage: make_seeds.py OUTDIR"""
import hashlib, json, os, shutil, sys, tempfile

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
import run_cases  # noqa: E402  (the case runner's own table preparation)

KEYS = ("xray", "neutron", "magnetic")


def write(out, target, data):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    with open(os.path.join(out, target, hashlib.sha1(data).hexdigest()), "wb") as f:
        f.write(data)


def case_tables(folder, setup):
    with tempfile.TemporaryDirectory(prefix="velmora-seeds-") as work:
        run_cases.prepare_tables(folder, work, setup)
        paths = [os.path.join(work, run_cases.TABLES[k]) for k in KEYS]
        return [run_cases.read(p) if os.path.isfile(p) else b"\x1f" for p in paths]


def main():
    out = sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    default = [run_cases.read(os.path.join(REPO, "tests", "e2e", "tables", run_cases.TABLES[k])) for k in KEYS]
    small = [b"\n".join([t.split(b"\n")[0]] + [line.split()[0] + b" %d*1.5" % n for line in t.split(b"\n")[1:]
                                                 if line.split()]) + b"\n" for t, n in zip(default, (9, 1, 7))]
    cases = os.path.join(REPO, "tests", "e2e", "cases")
    for name in sorted(os.listdir(cases)):
        folder = os.path.join(cases, name)
        setup = json.loads(run_cases.read(os.path.join(folder, "case.json"), b"{}"))
        if "long_line" in setup:
            continue
        stdin, tables = run_cases.answers(folder, setup), case_tables(folder, setup)
        write(out, "fuzz_whole_run", b"\x1e".join(tables + [stdin]))
        write(out, "fuzz_whole_run", b"\x1e".join(small + [stdin]))
    data = [run_cases.read(os.path.join(REPO, "data", run_cases.TABLES[k])) for k in KEYS]
    for name in sorted(os.listdir(os.path.join(REPO, "examples"))):
        if name.endswith(".txt"):
            write(out, "fuzz_whole_run", b"\x1e".join(data + [run_cases.read(os.path.join(REPO, "examples", name))]))
    cif_cases = os.path.join(REPO, "tests", "cif", "cases")
    for name in sorted(os.listdir(cif_cases)):
        write(out, "fuzz_cif_conversion", run_cases.read(os.path.join(cif_cases, name)))
    for target in sorted(os.listdir(out)):
        print(f"{target}: {len(os.listdir(os.path.join(out, target)))} seeds")


if __name__ == "__main__":
    main()
