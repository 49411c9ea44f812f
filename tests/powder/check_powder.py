#!/usr/bin/env python3
"""Whole-program checks of velmora-powder, one concern per command (README.md).

  check_powder.py COMMAND --powder velmora-powder --velmora velmora --source SOURCE_TREE
"""
import argparse, csv, glob, io, math, os, shutil, subprocess, sys, tempfile

SKIP = 77
args = None


def powder(*options, cwd=None):
    tables = [] if "--tables" in options else ["--tables", os.path.join(args.source, "data")]
    run = subprocess.run([args.powder, *map(str, options), *tables],
                         capture_output=True, text=True, cwd=cwd, timeout=120)
    return run.returncode, run.stdout, run.stderr


def reflections(answers, wavelength, *options):
    status, out, err = powder(answers, "--wavelength", wavelength, *options)
    assert status == 0, err
    return list(csv.DictReader(line for line in io.StringIO(out) if not line.startswith("#")))


def example(name):
    return os.path.join(args.source, "examples", name + ".txt")


def generator():
    """tests/powder/measured_patterns.py, or None when cctbx or numpy is missing to run it."""
    try:
        import cctbx, numpy  # noqa: F401 (whether the generator can run)
    except ImportError:
        return None
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import measured_patterns
    return measured_patterns


def off_its_last_digit(written, value):
    """Whether a CIF's number, written with or without its esd (0.18749(12)), stands further from
    value than half a unit of its last digit."""
    digits = written.split("(")[0]
    last = 10.0 ** -(len(digits.split(".")[1]) if "." in digits else 0)
    return abs(float(digits) - value) > 0.51 * last


def check_report():
    import struct
    fields = [("h", 0, 5), ("k", 5, 10), ("l", 10, 15), ("d_angstrom", 15, 22), ("Fn2_barn", 50, 58),
              ("Fm2_barn", 58, 66), ("FX2_electron2", 66, 78)]
    problems = []
    for answers in sorted(glob.glob(os.path.join(args.source, "examples", "*.txt"))):
        with open(answers, "rb") as f:
            report = subprocess.run([args.velmora], stdin=f, capture_output=True, text=True,
                                    cwd=os.path.join(args.source, "data")).stdout
        rows = [line for line in report.split("\n") if len(line) == 78]
        got = reflections(answers, 0.1, "--answer-hkl")
        if len(got) != len(rows):
            problems.append(f"{answers}: {len(got)} reflections, velmora printed {len(rows)}")
        for row, line in zip(got, rows):
            for column, first, last in fields:  # the single-precision value, rounded as velmora prints it
                value = struct.unpack("f", struct.pack("f", float(row[column])))[0]
                text, printed = f"{value:{last - first}.{1 if column in 'hkl' else 3}f}", line[first:last]
                if text != printed and not (set(printed) == {"*"} and len(text) > last - first):
                    problems.append(f"{answers} {line[:15]}: {column} {text.strip()}, velmora printed {printed}")
    return problems


def check_formulas():
    try:
        import numpy as np
    except ImportError:
        return None
    problems = []
    # silicon's X-rays with a polarised beam (the fraction 0.8 perpendicular), MnO's unpolarised
    for name, wavelength, polarised in (("silicon", 1.5406, 0.8), ("mno_antiferromagnet", 2.4, 0.5)):
        path = os.path.join(args.source, "tests", "cross_check", "references", name + ".csv")
        lines = [line for line in open(path) if not line.startswith("#")]
        ref = {tuple(float(r[c]) for c in "hkl"): r for r in csv.DictReader(lines)}
        beam = ["--polarisation", polarised] if polarised != 0.5 else []
        got = reflections(example(name), wavelength, "--answer-hkl", *beam)
        hkl = [tuple(float(r[c]) for c in "hkl") for r in got]
        d, fn2, fm2, fx2 = (np.array([float(ref[h][c]) for h in hkl]) for c in ("d", "Fn2", "Fm2", "FX2"))
        s = wavelength / (2 * d)
        two_theta = np.degrees(2 * np.arcsin(s))
        lorentz = 1 / (s ** 2 * np.sqrt(1 - s ** 2))
        cos2 = np.cos(np.radians(two_theta))
        want = {"two_theta_deg": two_theta, "I_nuclear_barn": fn2 * lorentz, "I_magnetic_barn": fm2 * lorentz,
                "I_xray_electron2": fx2 * lorentz * (polarised + (1 - polarised) * cos2 ** 2)}
        for column, expected in want.items():
            value = np.array([float(r[column]) for r in got])
            # single precision: some units of 2^-24 of the value, and of the largest one for cancellations
            tolerance = 1e-5 * np.abs(expected) + 1e-6 * np.max(np.abs(expected))
            if column == "two_theta_deg":
                tolerance = np.full(len(expected), 1e-4)
            for h, v, e, t in zip(hkl, value, expected, tolerance):
                if not abs(v - e) <= t:
                    problems.append(f"{name} {h}: {column} {v}, the formula gives {e}")
        if len(got) != len(ref) - ((0.0, 0.0, 0.0) in ref):
            problems.append(f"{name}: {len(got)} reflections within reach, the reference has {len(ref)}")
    return problems


def pattern(answers, *options, cwd):
    width = [] if {"--fwhm", "--caglioti", "--tch"} & set(options) else ["--fwhm", 0.3]
    status, _, err = powder(answers, *width, "--csv", "pattern.csv", "--answer-hkl", *options, cwd=cwd)
    assert status == 0, err
    with open(os.path.join(cwd, "pattern.csv")) as f:
        rows = list(csv.DictReader(line for line in f if not line.startswith("#")))
    return rows, err


def area(rows, column):
    """Trapezoid rule over the grid."""
    x = [float(r["two_theta_deg"]) for r in rows]
    y = [float(r[column]) for r in rows]
    return sum((x[i + 1] - x[i]) * (y[i] + y[i + 1]) / 2 for i in range(len(x) - 1))


def check_profile():
    problems = []
    iron = example("iron_bcc")
    peaks = reflections(iron, 1.5, "--answer-hkl")
    intensity = lambda p, *kinds: sum(float(p["I_" + kind]) for kind in kinds)
    with tempfile.TemporaryDirectory() as scratch:
        rows, _ = pattern(iron, "--wavelength", 1.5, "--two-theta", "20:175:0.005", cwd=scratch)
        for column, kinds in (("neutron_nuclear", ["nuclear_barn"]), ("neutron_magnetic", ["magnetic_barn"]),
                              ("neutron_total", ["nuclear_barn", "magnetic_barn"]),
                              ("xray", ["xray_electron2"])):
            want = sum(intensity(p, *kinds) for p in peaks)
            if abs(area(rows, column) - want) > 1e-5 * want:
                problems.append(f"{column}: area {area(rows, column)}, integrated intensities {want}")
        # The two peaks at 2theta of 110: a range that starts k FWHM after them holds
        # erfc(k FWHM / (sigma sqrt 2)) / 2 of their area, also when the centre is outside.
        centre = float(peaks[2]["two_theta_deg"])
        both = sum(intensity(p, "nuclear_barn", "magnetic_barn") for p in peaks[2:4])
        fwhm_per_sigma = 2 * math.sqrt(2 * math.log(2))
        for k in (-1.0, -0.5, 0.0, 0.5, 1.0):
            grid = f"{centre + 0.3 * k:.6f}:55:0.001"
            rows, _ = pattern(iron, "--wavelength", 1.5, "--two-theta", grid, cwd=scratch)
            want = both * math.erfc(k * fwhm_per_sigma / math.sqrt(2)) / 2
            if abs(area(rows, "neutron_total") - want) > 2e-4 * both:
                problems.append(f"from {k} FWHM after a peak: area {area(rows, 'neutron_total')}, not {want}")
        # The width: the height of a Gaussian of unit area is 1 / (sigma sqrt(2 pi)).
        t = math.tan(math.radians(centre / 2))
        for option, value, fwhm in (("--fwhm", "0.25", 0.25),
                                    ("--caglioti", "0.4,-0.3,0.2", math.sqrt(0.4 * t * t - 0.3 * t + 0.2))):
            rows, _ = pattern(iron, "--wavelength", 1.5, option, value,
                              "--two-theta", f"{centre - 1:.6f}:{centre + 1:.6f}:0.0005", cwd=scratch)
            height = max(float(r["neutron_total"]) for r in rows)
            got = both / (height * math.sqrt(2 * math.pi)) * fwhm_per_sigma
            if abs(got - fwhm) > 1e-4 * fwhm:
                problems.append(f"{option} {value}: FWHM {got}, not {fwhm}")
        # Pseudo-Voigt: Gaussian width from U V W, Lorentzian X tan + Y / cos, mixed as Thompson, Cox and
        # Hastings give; the area is still the integrated intensity, the width measured at half height.
        tch = (0.01, -0.005, 0.01, 0.04, 0.03)
        theta = math.radians(centre / 2)
        g = math.sqrt(tch[0] * t * t + tch[1] * t + tch[2])
        lw = tch[3] * t + tch[4] / math.cos(theta)
        gamma = (g ** 5 + 2.69269 * g ** 4 * lw + 2.42843 * g ** 3 * lw ** 2 + 4.47163 * g ** 2 * lw ** 3 +
                 0.07842 * g * lw ** 4 + lw ** 5) ** 0.2
        q = lw / gamma
        eta = 1.36603 * q - 0.47719 * q * q + 0.11116 * q ** 3
        rows, _ = pattern(iron, "--wavelength", 1.5, "--tch", ",".join(map(str, tch)),
                          "--two-theta", f"{centre - 6:.6f}:{centre + 6:.6f}:0.0005", cwd=scratch)
        # All the area but the Lorentzian tails beyond the 6 degrees each side of the grid (the tails
        # of the next peaks, 20 degrees away, add some 2e-4 of it).
        want = both * (1 - eta + eta * 2 / math.pi * math.atan(2 * 6 / gamma))
        if abs(area(rows, "neutron_total") - want) > 1e-3 * both:
            problems.append(f"pseudo-Voigt: area {area(rows, 'neutron_total')}, expected {want}")
        x = [float(r["two_theta_deg"]) for r in rows]
        y = [float(r["neutron_total"]) for r in rows]
        top = max(y)
        above = [i for i, v in enumerate(y) if v >= top / 2]
        edge = lambda i, j: x[i] + (top / 2 - y[i]) * (x[j] - x[i]) / (y[j] - y[i])
        width = edge(above[-1], above[-1] + 1) - edge(above[0] - 1, above[0])
        if abs(width - gamma) > 2e-3 * gamma:
            problems.append(f"pseudo-Voigt: FWHM {width}, Thompson-Cox-Hastings gives {gamma}")
        # 6 angstrom reaches no reflection of iron (largest d 2.87): an empty pattern, and a note.
        rows, err = pattern(iron, "--wavelength", 6, "--reflections", "peaks.csv", "--two-theta", "0:180:1",
                            cwd=scratch)
        with open(os.path.join(scratch, "peaks.csv")) as f:
            empty = len(f.readlines()) == 1
        if "no reflection is within reach" not in err or not empty or len(rows) != 181 or \
                any(float(v) != 0 for r in rows for k, v in r.items() if k != "two_theta_deg"):
            problems.append(f"6 angstrom: expected an empty pattern and a note, got {err!r}")
    return problems


def check_fit():
    """Patterns of standard materials made apart from velmora (measured_patterns.py: cctbx, numpy,
    Poisson noise of a fixed seed), fitted as a user would: scale within 1%, zero shift within
    0.005 degrees, Rwp within 2% of the generating model's; the Cu lines where Bragg's law puts them;
    a background of some 15 counts not pulled low by weights from the counts."""
    made = generator()
    if made is None:
        return None
    import json
    problems, fits = [], {}
    with tempfile.TemporaryDirectory() as scratch:
        # counts without sigma (X-ray, Kalpha1 + Kalpha2, Gaussian); a titled .dat (pseudo-Voigt,
        # hexagonal); neutrons with sigma
        for name in ("silicon", "corundum", "mno_nuclear"):
            path, truth = made.write(name, scratch)
            cif = os.path.join(scratch, name + ".cif")
            outputs = ["--csv", "fit.csv", "--plot", "fit.svg", "--label-peaks", 3] if name == "silicon" else []
            status, _, err = powder(cif, *made.velmora_options(name), "--observed", path, "--fit-report", "fit.json",
                                    "--reflections", "peaks.csv", *outputs, cwd=scratch)
            if status != 0:
                problems.append(f"{name}: status {status}, {err}")
                continue
            with open(os.path.join(scratch, "fit.json")) as f:
                fit = fits[name] = json.load(f)
            if not {"scale", "zero_shift", "background", "Rp", "Rwp", "Rexp", "chi2", "scale_means"} <= set(fit):
                problems.append(f"{name}: fit report keys {sorted(fit)}")
                continue
            if abs(fit["scale"] / truth["velmora_scale"] - 1) > 0.01 or abs(fit["zero_shift"] - truth["zero_shift"]) > 0.005 \
                    or abs(fit["Rwp"] / truth["model_Rwp"] - 1) > 0.02 or abs(fit["Rexp"] / truth["Rexp"] - 1) > 0.005:
                problems.append(f"{name}: fitted {fit}, made {truth}")
            with open(os.path.join(scratch, "peaks.csv")) as f:
                peaks = list(csv.DictReader(line for line in f if not line.startswith("#")))
            for p in peaks if name == "silicon" else []:
                wavelength = float(p["wavelength_angstrom"])
                bragg = math.degrees(2 * math.asin(wavelength / (2 * float(p["d_angstrom"]))))
                if not any(abs(wavelength - w) < 1e-6 for w in made.TUBES["Cu"]) or \
                        abs(float(p["two_theta_deg"]) - bragg) > 1e-4:
                    problems.append(f"silicon {p['h']} {p['k']} {p['l']}: 2theta {p['two_theta_deg']} at "
                                    f"{wavelength} angstrom, Bragg's law gives {bragg}")
        with open(os.path.join(scratch, "fit.csv")) as f:
            rows = list(csv.DictReader(line for line in f if not line.startswith("#")))
        fitted = sum(float(r["background"]) for r in rows) / len(rows)
        made_background = json.load(open(os.path.join(scratch, "silicon.json")))["background_mean"]
        if abs(fitted / made_background - 1) > 0.03:
            problems.append(f"silicon: mean background {fitted}, made {made_background}")
        if any(abs(float(r["observed"]) - float(r["calculated"]) - float(r["difference"]))
               > 1e-9 * max(1.0, float(r["observed"])) for r in rows):
            problems.append("silicon: the fit's CSV does not hold observed, calculated and their difference")
        rp = sum(abs(float(r["difference"])) for r in rows) / sum(abs(float(r["observed"])) for r in rows)
        if "silicon" in fits and abs(fits["silicon"]["Rp"] / rp - 1) > 1e-6:
            problems.append(f"silicon: Rp {fits['silicon']['Rp']}, the CSV's columns give {rp}")
        problems += [f"silicon: {problem}" for problem in svg_problems(os.path.join(scratch, "fit.svg"),
                                                                       ["observed", "calculated", "θ − 0.002 tanθ"])]
        if args.drawing == "yes":
            problems += [f"silicon: {problem}" for problem in marks_on_values(os.path.join(scratch, "fit.svg"), rows)]
            # Against d, with the fitted zero shift (some 0.037 degrees) taken off the measured angles.
            status, _, err = powder(os.path.join(scratch, "silicon.cif"), *made.velmora_options("silicon"), "--observed",
                                    os.path.join(scratch, "silicon.xy"), "--axis", "d", "--plot", "d.svg",
                                    "--reflections", "d.csv", "--label-peaks", 8, cwd=scratch)
            with open(os.path.join(scratch, "d.csv")) as f:
                peaks = list(csv.DictReader(line for line in f if not line.startswith("#")))
            problems += [f"silicon against d: {problem}" for problem in
                         ([f"status {status}, {err}"] if status != 0 else
                          svg_problems(os.path.join(scratch, "d.svg"), ["d (Å)"]) +
                          ticks_at_d(os.path.join(scratch, "d.svg"), peaks, made.TUBES["Cu"][0]))]
        # A neutron fit with nuclear and magnetic tick rows and differences in the thousands, the
        # pattern velmora's own at FWHM 0.3 fitted at 0.36: the difference panel's numbers and their
        # factor stay clear of the rows' labels.
        if args.drawing == "yes":
            status, out, err = powder(example("iron_bcc"), "--wavelength", 1.5, "--fwhm", 0.3, "--xy", "-", cwd=scratch)
            with open(os.path.join(scratch, "iron.xy"), "w") as f:
                f.writelines(f"{x} {3e4 * float(y) + 10}\n" for x, y in (line.split() for line in out.splitlines()))
            status, _, err = powder(example("iron_bcc"), "--wavelength", 1.5, "--fwhm", 0.36, "--observed", "iron.xy",
                                    "--plot", "iron.svg", "--label-peaks", 6, cwd=scratch)
            problems += [f"iron fitted at FWHM 0.36: {problem}" for problem in
                         ([f"status {status}, {err}"] if status != 0 else
                          svg_problems(os.path.join(scratch, "iron.svg"), ["nuclear", "magnetic", "observed"]))]
        # Made with a shift of 0.037 degrees and searched within 0.02: the edge, and a warning.
        status, _, err = powder(os.path.join(scratch, "silicon.cif"), *made.velmora_options("silicon"), "--observed",
                                os.path.join(scratch, "silicon.xy"), "--zero-range", 0.02, "--fit-report", "edge.json",
                                cwd=scratch)
        with open(os.path.join(scratch, "edge.json")) as f:
            if status != 0 or json.load(f)["zero_shift"] > 0.02 or "edge of the range searched" not in err:
                problems.append(f"silicon within 0.02 degrees: status {status}, {err}")
        # An instrument file's zero (3.7 centidegrees) centres the search: found within 0.02 of it.
        with open(os.path.join(scratch, "si.prm"), "w") as f:
            f.write("INS   BANK      1\nINS   HTYPE   PXCR\n"
                    "INS  1 ICONS  1.540598  1.544426       3.7         0     0.500    0     0.500\n")
        status, _, err = powder(os.path.join(scratch, "silicon.cif"), *made.velmora_options("silicon"), "--observed",
                                os.path.join(scratch, "silicon.xy"), "--zero-range", 0.02, "--instrument", "si.prm",
                                "--fit-report", "centred.json", cwd=scratch)
        with open(os.path.join(scratch, "centred.json")) as f:
            zero = json.load(f)["zero_shift"]
        if status != 0 or abs(zero - fits["silicon"]["zero_shift"]) > 1e-4 or "edge of the range" in err:
            problems.append(f"silicon searched around the file's zero: status {status}, zero {zero}, {err}")
    return problems


def check_instrument():
    """A GSAS instrument file gives the pattern that its values give as options, converted here
    from GSAS's definitions: sigma^2 = GU tan^2 + GV tan + GW + GP / cos^2 in centidegrees^2
    (FWHM^2 = 8 ln 2 sigma^2), a Lorentzian LX / cos + LY tan in centidegrees, KRATIO the second
    line's intensity, POLA = cos^2 2theta_m with IPOLA 1 (Azaroff). D1A's profile function 1 and
    a Cu tube's function 3 (cu_lab.prm: GU GV GW GP LX LY = 2 -1 3 0.5 4 2, POLA 0.8)."""
    import re
    problems, here = [], os.path.join(os.path.dirname(os.path.abspath(__file__)), "answers")
    k = 8 * math.log(2) / 1e4
    d1a = [354.031 * k, -760.404 * k, 651.592 * k]
    gu, gv, gw, gp, lx, ly = 2.0, -1.0, 3.0, 0.5, 4.0, 2.0
    cases = [("inst_d1a.prm", ["--wavelength", "1.909", "--caglioti", ",".join(map(repr, d1a))]),
             ("cu_lab.prm", ["--wavelength", "1.540598,1.544426:0.5", "--radiation", "xray",
                             "--polarisation", repr(1 / (1 + 0.8)),
                             "--tch", ",".join(map(repr, [(gu + gp) * k, gv * k, (gw + gp) * k, ly / 100, lx / 100]))])]
    with tempfile.TemporaryDirectory() as scratch:
        for name, options in cases:
            written = {}
            for run, given in (("file", ["--instrument", os.path.join(here, name)]), ("options", options)):
                status, _, err = powder(example("iron_bcc"), *given, "--csv", "p.csv", "--reflections", "r.csv",
                                        cwd=scratch)
                if status != 0:
                    problems.append(f"{name} {run}: status {status}, {err}")
                    continue
                written[run] = [open(os.path.join(scratch, f)).read() for f in ("p.csv", "r.csv")]
                if run == "file":
                    said = re.search(r"λ = (\S+) Å.*U V W(?: X Y)? = ([^\n]+)", err)
                    values = [float(v) for v in said.group(2).split()] if said else []
                    want = [1.909] + d1a if name == "inst_d1a.prm" else [1.540598]
                    if not said or any(abs(v - w) > 1e-6 * abs(w) for v, w in zip([float(said.group(1))] + values, want)):
                        problems.append(f"{name}: the note says {err!r}, the file gives {want}")
            if len(written) == 2 and written["file"] != written["options"]:
                problems.append(f"{name}: the pattern or the reflections differ from those of {' '.join(options)}")
    return problems


def check_formats():
    """Each format read as its layout says: the synthetic files of pattern_files.py (2theta,
    intensity, and sigma where the file gives it) and the two real GSAS files beside the source
    tree (points, first and last 2theta as published; sigma sqrt(I / counters))."""
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import pattern_files
    problems = []

    def read_back(path, scratch):
        status, _, err = powder(example("iron_bcc"), "--wavelength", 1.5406, "--observed", path, "--csv", "fit.csv",
                                cwd=scratch)
        if status != 0:
            problems.append(f"{path}: status {status}, {err}")
            return [], err
        with open(os.path.join(scratch, "fit.csv")) as f:
            return list(csv.DictReader(line for line in f if not line.startswith("#"))), err

    with tempfile.TemporaryDirectory() as scratch:
        for name, (x, y, sigma) in pattern_files.write_all(scratch).items():
            rows, err = read_back(name, scratch)
            columns = [("two_theta_deg", x, 1e-9), ("observed", y, 1e-9)] + ([("sigma", sigma, 1e-4)] if sigma else [])
            for column, want, tolerance in columns:
                got = [float(r[column]) for r in rows]
                if len(got) != len(want) or any(abs(g - w) > tolerance * max(1.0, abs(w)) for g, w in zip(got, want)):
                    problems.append(f"{name}: {column} {got[:3]}... ({len(got)}), written {want[:3]}... ({len(want)})")
                    break
            if (name in ("esd.gsa", "v4.raw")) != ("not fitted" in err):
                problems.append(f"{name}: the note of other banks or ranges is wrong: {err!r}")
        shared = os.path.join(args.source, "..", "shared", "powder-data")
        if not os.path.isdir(shared):
            return problems
        for name, points, first, last in (("PBSO4.CWN", 2919, 10.0, 155.9), ("NIST660CBI.gsas", 8378, 15.0066, 125.0)):
            rows, _ = read_back(os.path.join(shared, name), scratch)
            x = [float(r["two_theta_deg"]) for r in rows]
            if len(x) != points or abs(x[0] - first) > 1e-9 or abs(x[-1] - last) > 0.002:
                problems.append(f"{name}: {len(x)} points from {x[:1]} to {x[-1:]}")
            # PbSO4's sixth record on counts two counters a point: sigma sqrt(I / 2)
            if name == "PBSO4.CWN" and len(rows) > 60 and \
                    abs(float(rows[60]["sigma"]) - math.sqrt(float(rows[60]["observed"]) / 2)) > 1e-9:
                problems.append(f"{name} point 61: sigma {rows[60]['sigma']} for {rows[60]['observed']} over 2 counters")
    return problems


# Refinements from a wrong start on patterns made apart from velmora: the material, the factor
# its CIF's cell is off by, how far the starting widths are off, and what is refined.
REFINEMENTS = [
    ("lab6", 1.002, 1.3, "scale,background,zero,cell,profile"),
    ("corundum", 0.998, 0.8, "scale,background,zero,cell,profile"),
    ("mno_nuclear", 1.003, 1.25, "scale,background,zero,cell,profile"),
    ("lab6_displaced", 1.0, 1.0, "scale,background,zero,displacement,cell,profile"),
    ("lab6_silicon", 1.002, 1.3, "scale,background,zero,cell,profile"),
    ("lab6_leaning", 1.002, 1.3, "scale,background,zero,cell,profile,asymmetry"),
    ("lab6_axial", 1.002, 1.3, "scale,background,zero,cell,profile,axial"),
    # Le Bail's extraction from a wrong structure (each atom given the next one's element, B = 3)
    ("corundum", 0.998, 0.8, "scale,background,zero,cell,profile --le-bail"),
    # the structure from an older determination's positions, every B 1
    ("anglesite", 1.001, 1.2, "all", [("Pb", "Pb", 0.1882, 0.25, 0.167, 1), ("S", "S", 0.063, 0.25, 0.686, 1),
                                      ("O1", "O", -0.095, 0.25, 0.6, 1), ("O2", "O", 0.181, 0.25, 0.543, 1),
                                      ("O3", "O", 0.085, 0.026, 0.806, 1)]),
    ("anglesite_vacant", 1.0, 1.0, "scale,background,zero,cell,profile,xyz:O3,biso:O3,occupancy:O3",
     [("Pb", "Pb", 0.18749, 0.25, 0.16719, 1.416), ("S", "S", 0.06541, 0.25, 0.68340, 0.420),
      ("O1", "O", 0.90767, 0.25, 0.59529, 1.987), ("O2", "O", 0.19376, 0.25, 0.54321, 1.471),
      ("O3", "O", 0.085, 0.03, 0.805, 1.0, 1.0)]),
    ("corundum", 0.998, 0.8, "scale,background,zero,cell,profile,xyz,biso",
     [("Al1", "Al", 0, 0, 0.355, 0.5), ("O1", "O", 0.31, 0, 0.25, 0.5)]),
    # every B 0.25 below the made one's: an overall B makes it up
    ("corundum", 0.998, 0.8, "scale,background,zero,cell,profile,overall-biso",
     [("Al1", "Al", 0, 0, 0.35216, 0.03), ("O1", "O", 0.30624, 0, 0.25, 0.08)]),
    # anisotropic displacements refined from isotropic ones, under the sites' symmetry (U11 = U22, U13 = U23 = 0)
    ("rutile", 1.001, 1.0, "scale,background,zero,cell,profile,uaniso",
     [("Ti1", "Ti", 0, 0, 0, 0.43), ("O1", "O", 0.30478, 0.30478, 0, 0.39)],
     {"Ti1": (0.0054, 0.0054, 0.0054, 0, 0, 0), "O1": (0.0049, 0.0049, 0.0049, 0, 0, 0)}),
]


def check_refine():
    """Every refined parameter comes back within 3 esd of the value the pattern was made with
    (the cell, zero, displacement, widths, asymmetry, the sites' positions, B and occupancies refined
    from other starting values; the scale within 1%, as cctbx's form factors are not
    velmora's), and Rwp within 2% of the making model's; tied edges equal their free one. A
    second phase (--phase) comes back with its own scale and cell; with --le-bail the cell and
    widths come back from a wrong structure, and the scale is held."""
    made = generator()
    if made is None:
        return None
    import json
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        for name, off, widths, groups, *start_atoms in REFINEMENTS:
            m = made.MATERIALS[name]
            path, truth = made.write(name, scratch)
            start = [v * off for v in m["cell"][:3]] + list(m["cell"][3:])
            groups, _, le_bail = groups.partition(" ")
            atoms = start_atoms[0] if start_atoms else m["atoms"]
            start_u = start_atoms[1] if len(start_atoms) > 1 else None
            if le_bail:
                atoms = [(label, atoms[(j + 1) % len(atoms)][1], x, y, z, 3.0)
                         for j, (label, _, x, y, z, _) in enumerate(atoms)]
            with open(os.path.join(scratch, "start.cif"), "w") as f:
                f.write(made.cif_text(name, start, atoms, start_u))
            options = made.velmora_options(name)
            options[-1] = ",".join(str(v * widths) for v in m["profile"][1])
            expected = {}
            if "admixture" in m:
                other = made.MATERIALS[m["admixture"][0]]
                with open(os.path.join(scratch, "phase.cif"), "w") as f:
                    # an impurity's published cell, 0.1% off the sample's
                    f.write(made.cif_text(m["admixture"][0], [v * 0.999 for v in other["cell"][:3]] +
                                          list(other["cell"][3:])))
                options += ["--phase", "phase.cif"]
                expected["phase.2.cell.a"] = other["cell"][0]
            if le_bail:
                options.append(le_bail)
            plot = ["--plot", "fit.svg"] if name == "lab6" and args.drawing == "yes" else []
            status, out, err = powder("start.cif", *options, "--observed", path, "--refine", groups,
                                      "--fit-report", "fit.json", *(["--refined-cif", "refined.cif"] if start_atoms else []),
                                      *plot, cwd=scratch)
            if status != 0:
                problems.append(f"{name}: status {status}, {err}")
                continue
            with open(os.path.join(scratch, "fit.json")) as f:
                fit = json.load(f)
            got = {p["name"]: p for p in fit["parameters"]}
            if plot:  # the title gives the widths the refinement ended at, not those it started from
                shape = " ".join(f"{got[f'profile.{k}']['value']:.4g}" for k in "UVWXY")
                problems += [f"{name}: {p}" for p in svg_problems(os.path.join(scratch, "fit.svg"),
                                                                  [f"pseudo-Voigt U V W X Y = {shape}"])]
            for key, made_with in (("scale", "velmora_scale"), ("phase.2.scale", "phase_velmora_scale")):
                if le_bail and key in got and got[key]["refined"]:
                    problems.append(f"{name}: {key} refined with --le-bail, whose intensities carry it")
                # (refined beside the B's, with which it correlates, the scale may lie 3 esd off)
                if made_with in truth and not le_bail and abs(got[key]["value"] / truth[made_with] - 1) > 0.01 and \
                        abs(got[key]["value"] - truth[made_with]) > 3 * got[key]["esd"]:
                    problems.append(f"{name}: {key} {got[key]['value']}, made with {truth[made_with]}")
            expected |= {"zero": m["zero"], "displacement": m.get("displacement", 0),
                        **{f"cell.{k}": v for k, v in zip(("a", "b", "c"), m["cell"])},
                        **{f"profile.{k}": v for k, v in zip("UVWXY", m["profile"][1])},
                        **{f"asymmetry.P{k}": v for k, v in enumerate(m.get("asymmetry", (0,) * 4), 1)},
                        **({"axial.S_L": m["axial"][0], "axial.H_L": m["axial"][1]} if "axial" in m else {})}
            for a in m["atoms"] if start_atoms else []:
                expected |= {f"site.{a[0]}.{k}": v for k, v in zip(("x", "y", "z", "biso", "occ"), a[2:6] + (made.occupancy(a),))}
            for label, u in m.get("uaniso", {}).items() if start_u else []:
                expected |= {f"site.{label}.u{ij}": v for ij, v in zip(("11", "22", "33", "12", "13", "23"), u)}
                expected.pop(f"site.{label}.biso", None)  # B_eq, no parameter of its own
            if "overall-biso" in groups:
                expected["biso.overall"] = m["atoms"][0][5] - start_atoms[0][0][5]
            if start_atoms and not any(k.startswith(("site.", "biso.")) and got[k]["refined"] for k in got):
                problems.append(f"{name}: no site parameter refined")
            for key, value in expected.items():
                if key not in got and key.startswith("site."):
                    continue  # a coordinate the site's symmetry fixes, or a site left alone
                p = got[key]
                off = p["value"] - value
                if key.startswith("site.") and key[-2:] in (".x", ".y", ".z"):
                    off -= round(off)  # the same position a cell away
                if (p["refined"] or "follows" in p) and abs(off) > 3 * p["esd"] + 1e-9 * abs(value):
                    problems.append(f"{name}: {key} {p['value']}({p['esd']}), made with {value}")
            if not fit["converged"] or abs(fit["Rwp"] / truth["model_Rwp"] - 1) > 0.02:
                problems.append(f"{name}: converged {fit['converged']}, Rwp {fit['Rwp']}, made {truth['model_Rwp']}")
            if "cell.a" not in out:
                problems.append(f"{name}: no table of refined values on standard output: {out!r}")
            if start_atoms and "all" not in groups:
                problems += read_back(name, scratch, options, path, got, fit["Rwp"])
    return problems + own_pattern_problems()


# A structure's own computed pattern, refined from its own values, stays at them: the refinement
# recomputes the structure factors with the corrections the pattern was made with (each line's
# f' and f'', an absorber's b'', an isotope). (structure, options, parameters refined)
OWN_PATTERNS = [
    ("answers/nickel_oxide.cif", ["--source", "Cu"], "scale,biso"),
    ("answers/nickel_oxide.cif", ["--source", "Cu", "--dispersion", "none"], "scale,biso"),
    ("../cif/cases/absorber_natural_length.cif", ["--wavelength", "2.4"], "scale,biso"),
    ("../cif/cases/absorber_natural_length.cif", ["--wavelength", "2.4", "--isotope", "Gd=160Gd"], "scale,biso"),
]


def own_pattern_problems():
    import json
    problems = []
    here = os.path.dirname(os.path.abspath(__file__))
    with tempfile.TemporaryDirectory() as scratch:
        for structure, options, refined in OWN_PATTERNS:
            path = os.path.join(here, structure)
            case = f"{structure} {' '.join(options)}"
            shape = [*options, "--fwhm", "0.1", "--two-theta", "20:150:0.01"]
            status, _, err = powder(path, *shape, "--xy", "own.xy", cwd=scratch)
            shape.remove("--two-theta"), shape.remove("20:150:0.01")
            status2, _, err2 = powder(path, *shape, "--observed", "own.xy", "--refine", refined,
                                      "--fit-report", "own.json", "--refined-cif", "own.cif", cwd=scratch)
            if status or status2:
                problems.append(f"{case}: status {status}, {status2}: {err} {err2}")
                continue
            with open(os.path.join(scratch, "own.json")) as f:
                fit = json.load(f)
            # the report states what the structure factors were computed with
            model = fit["model"]
            stated = model.get("neutron_lengths", "") if "--wavelength" in options else model.get("dispersion")
            meant = ("Gd=160Gd" if "--isotope" in options else "Gd 6.5000 -18.4472i") if "--wavelength" in options \
                else ("none" if "--dispersion" in options else "cromer-liberman")
            if meant not in stated:
                problems.append(f"{case}: the report's model {model} does not say {meant}")
            # and the refined CIF the f' and f'' of the first line (Cu K-alpha1), as gemmi gives them
            with open(os.path.join(scratch, "own.cif")) as f:
                rows = [line.split() for line in f if line.startswith(("Ni ", "O "))]
            if model.get("dispersion") == "cromer-liberman":
                import gemmi
                for symbol, fp, fpp, *_ in rows:
                    want = gemmi.cromer_liberman(z=gemmi.Element(symbol).atomic_number, energy=gemmi.hc / 1.540598)
                    if abs(float(fp) - want[0]) > 1e-4 or abs(float(fpp) - want[1]) > 1e-4 or len(rows) != 2:
                        problems.append(f"{case}: the refined CIF gives {symbol} f' f'' {fp} {fpp}, gemmi {want}")
            elif rows:
                problems.append(f"{case}: the refined CIF gives f' and f'' {rows}, computed without")
            moved = [(p["name"], p["value"]) for p in fit["parameters"] if p["refined"] and p["name"] != "scale"]
            if fit["Rwp"] > 5e-4 or abs(fit["scale"] - 1) > 1e-5 or not moved or \
                    any(abs(v - {"Ni1": 0.35, "O1": 0.55, "Gd1": 0.4, "B1": 0.5}[n.split(".")[1]]) > 1e-4
                        for n, v in moved):
                problems.append(f"{case}: refined from its own pattern to Rwp {fit['Rwp']}, scale {fit['scale']}, "
                                f"{moved}")
    return problems


def read_back(name, scratch, options, path, got, rwp):
    """The refined CIF holds the refined values (to their esd's last digit) and, read as the start
    with the refined peak widths, fits the pattern as the refinement did."""
    import json, re
    problems = []
    with open(os.path.join(scratch, "refined.cif")) as f:
        text = f.read()
    rows = re.split(r"\n(?:_pd_proc|loop_)", text.split("_atom_site_B_iso_or_equiv\n")[1])[0].splitlines()
    for row in rows:
        label, _, *values = row.split()
        for key, written in zip(("x", "y", "z", "occ", "biso"), values):
            p = got.get(f"site.{label}.{key}")
            if p and off_its_last_digit(written, p["value"]):
                problems.append(f"{name}: refined.cif writes site.{label}.{key} {written}, refined {p['value']}")
    written_rwp = [line.split()[1] for line in text.splitlines() if line.startswith("_pd_proc_ls_prof_wR_factor ")]
    if not written_rwp or abs(float(written_rwp[0]) / rwp - 1) > 1e-6:
        problems.append(f"{name}: refined.cif gives Rwp {written_rwp}, refined {rwp}")
    # the anisotropic displacements to their last digit; velmora computes with their B_eq unless they
    # are refined, which from the refined values moves them no further
    aniso = text.split("_atom_site_aniso_U_23\n")[1:]
    for row in aniso[0].split("\n_pd_proc")[0].split("\nloop_")[0].splitlines() if aniso else []:
        label, *values = row.split()
        for key, written in zip(("u11", "u22", "u33", "u12", "u13", "u23"), values):
            p = got.get(f"site.{label}.{key}")
            if p and off_its_last_digit(written, p["value"]):
                problems.append(f"{name}: refined.cif writes site.{label}.{key} {written}, refined {p['value']}")
    again_refined = ["--refine", "scale,background,zero,uaniso"] if aniso else []
    widths = ",".join(str(got[f"profile.{k}"]["value"]) for k in "UVWXY")
    status, _, err = powder("refined.cif", *options[:-1], widths, "--observed", path, "--fit-report", "again.json",
                            *again_refined, cwd=scratch)
    if status != 0:
        return problems + [f"{name}: refined.cif read back: status {status}, {err}"]
    with open(os.path.join(scratch, "again.json")) as f:
        again = json.load(f)["Rwp"]
    if abs(again / rwp - 1) > 0.005:
        problems.append(f"{name}: refined.cif read back fits at Rwp {again}, refined {rwp}")
    return problems


def silicon_ranges(m, widths=15):
    """2theta ranges over each silicon peak of an admixture (Kalpha1 to Kalpha2, widened by `widths`
    FWHM of the material's profile each side), from Bragg's law and the generator's own families."""
    import measured_patterns as made
    phase, _ = made.admixed(m)
    d, multiplicity, f2, _ = made.families(phase)
    strength = multiplicity * f2
    u, v, w, x, y = m["profile"][1]
    ranges = set()
    for spacing in d[strength > 1e-4 * strength.max()]:
        s = [wavelength / (2 * spacing) for wavelength, _ in made.lines(m)[0]]
        if max(s) >= 1:
            continue
        first, last = (math.degrees(2 * math.asin(v_)) + m["zero"] for v_ in (min(s), max(s)))
        t, c = math.tan(math.radians(first / 2)), math.cos(math.radians(first / 2))
        fwhm = math.sqrt(u * t * t + v * t + w) + x * t + y / c
        if first - widths * fwhm < m["range"][1]:
            ranges.add((round(first - widths * fwhm, 3), round(last + widths * fwhm, 3)))
    return sorted(ranges)


def difference_in_bands(path):
    """The shaded bands of each panel (grouped by their lower edge: SVG's y runs up the page here),
    and the points of the difference curve (its colour) drawn inside a band of the difference panel."""
    import collections, xml.etree.ElementTree as ET
    svg = "{http://www.w3.org/2000/svg}"
    lines = list(ET.parse(path).getroot().iter(svg + "polyline"))
    points = lambda line: [tuple(map(float, p.split(","))) for p in line.get("points").split()]
    bands = collections.defaultdict(list)  # by lower edge; the legend's box is a band of its own
    for line in lines:
        if line.get("fill", "").upper() == "#E4E4E4":
            band = points(line)
            bands[min(y for _, y in band)].append(band)
    lower = bands[min(bands)]  # the difference panel, at the page's foot
    drawn = [p for line in lines if line.get("stroke", "").upper() == "#0F6E3C" and line.get("fill") == "none"
             for p in points(line)]
    inside = [(x, y) for x, y in drawn for band in lower
              if min(bx for bx, _ in band) + 1 < x < max(bx for bx, _ in band) - 1 and
              min(by for _, by in band) <= y <= max(by for _, by in band)]
    return sorted(len(group) for group in bands.values()), inside


# A magnetic structure's pattern made apart from velmora (measured_patterns.py: cctbx's nuclear
# and numpy's magnetic structure factors) at the material's moments, then refined from other
# moments: the material, the sites' starting moments (along a/|a|, b/|b|, c/|c|), the groups,
# and what comes back (within 3 esd; a held value within 0.01; a component made at 0 within
# 0.25 Bohr magnetons, as |F|^2, even in it, leaves a small one's estimate off nought).
MOMENT_REFINEMENTS = [
    ("lamno3", {"Mn1": (3.0, 0, 0)}, "scale,background,zero,moments",
     {"moment.Mn1.mx": 3.65, "moment.Mn1.my": 0, "moment.Mn1.mz": 0, "moment.Mn1.size": 3.65}),
    ("lamno3", {"Mn1": (3.0, 0, 0)}, "scale,background,zero,moment-sizes", {"moment.Mn1.size": 3.65}),
    # a component held by name stays at its start, not the 0.1 a free one starts from
    ("lamno3", {"Mn1": (3.0, 0, 0)}, "scale,background,zero,moments --fix moment.Mn1.mz",
     {"moment.Mn1.mx": 3.65, "moment.Mn1.mz": 0}),
    # a moment on a three-fold axis, its components tied; a mixed site's beside it
    ("magnetite", {"FeA": (-2.2, -2.2, -2.2), "FeB2": (3.2, 3.2, 3.2)}, "scale,background,zero,moments:FeA,FeB2",
     {"moment.FeA.mx": -2.8867513, "moment.FeA.mz": -2.8867513, "moment.FeA.size": 5, "moment.FeB2.size": 5}),
]


def check_moments():
    """Moments refined under their magnetic site symmetry come back to the moments the pattern was made
    with, each within 3 esd; a size from its components with the esd their covariance gives, a tied
    component following its free one; the size alone refined with the direction kept; the refined
    magnetic CIF read back and fitted again; the refined plot's magnetic ticks and names."""
    made = generator()
    if made is None:
        return None
    import json
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        for name, starts, groups, expected in MOMENT_REFINEMENTS:
            case = f"{name} {groups}"
            path, _ = made.write(name, scratch)
            moments = dict(made.MATERIALS[name]["moments"], **starts)
            with open(os.path.join(scratch, "start.mcif"), "w") as f:
                f.write(made.cif_text(name, moments=moments))
            groups, *fixing = groups.split(" ")
            options = made.velmora_options(name)
            # the first case's plot: a magnetic tick row and the strongest peaks named, 0 1 0 the magnetic one
            plot = ["--plot", "fit.svg", "--label-peaks", 8] if not problems and name == "lamno3" else []
            status, out, err = powder("start.mcif", *options, "--observed", path, "--refine", groups, *fixing,
                                      "--fit-report", "fit.json", "--refined-cif", "refined.mcif", *plot, cwd=scratch)
            if status != 0:
                problems.append(f"{case}: status {status}, {err}")
                continue
            if plot:
                problems += [f"{case}: {p}" for p in svg_problems(os.path.join(scratch, "fit.svg"),
                                                                   ["nuclear", "magnetic", "0 1 0", "1 1 1"])]
            fit = json.load(open(os.path.join(scratch, "fit.json")))
            got = {p["name"]: p for p in fit["parameters"]}
            # The refined magnetic CIF: each moment as refined to its last digit, and the same fit.
            written = open(os.path.join(scratch, "refined.mcif")).read()
            rows = written.split("_atom_site_moment.crystalaxis_z\n")[-1].split("\n_pd_proc")[0].splitlines()
            for row in rows:
                label, *components = row.split()
                size = got.get(f"moment.{label}.size", {})
                for key, text in zip(("mx", "my", "mz"), components):
                    p = got.get(f"moment.{label}.{key}")
                    if (p and off_its_last_digit(text, p["value"])) or \
                            (size.get("refined") and float(text.split("(")[0]) != 0 and "(" not in text):
                        problems.append(f"{case}: refined.mcif writes {label} {key} {text}, refined {p or size}")
            status, _, err = powder("refined.mcif", *options, "--observed", path, "--fit-report", "again.json",
                                    cwd=scratch)
            again = json.load(open(os.path.join(scratch, "again.json")))["Rwp"] if status == 0 else None
            if again is None or abs(again / fit["Rwp"] - 1) > 0.005:
                problems.append(f"{case}: refined.mcif fits at Rwp {again}, the refinement at {fit['Rwp']}: {err}")
            for key, value in expected.items():
                p = got.get(key)
                if p is None:
                    problems.append(f"{case}: no {key} among {sorted(got)}")
                    continue
                allowed = 0.01 if p["esd"] == 0 else max(3 * p["esd"], 0.25 if value == 0 else 0)
                if abs(p["value"] - value) > allowed:
                    problems.append(f"{case}: {key} {p['value']}({p['esd']}), made with {value}")
            for key in fixing[1::2]:
                if got.get(key, {}).get("refined", True) or got[key]["esd"] != 0:
                    problems.append(f"{case}: {key} refined though fixed: {got.get(key)}")
            for key, p in got.items():
                if key.endswith(".size") and "follows" in p:
                    parts = [got[n.strip()]["value"] for n in p["follows"].strip("|").split(",")]
                    if p["esd"] <= 0 or (len(parts) == 1 and abs(abs(parts[0]) - p["value"]) > 1e-9):
                        problems.append(f"{case}: {key} {p}, from {parts}")
            if "moment.FeA.mz" in got:
                # on the three-fold axis: mx my mz alike, and the size sqrt(3) |mx| with sqrt(3) its esd
                if got["moment.FeA.mz"].get("follows") != "moment.FeA.mx" or \
                        abs(got["moment.FeA.size"]["esd"] / (3 ** 0.5 * got["moment.FeA.mx"]["esd"]) - 1) > 0.01:
                    problems.append(f"{case}: {got['moment.FeA.mz']}, {got['moment.FeA.size']}")
            if "moment-sizes" in groups and any(n.endswith((".mx", ".my", ".mz")) for n in got):
                problems.append(f"{case}: components refined beside the size: {sorted(got)}")
    return problems


def check_exclude():
    """LaB6 holding 0.6 of silicon's pattern (lab6_silicon), refined with the LaB6 phase alone as a
    user who does not know the impurity would: with the silicon peaks' ranges left out, every
    refined parameter comes back within 3 esd of the value the pattern was made with, the scale
    within 1%, Rwp within 2% of the making model's and Rexp within 0.5% of the generator's over the
    points kept (the R factors count those alone); without them chi2 is ten times as large and the
    cell's esd three times. The note counts the points left out, the report names the ranges, the
    CSV is finite at every point and the plot's difference is not drawn inside the shaded ranges.
    The fit alone (scale, zero, background) of the structure as made gives the same scale within 1%
    and zero shift within 0.005 degrees."""
    made = generator()
    if made is None:
        return None
    import numpy as np
    import json, re
    problems, fits = [], {}
    m = made.MATERIALS["lab6_silicon"]
    ranges = silicon_ranges(m)
    with tempfile.TemporaryDirectory() as scratch:
        path, _ = made.write("lab6_silicon", scratch)
        with open(os.path.join(scratch, "start.cif"), "w") as f:
            f.write(made.cif_text("lab6", [v * 1.002 for v in m["cell"][:3]] + list(m["cell"][3:])))
        options = made.velmora_options("lab6_silicon")
        options[-1] = ",".join(str(v * 1.3) for v in m["profile"][1])
        excluded = [word for a, b in ranges for word in ("--exclude", f"{a}:{b}")]
        drawn = ["--plot", "fit.svg"] if args.drawing == "yes" else []
        refined = ["start.cif", *options, "--observed", path, "--refine", "scale,background,zero,cell,profile"]
        # the fit alone, of the structure as it was made
        fitted = ["lab6_silicon.cif", *made.velmora_options("lab6_silicon"), "--observed", path, *excluded]
        for run, given in (("excluded", refined + excluded + ["--csv", "fit.csv"] + drawn), ("whole", refined),
                           ("fitted", fitted)):
            status, _, err = powder(*given, "--fit-report", run + ".json", cwd=scratch)
            if status != 0:
                return [f"{run}: status {status}, {err}"]
            with open(os.path.join(scratch, run + ".json")) as f:
                fits[run] = json.load(f)
            fits[run]["note"] = err
        x, counts, scale, model = made.make("lab6_silicon")
        kept = ~np.any([(x >= a) & (x <= b) for a, b in ranges], axis=0)
        sigma2 = np.maximum(counts, 1)
        rwp, rexp = made.agreement(counts[kept], sigma2[kept], model[kept], 2 + 6)
        fit = fits["excluded"]
        got = {p["name"]: p for p in fit["parameters"]}
        expected = {"zero": m["zero"], "cell.a": m["cell"][0], **{f"profile.{k}": v for k, v in zip("UVWXY", m["profile"][1])}}
        for key, value in expected.items():
            if abs(got[key]["value"] - value) > 3 * got[key]["esd"]:
                problems.append(f"excluded: {key} {got[key]['value']}({got[key]['esd']}), made with {value}")
        if abs(got["scale"]["value"] / made.velmora_scale("lab6_silicon", scale) - 1) > 0.01 or \
                abs(fit["Rwp"] / rwp - 1) > 0.02 or abs(fit["Rexp"] / rexp - 1) > 0.005:
            problems.append(f"excluded: scale {got['scale']['value']}, Rwp {fit['Rwp']}, Rexp {fit['Rexp']}; "
                            f"made with {made.velmora_scale('lab6_silicon', scale)}, Rwp {rwp}, Rexp {rexp} over the points kept")
        fit = fits["fitted"]
        if abs(fit["scale"] / made.velmora_scale("lab6_silicon", scale) - 1) > 0.01 or \
                abs(fit["zero_shift"] - m["zero"]) > 0.005 or abs(fit["Rwp"] / rwp - 1) > 0.02:
            problems.append(f"the fit alone: scale {fit['scale']}, zero {fit['zero_shift']}, Rwp {fit['Rwp']}; made with "
                            f"{made.velmora_scale('lab6_silicon', scale)}, {m['zero']}, Rwp {rwp} over the points kept")
        fit = fits["excluded"]
        whole = {p["name"]: p for p in fits["whole"]["parameters"]}
        if not (fits["whole"]["chi2"] > 10 * fit["chi2"] and whole["cell.a"]["esd"] > 3 * got["cell.a"]["esd"]):
            problems.append(f"without --exclude: chi2 {fits['whole']['chi2']}, cell.a esd {whole['cell.a']['esd']}; "
                            f"with it {fit['chi2']}, {got['cell.a']['esd']}")
        if "excluded" in fits["whole"] or [tuple(r) for r in fit.get("excluded", [])] != ranges:
            problems.append(f"the report's ranges: {fit.get('excluded')}, given {ranges}; without: {fits['whole'].get('excluded')}")
        said = re.search(r"; (\d+) of (\d+) points left out \(--exclude ", fit["note"])
        if not said or (int(said[1]), int(said[2])) != (int(np.sum(~kept)), len(x)) or "left out" in fits["whole"]["note"]:
            problems.append(f"the note: {fit['note']!r}, {np.sum(~kept)} of {len(x)} points are in the ranges")
        with open(os.path.join(scratch, "fit.csv")) as f:
            rows = list(csv.DictReader(line for line in f if not line.startswith("#")))
        if len(rows) != len(x) or not all(math.isfinite(float(v)) for r in rows for v in r.values()):
            problems.append(f"the CSV: {len(rows)} rows, not all finite, for {len(x)} points")
        if drawn:
            problems += svg_problems(os.path.join(scratch, "fit.svg"), ["excluded from the fit"])
            bands, inside = difference_in_bands(os.path.join(scratch, "fit.svg"))
            if bands != [1, len(ranges), len(ranges)] or inside:  # the legend's box, and each panel's bands
                problems.append(f"the plot: bands {bands} (legend, panels) for {len(ranges)} ranges; "
                                f"difference drawn inside them at {inside[:3]}")
    return problems


def check_sources():
    """Every line's peaks where Bragg's law puts them, with its ratio of the single-line intensity."""
    problems = []
    iron = example("iron_bcc")
    single = {w: reflections(iron, w) for w in ("1.5", "1.6")}
    both = reflections(iron, "1.5,1.6:0.5")
    for w, ratio in (("1.5", 1.0), ("1.6", 0.5)):
        lines = [p for p in both if p["wavelength_angstrom"] == w]
        if len(lines) != len(single[w]):
            problems.append(f"{w} angstrom: {len(lines)} peaks, alone {len(single[w])}")
        for p, alone in zip(lines, single[w]):
            bragg = math.degrees(2 * math.asin(float(w) / (2 * float(p["d_angstrom"]))))
            if abs(float(p["two_theta_deg"]) - bragg) > 1e-4 or \
                    abs(float(p["I_nuclear_barn"]) - ratio * float(alone["I_nuclear_barn"])) > 1e-6 * float(alone["I_nuclear_barn"]):
                problems.append(f"{w} angstrom {p['h']} {p['k']} {p['l']}: 2theta {p['two_theta_deg']} (Bragg {bragg}),"
                                f" I {p['I_nuclear_barn']}, alone {alone['I_nuclear_barn']} times {ratio}")
    status, out, _ = powder(iron, "--source", "Cu")
    rows = list(csv.DictReader(line for line in io.StringIO(out) if not line.startswith("#")))
    waves = sorted({float(p["wavelength_angstrom"]) for p in rows})
    if status != 0 or len(waves) != 2 or not 1.5 < waves[0] < waves[1] < 1.55:
        problems.append(f"--source Cu: lines {waves}")
    # f' and f'' are those of each line's own wavelength: K-alpha2's |FX|^2 as that wavelength alone gives it.
    alone = {(p["h"], p["k"], p["l"]): p["FX2_electron2"] for p in reflections(iron, "1.544426", "--radiation", "xray")}
    second = [p for p in rows if float(p["wavelength_angstrom"]) == waves[-1]]
    if not second or any(alone[(p["h"], p["k"], p["l"])] != p["FX2_electron2"] for p in second):
        problems.append("--source Cu: K-alpha2's |FX|^2 is not that of its wavelength alone")
    return problems


def check_lists():
    """The cell's every reflection by default; an answer file's own list warned about when partial or short."""
    problems = []
    silicon = example("silicon")
    family = lambda peaks, *hkls: sum(float(p["I_xray_electron2"]) for p in peaks
                                      if sorted(abs(int(float(p[c]))) for c in "hkl") in [sorted(h) for h in hkls])
    listed, full = reflections(silicon, 1.5406, "--answer-hkl"), reflections(silicon, 1.5406)
    # The list holds one of each family: 8 equivalents of 1 1 1, 12 of 2 2 0.
    want = family(listed, (2, 2, 0)) * 12 / (family(listed, (1, 1, 1)) * 8)
    got = family(full, (2, 2, 0)) / family(full, (1, 1, 1))
    if abs(got - want) > 1e-5 * want:
        problems.append(f"silicon: 220/111 {got}, with multiplicities {want}")
    # A triclinic cell: the list is every h k l with d >= dmin, by the metric written out here.
    import numpy as np
    a, b, c, al, be, ga = 4.1, 5.3, 6.7, *np.radians([78, 95, 103])
    g = np.array([[a * a, a * b * np.cos(ga), a * c * np.cos(be)], [a * b * np.cos(ga), b * b, b * c * np.cos(al)],
                  [a * c * np.cos(be), b * c * np.cos(al), c * c]])
    hkl = np.array([(h, k, l) for h in range(-9, 10) for k in range(-9, 10) for l in range(-9, 10)])
    d = 1 / np.sqrt(np.einsum("ni,ij,nj->n", hkl, np.linalg.inv(g), hkl).clip(1e-30))
    want = {tuple(h) for h, dh in zip(hkl.tolist(), d) if dh >= 1.2 and any(h)}
    got = {tuple(int(float(p[x])) for x in "hkl") for p in reflections(
        os.path.join(os.path.dirname(os.path.abspath(__file__)), "answers", "triclinic.txt"), 1.5, "--dmin", 1.2)}
    if got != want:
        problems.append(f"triclinic list to d = 1.2: {len(got)} reflections, {len(want)} wanted, "
                        f"{sorted(got ^ want)[:4]} in one only")
    for options, words in (([silicon, "--wavelength", 1.5406, "--answer-hkl", "--two-theta", "20:100:0.01"],
                            ["lack equivalents under the structure's Laue group (48 operations"]),
                           ([example("iron_bcc"), "--wavelength", 1.0, "--answer-hkl", "--two-theta", "20:170:0.01"],
                            ["reflections beyond the list's last are missing"]),
                           ([silicon, "--wavelength", 1.5406, "--two-theta", "20:100:0.01"], []),
                           # An index too large for an integer is listed but takes no part in the checks.
                           ([os.path.join(os.path.dirname(os.path.abspath(__file__)), "answers", "huge_index.txt"),
                             "--wavelength", 1.5406, "--answer-hkl"], ["18 of 18 listed reflections lack"])):
        with tempfile.TemporaryDirectory() as scratch:
            status, out, err = powder(*options, "--csv", "p.csv", cwd=scratch)
            # Named outputs only: nothing goes to standard output.
            if status != 0 or out or any(w not in err for w in words) or (not words and "warning" in err):
                problems.append(f"{options}: status {status}, {err!r}")
    return problems


SVG = "{http://www.w3.org/2000/svg}"


def svg_texts(root):
    """Each text of the plot: its string and its box, approximated from its place (the transform's
    matrix), size and length: 0.55 of the size a character (0.3 a blank), from 0.22 of it below the
    baseline to 0.75 above, raised with a superscript. In the page's drawing coordinates (y up)."""
    texts = []
    for t in root.iter(SVG + "text"):
        a, b, c, d, e, f = map(float, t.get("transform").split("(")[1].rstrip(")").split())
        size, width, top, bottom, text = float(t.get("font-size")), 0.0, 0.0, 0.0, ""

        def walk(node, size, shift):  # shift: the baseline's offset, down the text's own y
            nonlocal width, top, bottom, text
            size = float(node.get("font-size", size))
            shift += float(node.get("dy", 0))
            if node.text:
                text += node.text
                width += sum(0.3 if ch == " " else 0.55 for ch in node.text) * size
                top, bottom = min(top, shift - 0.75 * size), max(bottom, shift + 0.22 * size)
            for child in node:
                walk(child, size, shift)
                if child.tail:
                    text += child.tail
                    width += sum(0.3 if ch == " " else 0.55 for ch in child.tail) * size
        walk(t, size, float(t.get("y", 0)))
        start = -{"start": 0.0, "middle": 0.5, "end": 1.0}[t.get("text-anchor", "start")] * width
        corners = [(a * x + c * y + e, b * x + d * y + f) for x in (start, start + width) for y in (top, bottom)]
        xs, ys = [x for x, _ in corners], [y for _, y in corners]
        texts.append((text, (min(xs), max(xs), min(ys), max(ys)), (e, f), t.get("text-anchor")))
    return texts


def overlapping_texts(root):
    """Pairs of texts whose boxes overlap."""
    texts = [(text, box) for text, box, _, _ in svg_texts(root) if text.strip()]
    return [f"{p!r} and {q!r} overlap" for i, (p, a) in enumerate(texts) for q, b in texts[i + 1:]
            if a[0] < b[1] and b[0] < a[1] and a[2] < b[3] and b[2] < a[3]]


def axis_map(texts, above=None):
    """Value to page coordinate along the bottom axis, or (above: a height within the upper panel,
    over the tick rows and the difference panel) along the upper panel's vertical axis, from the
    numbers at the ticks (each placed at its tick) and PLplot's factor of the axis (x10^k)."""
    import re
    numbers = [(float(text), at, anchor) for text, _, at, anchor in texts if re.fullmatch(r"-?\d+(\.\d+)?", text)]
    if above is None:
        lowest = min(y for _, (_, y), anchor in numbers if anchor == "middle")
        ticks = [(v, x) for v, (x, y), anchor in numbers if anchor == "middle" and abs(y - lowest) < 1]
    else:
        factors = [(y, int(m[1])) for text, _, (x, y), _ in texts if (m := re.fullmatch(r"\(x10(-?\d+)\)", text))]
        scale = 10.0 ** max(factors)[1] if factors else 1.0
        ticks = [(v * scale, y) for v, (x, y), anchor in numbers if anchor == "end" and y >= above]
    if len(ticks) < 2:
        raise AssertionError(f"fewer than two numbers along the axis: {ticks}")
    (v0, p0), (v1, p1) = min(ticks), max(ticks)
    return lambda v: p0 + (v - v0) * (p1 - p0) / (v1 - v0)


def marks_on_values(path, rows):
    """Each measured point's mark (a filled diamond in the observed colour) is centred, within a
    fifth of a point, where the axes put the point's 2theta and count. A mark at the frame's foot
    is cut there: its top corner, half the diamond's width above the centre, stands."""
    import bisect, xml.etree.ElementTree as ET
    root = ET.parse(path).getroot()
    marks = [[tuple(map(float, p.split(","))) for p in line.get("points").split()]
             for line in root.iter(SVG + "polyline") if line.get("fill", "").upper() == "#14328C"]
    if len(marks) < min(len(rows), 1000):
        return [f"{len(marks)} marks drawn for {len(rows)} measured points"]
    half = max(max(x for x, _ in m) - min(x for x, _ in m) for m in marks) / 2
    centres = [(top[0], top[1] - half) for top in (max(m, key=lambda p: p[1]) for m in marks)]
    texts = svg_texts(root)
    to_x, to_y = axis_map(texts), axis_map(texts, above=min(y for _, y in centres))
    points = sorted((to_x(float(r["two_theta_deg"])), to_y(float(r["observed"]))) for r in rows)
    xs = [x for x, _ in points]
    off = []
    for cx, cy in centres:
        near = points[bisect.bisect_left(xs, cx - 0.05):bisect.bisect_right(xs, cx + 0.05)]
        if not any(abs(y - cy) < 0.2 for _, y in near):
            off.append((round(cx, 2), round(cy, 2), [round(y, 2) for _, y in near]))
    return [f"{len(off)} of {len(marks)} marks off their points' values, as {off[:3]}"] if off else []


def ticks_at_d(path, peaks, wavelength):
    """On a d axis every peak's tick lies, within a fifth of a point, at the d its computed 2theta
    gives with the first line's wavelength (where the measured peaks, less the zero shift, stand)."""
    import xml.etree.ElementTree as ET
    root = ET.parse(path).getroot()
    to_x = axis_map(svg_texts(root))
    want = sorted(to_x(wavelength / (2 * math.sin(math.radians(float(p["two_theta_deg"]) / 2)))) for p in peaks)
    ticks = {float(line.get("points").split(",")[0]) for line in root.iter(SVG + "polyline")
             if line.get("stroke", "").upper() == "#14328C" and line.get("fill") == "none"}
    off = [x for x in ticks if min(abs(x - w) for w in want) > 0.2]
    return [f"{len(off)} of {len(ticks)} ticks are at no peak's d, as {sorted(off)[:3]}"] if off or len(ticks) < 5 else []


def svg_problems(path, words):
    import xml.etree.ElementTree as ET
    if args.drawing == "no":
        return []
    root = ET.parse(path).getroot()
    texts = " ".join("".join(t.itertext()) for t in root.iter("{http://www.w3.org/2000/svg}text"))
    problems = [f"no {word!r} in the plot's texts" for word in words if word not in texts]
    # Drawn on the page, in a legible size, the axes in black.
    width, height = (float(v) for v in root.get("viewBox").split()[2:])
    svg = "{http://www.w3.org/2000/svg}"
    points = [tuple(map(float, p.split(","))) for line in root.iter(svg + "polyline") for p in line.get("points").split()]
    if not all(0 <= x <= width and 0 <= y <= height for x, y in points):
        problems.append(f"lines drawn off the {width} x {height} page")
    # A text is placed by the last two numbers of its transform matrix.
    anchors = [tuple(map(float, t.get("transform").rstrip(")").split()[-2:])) for t in root.iter(svg + "text")]
    if not all(0 <= x <= width and 0 <= y <= height for x, y in anchors):
        problems.append(f"texts placed off the {width} x {height} page")
    sizes = {float(t.get("font-size")) for t in root.iter(svg + "text") if t.get("font-size")}
    if not sizes or min(sizes) < 9 or max(sizes) > 20:
        problems.append(f"font sizes {sorted(sizes)}")
    if not any(line.get("stroke") == "#000000" for line in root.iter(svg + "polyline")):
        problems.append("no axis drawn in black")
    return problems + overlapping_texts(root)


def check_cif():
    """A CIF in one command: converted in the program, its reflections to the range's d-spacing;
    the magnetic model and g reach the converter's form factors."""
    problems = []
    dysprosium = os.path.join(args.source, "tests", "cif", "cases", "rare_earth_dipole.mcif")
    runs = [powder(dysprosium, "--wavelength", 2.4, "--dmin", 2, *options)
            for options in ([], ["--magnetic-model", "dipole"], ["--magnetic-model", "dipole", "--g", "Dy=2"])]
    if any(status != 0 for status, _, _ in runs):
        return [f"rare_earth_dipole.mcif: {[err for _, _, err in runs]}"]
    fm2 = [[float(r["Fm2_barn"]) for r in csv.DictReader(line for line in out.splitlines() if not line.startswith("#"))]
           for _, out, _ in runs]
    if "dipole approximation" not in runs[1][1].split("\n")[0] or \
            not all(d > j * 1.01 for j, d in zip(fm2[0], fm2[1]) if j > 1e-3) or \
            not all(math.isclose(j, g, rel_tol=1e-6) for j, g in zip(fm2[0], fm2[2])):
        problems.append(f"rare_earth_dipole.mcif: the model does not reach |Fm|^2: {runs[1][1][:200]}")
    with tempfile.TemporaryDirectory() as scratch:
        status, _, err = powder(os.path.join(args.source, "tests", "cif", "cases", "silicon.cif"), "--wavelength",
                                1.5406, "--radiation", "xray", "--plot", "p.svg", "--xy", "p.xy", "--axis", "d",
                                "--label-peaks", 12, cwd=scratch)  # crowded at small d: merged, raised
        if args.drawing == "no":
            return problems if status == 1 and "cannot draw" in err else [f"no PLplot: status {status}, {err}"]
        if status != 0:
            return [f"silicon.cif: status {status}, {err}"]
        problems += svg_problems(os.path.join(scratch, "p.svg"), ["silicon.cif", "d (Å)", "1 1 1", "2 2 0"])
        with open(os.path.join(scratch, "p.xy")) as f:
            points = [tuple(map(float, line.split())) for line in f]
        # 1 1 1 of silicon at 28.44 degrees is there, and 5 3 3 at 136.9 (the default grid reaches every peak).
        strongest = max(points, key=lambda p: p[1])
        if abs(strongest[0] - 28.44) > 0.02 or points[-1][0] < 137:
            problems.append(f"silicon.cif: strongest point {strongest}, last {points[-1]}")
    return problems


def check_plot():
    renderer = shutil.which("rsvg-convert")
    cases = [(example("mno_antiferromagnet"), 2.4, ["mno_antiferromagnet.txt", "λ = 2.4 Å", "FWHM 0.3°", "magnetic part",
                                                   "X-ray", "2θ (degrees)"]),
             (example("iron_bcc"), 6, ["iron_bcc.txt", "λ = 6 Å"])]  # reaches no reflection
    problems = []
    for answers, wavelength, words in cases:
        with tempfile.TemporaryDirectory() as scratch:
            status, _, err = powder(answers, "--wavelength", wavelength, "--radiation", "both",
                                    "--plot", "p.svg", cwd=scratch)
            if args.drawing == "no":
                if status != 1 or "cannot draw" not in err or os.listdir(scratch):
                    problems.append(f"a build without PLplot: status {status}, {err!r}")
                continue
            problems += [f"{answers}: {problem}" for problem in svg_problems(os.path.join(scratch, "p.svg"), words)]
            if renderer is None:
                continue
            render = subprocess.run([renderer, "p.svg", "-o", "p.png"], cwd=scratch, capture_output=True,
                                    text=True)
            with open(os.path.join(scratch, "p.png"), "rb") as f:
                if render.returncode != 0 or render.stderr or f.read(8) != b"\x89PNG\r\n\x1a\n":
                    problems.append(f"{answers}: rsvg-convert did not render the plot: {render.stderr}")
    return None if renderer is None and not problems and args.drawing == "yes" else problems


def check_large():
    """A pattern of 10^6 points whose peaks cover it: its CSV is written as it is made (peak memory
    below the file's size; holding its text took twice that), its plot thinned (under 1 MB); and
    half a million reflections' table alone written as they are computed."""
    problems = []
    grid = ["--wavelength", "0.1", "--fwhm", "0.2", "--two-theta", "0:10:0.00001"]
    outputs = [("--csv", "p.csv")] + ([("--plot", "p.svg")] if args.drawing == "yes" else [])
    for option, name in outputs:
        with tempfile.TemporaryDirectory() as scratch:
            run = subprocess.Popen([args.powder, example("iron_bcc"), *grid, option, name, "--tables",
                                    os.path.join(args.source, "data")], cwd=scratch, stderr=subprocess.PIPE)
            _, status, usage = os.wait4(run.pid, 0)
            size = os.path.getsize(os.path.join(scratch, name)) if status == 0 else 0
            if status != 0 or (option == "--csv" and usage.ru_maxrss * 1024 > size) or \
                    (option == "--plot" and size > 1 << 20):
                problems.append(f"{option}: status {status}, {size} bytes, peak memory {usage.ru_maxrss} KiB")
    # 80^3 listed reflections, all in reach, and only their table asked for: each row is written
    # as its reflection is computed (keeping the peaks took more than the table's size).
    with tempfile.TemporaryDirectory() as scratch:
        with open(os.path.join(scratch, "many.txt"), "w") as f:
            f.write("300 300 300 90 90 90\n1\nFex 0 0 0 1 0.3 0\n512000\n")
            f.writelines(f"{h} {k} {l}\n" for h in range(80) for k in range(80) for l in range(80))
        run = subprocess.Popen([args.powder, "many.txt", "--wavelength", "1.5", "--answer-hkl", "--reflections",
                                "r.csv", "--tables", os.path.join(args.source, "data")], cwd=scratch,
                               stderr=subprocess.PIPE)
        _, status, usage = os.wait4(run.pid, 0)
        size = os.path.getsize(os.path.join(scratch, "r.csv")) if status == 0 else 0
        rows = sum(1 for _ in open(os.path.join(scratch, "r.csv"))) if status == 0 else 0
        if status != 0 or rows != 512000 or usage.ru_maxrss * 1024 > size:
            problems.append(f"--reflections: status {status}, {rows} lines, {size} bytes, "
                            f"peak memory {usage.ru_maxrss} KiB")
    return problems


def check_magnetic():
    """The dipole model against numpy over the ion table: Dy3+ (g = 4/3) at the origin, so
    |Fm|^2 grows by ((<j0> + <j2>/2) / <j0>)^2; --g 2 gives <j0> alone (the ion table's, to
    rounding of velmora's own); the files name the model."""
    try:
        import numpy as np
    except ImportError:
        return None
    answers = os.path.join(os.path.dirname(os.path.abspath(__file__)), "answers", "dysprosium.txt")
    row = next(r for r in csv.DictReader(open(os.path.join(args.source, "data", "magnetic_form_factors.csv"),
                                               encoding="utf-8")) if r["label"] == "Dy3")
    fit = lambda k, s: sum(float(row[f"{k}_{a}"]) * np.exp(-float(row[f"{k}_{b}"]) * s * s)
                           for a, b in ("Aa", "Bb", "Cc", "Dd")) + float(row[f"{k}_E"])
    runs = {}
    for name, options in (("j0", []), ("dipole", ["--magnetic-model", "dipole"]),
                          ("g2", ["--magnetic-model", "dipole", "--g", "Dy=2"])):
        status, out, err = powder(answers, "--wavelength", 1.5, *options)
        if status != 0:
            return [f"{name}: {err}"]
        runs[name] = out
    problems = []
    if "# |Fm|^2" in runs["j0"] or not runs["dipole"].startswith("# |Fm|^2 in the dipole approximation"):
        problems.append("the reflections do not name the model: " + runs["dipole"].split("\n")[0])
    table = {k: list(csv.DictReader(line for line in io.StringIO(v) if not line.startswith("#")))
             for k, v in runs.items()}
    for j0, dipole, g2 in zip(table["j0"], table["dipole"], table["g2"]):
        s = 1 / (2 * float(j0["d_angstrom"]))
        want = float(j0["Fm2_barn"]) * ((fit("j0", s) + 0.5 * s * s * fit("j2", s)) / fit("j0", s)) ** 2
        if not math.isclose(float(dipole["Fm2_barn"]), want, rel_tol=1e-4) or \
                not math.isclose(float(g2["Fm2_barn"]), float(j0["Fm2_barn"]), rel_tol=1e-6):
            problems.append(f"s = {s}: |Fm|^2 {dipole['Fm2_barn']} (dipole), {g2['Fm2_barn']} (g = 2), "
                            f"{j0['Fm2_barn']} (j0); dipole wanted {want}")
    return problems


OUTPUT_OPTIONS = {b"--csv", b"--reflections", b"--plot", b"--html", b"--xy", b"--fit-report"}


def check_absorption():
    """A capillary's absorption: each peak's intensity over its intensity without absorption is the
    cylinder's transmission at its Bragg angle, as ../absorption/cylinder_integral.py integrates it,
    so the ratio of the highest-angle to the lowest-angle peak rises by A(high) / A(low)."""
    try:
        import numpy  # noqa: F401 (the integral's)
    except ImportError:
        return None
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "absorption"))
    import cylinder_integral
    problems = []
    plain = reflections(example("silicon"), 1.5406, "--radiation", "xray", "--answer-hkl")
    for mu_r in (0.5, 2, 6):
        absorbed = reflections(example("silicon"), 1.5406, "--radiation", "xray", "--answer-hkl", "--absorption", mu_r)
        kept = [(float(p["two_theta_deg"]), float(a["I_xray_electron2"]) / float(p["I_xray_electron2"]))
                for p, a in zip(plain, absorbed) if float(p["I_xray_electron2"]) > 0]
        for two_theta, ratio in kept:
            want = cylinder_integral.transmission(mu_r, two_theta, 200)
            if abs(ratio / want - 1) > 0.015:
                problems.append(f"mu R {mu_r}, 2theta {two_theta}: A {ratio}, the integral {want}")
        (low, a_low), (high, a_high) = min(kept), max(kept)
        want = cylinder_integral.transmission(mu_r, high, 200) / cylinder_integral.transmission(mu_r, low, 200)
        if abs(a_high / a_low / want - 1) > 0.02:
            problems.append(f"mu R {mu_r}: high/low angle ratio up by {a_high / a_low}, the integral's {want}")
    return problems


def row_words(options):
    """The row's words as bytes: quoted as the shell does, and \\xHH for a byte that is no text."""
    import re, shlex
    split = shlex.shlex(options, posix=True, punctuation_chars=False)
    split.whitespace_split, split.escape, split.commenters = True, "", ""
    return [re.sub(rb"\\x([0-9a-f]{2})", lambda m: bytes([int(m[1], 16)]), w.encode()) for w in split]


def check_refusals():
    problems, here = [], os.path.dirname(os.path.abspath(__file__))
    sys.path.insert(0, here)
    import pattern_files
    for line in open(os.path.join(here, "refusals.txt")):
        if not line.strip() or line.startswith("#"):
            continue
        options, status, message = (part.strip() for part in line.split("|"))
        words = row_words(options)
        if args.drawing == "no" and b"--plot" in words:
            continue  # the plot's refusal without PLplot is check_plot's
        with tempfile.TemporaryDirectory() as scratch:
            shutil.copytree(os.path.join(here, "answers"), scratch, dirs_exist_ok=True)
            shutil.copy(example("iron_bcc"), os.path.join(scratch, "answers.txt"))
            os.mkfifo(os.path.join(scratch, "fifo"))
            pattern_files.write_broken(scratch)
            os.mkdir(os.path.join(scratch, "plots%n"))
            shutil.copy(example("iron_bcc"), os.path.join(scratch.encode(), b"iron\xff.txt"))
            broken = shutil.copytree(os.path.join(args.source, "data"), os.path.join(scratch, "broken_tables"))
            xray = os.path.join(broken, "x-ray_coefficients_from_int_tables_edited.txt")
            text = open(xray).read()
            with open(xray, "w") as f:
                f.write(text.replace("0.322912", "0.3x2912", 1))
            before = {os.path.join(top, name) for top, folders, files in os.walk(scratch.encode())
                      for name in folders + files}
            tables = [] if b"--tables" in words else [b"--tables", os.path.join(args.source, "data").encode()]
            run = subprocess.run([args.powder, *words, *tables], capture_output=True, cwd=scratch, timeout=120)
            got, err = run.returncode, run.stderr.decode("utf-8", "replace")
            after = {os.path.join(top, name) for top, folders, files in os.walk(scratch.encode())
                     for name in folders + files}
            # A failed run leaves the folder as it was; one that succeeds adds its outputs and nothing else.
            outputs = {os.path.join(scratch.encode(), w) for o, w in zip(words, words[1:])
                       if o in OUTPUT_OPTIONS and w != b"-"}
            made = after == before | (outputs if got == 0 else set())
            if got != int(status) or message not in err or (not message and err) or not made:
                problems.append(f"{options}: status {got}, new files {sorted(after - before)}, message {err!r}")
    return problems


def check_interrupted():
    """Ctrl-C during a long pattern leaves no temporary file and ends the run as the signal says."""
    import signal, time
    answers = os.path.join(os.path.dirname(os.path.abspath(__file__)), "answers", "many_peaks.txt")
    with tempfile.TemporaryDirectory() as scratch:
        run = subprocess.Popen([args.powder, answers, "--wavelength", "1.5", "--fwhm", "100", "--two-theta",
                                "0:180:0.00015", "--reflections", "r.csv", "--csv", "p.csv", "--tables",
                                os.path.join(args.source, "data")], cwd=scratch, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not any(n.endswith(".tmp") for n in os.listdir(scratch)) and time.monotonic() < deadline:
            time.sleep(0.01)
        run.send_signal(signal.SIGINT)
        status = run.wait(timeout=120)
        left = os.listdir(scratch)
    return [] if status == -signal.SIGINT and not left else [f"status {status}, files left {left}"]


def main():
    global args
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("command", choices=["report", "formulas", "profile", "plot", "refusals", "interrupted",
                                            "magnetic", "fit", "formats", "refine", "moments", "exclude", "sources", "lists", "cif", "large", "instrument",
                                            "absorption"])
    parser.add_argument("--powder", required=True)
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--drawing", choices=["yes", "no"], default="yes", help="whether the build has PLplot")
    args = parser.parse_args()
    args.powder, args.velmora, args.source = map(os.path.abspath, (args.powder, args.velmora, args.source))
    problems = globals()["check_" + args.command]()
    if problems is None:
        print("skipped: numpy, cctbx, PLplot or rsvg-convert missing")
        return SKIP
    for problem in problems[:40]:
        print(problem)
    print(f"{args.command}: " + ("agree" if not problems else f"{len(problems)} problems"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
