#!/usr/bin/env python3
"""Checks the reference tables shipped in data/ and that velmora reads them as meant: a header
line, 187 X-ray and neutron rows with the same labels in the same order, then the rows only the
companions read (Np, Pu, Am, each length followed by its isotope), at least 95 magnetic rows (the
first 49, and only they, also in velmora's X-ray rows), unique three-character labels, plain
decimal numbers, and spot values as printed in Int. Tables Vol. C (1992) Tables 6.1.1.4 and
4.4.5.1 and in Sears, Neutron News 3 (1992). velmora must load all three, know every one of its
X-ray labels and every usable magnetic label, and stop on an unusable one and on a row after its
own.
"""
import argparse, os, shutil, subprocess, sys, tempfile
from decimal import Decimal

NAMES = {"xray": "x-ray_coefficients_from_int_tables_edited.txt",
         "neutron": "neutron_bcoh_from_international_tables_edited.txt",
         "magnetic": "neutron_mag_from_international_tables_edited.txt"}
SHAPE = {"xray": (187, 9), "neutron": (187, 1), "magnetic": (95, 7)}  # rows velmora reads, numbers per row
BEYOND = ["Npx", "Np3", "Np4", "Np6", "Pux", "Pu3", "Pu4", "Pu6", "Amx"]  # X-ray and neutron rows after them
ISOTOPE = {"Np": "237Np", "Pu": "239Pu", "Am": "243Am"}
USABLE_MAGNETIC = 49
PRINTED = {
    "xray": {"Fe2": "11.0424 4.6538 7.3740 0.3053 4.1346 12.0546 0.4399 31.2809 1.0097",
             "Six": "6.2915 2.4386 3.0353 32.3337 1.9891 0.6785 1.5410 81.6937 1.1407",
             "Oxx": "3.0485 13.2771 2.2868 5.7011 1.5463 0.3239 0.8670 32.9089 0.2508",
             "Pu3": "35.8400 0.484938 22.7169 2.96118 13.5807 11.5331 5.66016 24.3992 13.1991"},
    "neutron": {"Fe2": "9.45", "Hxx": "-3.739", "Dxx": "6.671", "Mnx": "-3.73", "Vxx": "-0.3824", "Gdx": "6.5",
                "Np4": "10.55", "Pux": "7.7", "Amx": "8.3"},
    "magnetic": {"Fe3": "0.3972 13.2442 0.6295 4.9034 -0.0314 0.3496 0.0044",
                 "Mn2": "0.4220 17.6840 0.5948 6.0050 0.0043 -0.6090 -0.0219"},
}
failures = []


def expect(ok, what):
    if not ok:
        failures.append(what)


def check_files(data):
    tables = {}
    for key, name in NAMES.items():
        with open(os.path.join(data, name), "rb") as f:
            text = f.read().decode("ascii")
        lines = text.split("\n")
        rows = [(line.split()[0], line.split()[1:]) for line in lines[1:] if line.strip()]
        labels, (count, width) = [label for label, _ in rows], SHAPE[key]
        if key == "neutron":  # the rows after velmora's end in their isotope
            isotopes = [values.pop() for _, values in rows[count:]]
            expect(isotopes == [ISOTOPE[label.rstrip("x0123456789")] for label in labels[count:]], "isotopes")
        if key != "magnetic":
            expect(labels[count:] == BEYOND, f"{name}: rows after velmora's are {labels[count:]}")
            count += len(BEYOND)
        tables[key] = rows
        expect(lines[0].startswith("label ") and "see data/README.md" in lines[0], f"{name}: header")
        expect("\r" not in text and text.endswith("\n"), f"{name}: LF line ends")
        expect(len(rows) == count or (key == "magnetic" and len(rows) > count), f"{name}: {len(rows)} rows")
        expect(all(len(l) == 3 for l in labels) and len(set(labels)) == len(labels), f"{name}: labels")
        expect(all(len(v) == width and all(Decimal(x).is_finite() for x in v) for _, v in rows), f"{name}: numbers")
        for label, printed in PRINTED[key].items():
            shipped = dict(rows).get(label)
            expect(shipped and list(map(float, shipped)) == list(map(float, printed.split())),
                   f"{name}: row {label} is {shipped}, printed {printed}")
    xray = [label for label, _ in tables["xray"]]
    expect(xray == [label for label, _ in tables["neutron"]], "X-ray and neutron labels differ")
    usable = [label in xray[:SHAPE["xray"][0]] for label, _ in tables["magnetic"][:SHAPE["magnetic"][0]]]
    expect(usable == [True] * USABLE_MAGNETIC + [False] * (len(usable) - USABLE_MAGNETIC), "usable magnetic rows")
    return tables


def run_velmora(args, atoms, flag):
    lines = ["5 5 5 90 90 90", str(len(atoms))] + [f"{a} 0 0 0 1 0 {flag}" for a in atoms]
    lines += ["1 0 90"] * (len(atoms) * flag) + ["1", "1 0 0"]
    with tempfile.TemporaryDirectory(prefix="velmora-data-") as work:
        for name in NAMES.values():
            shutil.copy(os.path.join(args.data, name), work)
        run = subprocess.run(args.wrapper.split() + [os.path.abspath(args.velmora)], cwd=work, timeout=300,
                             input="\n".join(lines).encode() + b"\n", capture_output=True)
    return run.returncode, run.stdout.decode(errors="replace").replace("\r\n", "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--data", required=True)
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--wrapper", default="")
    parser.add_argument("--crlf", action="store_true", help="accepted; CR LF output is allowed")
    args = parser.parse_args()
    tables = check_files(args.data)
    xray = [label for label, _ in tables["xray"]]
    magnetic = [label for label, _ in tables["magnetic"]]
    for atoms, flag in ((xray[:SHAPE["xray"][0]], 0), (magnetic[:USABLE_MAGNETIC], 1)):
        status, out = run_velmora(args, atoms, flag)
        expect(status == 0 and "unknown" not in out and out.count("\n") > 20 and "mismatch" not in out,
               f"velmora does not compute with all of {atoms[0]}..{atoms[-1]}: {out[-300:]}")
    status, out = run_velmora(args, magnetic[USABLE_MAGNETIC:USABLE_MAGNETIC + 1], 1)
    expect(status == 1 and f" {magnetic[USABLE_MAGNETIC]} is unknown symbol\n" in out,
           "an unusable magnetic label is known, or its stop reports success")
    status, out = run_velmora(args, [BEYOND[0]], 0)
    expect(status == 1 and f" {BEYOND[0]} is unknown symbol\n" in out, "velmora reads a row after its own")
    print("\n".join(failures) or "the tables are as shipped and velmora reads them")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
