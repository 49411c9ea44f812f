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


def powder_seeds(out):
    """velmora-powder's hostile rows (their files as answers.txt and observed.xy) and the examples."""
    import shlex
    here = os.path.join(REPO, "tests", "powder")
    files = {"answers.txt": os.path.join(REPO, "examples", "iron_bcc.txt")}
    files.update({name: os.path.join(here, "answers", name) for name in os.listdir(os.path.join(here, "answers"))})
    rows = [line.split("|")[0] for line in open(os.path.join(here, "refusals.txt")) if line.strip()[:1] not in "#"]
    rows += [f"{name} --wavelength 1.5 --fwhm 0.5 --csv p.csv --plot p.svg --radiation both --label-peaks 3"
             for name in sorted(os.listdir(os.path.join(REPO, "examples"))) if name.endswith(".txt")]
    files.update({name: os.path.join(REPO, "examples", name) for name in os.listdir(os.path.join(REPO, "examples"))})
    for row in rows:
        words = shlex.split(row)
        if not words or words[0] not in files:
            continue
        observed = words[words.index("--observed") + 1] if "--observed" in words else None
        answers = run_cases.read(files[words[0]])
        measured = run_cases.read(files[observed]) if observed in files else b""
        words = ["answers.txt"] + ["observed.xy" if w == observed else w for w in words[1:]]
        write(out, "fuzz_powder_run", "\n".join(words).encode() + b"\x1e" + answers + b"\x1e" + measured)


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
    powder_seeds(out)
    cif_cases = os.path.join(REPO, "tests", "cif", "cases")
    for name in sorted(os.listdir(cif_cases)):
        write(out, "fuzz_cif_conversion", run_cases.read(os.path.join(cif_cases, name)))
    for target in sorted(os.listdir(out)):
        print(f"{target}: {len(os.listdir(os.path.join(out, target)))} seeds")


if __name__ == "__main__":
    main()
