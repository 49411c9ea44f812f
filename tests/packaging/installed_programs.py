#!/usr/bin/env python3
"""The installed programs from an empty folder (a temporary prefix, the .deb unpacked, or the
Windows ZIP under wine; cpack makes both in BUILD/packages): velmora's iron report, --version,
the installed tables used, velmora-cif --run equal to velmora, the Python module (when built)
in Debian's python3 with the installed tables and velmora-cif's values; the .deb's description
is packaging/description.txt character for character. 77 (skipped) without a tool.

  installed_programs.py install|deb|zip --build BUILD --source SOURCE --version VERSION
"""
import argparse
import glob
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
parser.add_argument("mode", choices=["install", "deb", "zip"])
for option in ("--build", "--source", "--version"):
    parser.add_argument(option, required=True)
args = parser.parse_args()
for tool in {"install": [], "deb": ["dpkg-deb", "dpkg-shlibdeps"], "zip": ["wine"]}[args.mode]:
    if shutil.which(tool) is None:
        sys.exit(print(f"SKIPPED: {tool} is missing (Debian: dpkg-dev or wine64)") or 77)
windows, wrapper = (True, ["wine"]) if args.mode == "zip" else (False, [])


def run(command, cwd, stdin=b""):
    return subprocess.run(wrapper + command, cwd=cwd, input=stdin, capture_output=True, timeout=300,
                          env=dict(os.environ, WINEDEBUG="-all"))


def package(generator):
    out = os.path.join(args.build, "packages")
    shutil.rmtree(out, ignore_errors=True)
    subprocess.run(["cpack", "-G", generator, "--config", "CPackConfig.cmake", "-B", out], cwd=args.build,
                   check=True, capture_output=True)
    (made,) = glob.glob(os.path.join(out, "*." + generator.lower()))
    return made


problems = []
with tempfile.TemporaryDirectory() as scratch:
    scratch = os.path.realpath(scratch)
    if args.mode == "install":
        subprocess.run(["cmake", "--install", args.build, "--prefix", scratch + "/usr"], check=True,
                       capture_output=True)
    elif args.mode == "deb":
        deb = package("DEB")
        depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], capture_output=True, text=True).stdout
        problems += [f"Depends names no {lib}: {depends}" for lib in ("libc6", "libstdc++6") if lib not in depends]
        described = subprocess.run(["dpkg-deb", "-f", deb, "Description"], capture_output=True, text=True).stdout
        with open(os.path.join(args.source, "packaging", "description.txt")) as f:
            if described.replace("\n ", "\n").strip() != f.read().strip():
                problems.append(f"the package's description is not packaging/description.txt: {described!r}")
        subprocess.run(["dpkg-deb", "-x", deb, scratch], check=True)
    else:
        with zipfile.ZipFile(package("ZIP")) as archive:
            archive.extractall(scratch)
            top = os.path.join(scratch, archive.namelist()[0].split("/")[0])
    programs, data, examples, exe = (
        (top, top, top + "/examples", ".exe") if windows else
        (scratch + "/usr/bin", scratch + "/usr/share/velmora/data", scratch + "/usr/share/velmora/examples", ""))
    converter, empty = [os.path.join(programs, "velmora-cif" + exe)], os.path.join(scratch, "empty")
    os.mkdir(empty)

    velmora = [os.path.join(programs, "velmora" + exe)]
    with open(examples + "/iron_bcc.txt", "rb") as f:
        iron = run(velmora, data, f.read())
    with open(os.path.join(args.source, "tests/e2e/cases/x_iron_bcc/expected_stdout.txt"), "rb") as f:
        lf = iron.stdout.replace(b"\r\n", b"\n")  # every line ends with CR LF on Windows
        if (iron.returncode, lf) != (0, f.read()) or windows == (lf == iron.stdout):
            problems.append(f"velmora on iron_bcc.txt: status {iron.returncode}, not the expected report")
    for program in ("velmora-cif", "velmora-powder"):
        version = run([os.path.join(programs, program + exe), "--version"], empty).stdout.strip()
        if version != f"{program} {args.version}".encode():
            problems.append(f"{program} --version printed {version!r}")
    bad = run(converter + [os.path.join(args.source, "tests/cif/cases/no_table_row.cif")], empty).stderr
    if f"{data} have no row".encode() not in bad.replace(b"\\", b"/"):
        problems.append(f"velmora-cif did not use the installed tables {data}: {bad!r}")
    report = run(converter + [examples + "/mno.mcif", "--dmin", "3", "-o", "mno.txt", "--run"], empty)
    with open(os.path.join(empty, "mno.txt"), "rb") as f:
        expected = run(velmora, data, f.read())
    if (report.returncode, report.stdout) != (expected.returncode, expected.stdout) or b"|Fm|^2" not in report.stdout:
        problems.append(f"velmora-cif --run on mno.mcif: status {report.returncode}, not velmora's report")
    # The Python module, when built, in Debian's python3: the installed tables, velmora-cif's values.
    site = scratch + "/usr/lib/python3/dist-packages"
    if not windows and glob.glob(site + "/velmora.*.so"):
        table = run(converter + [examples + "/mno.mcif", "--dmin", "3", "--run", "--format", "csv"], empty).stdout
        fm2 = [line.split(b",")[9] for line in table.splitlines()[1:] if not line.startswith(b"#")]
        script = ("import velmora, sys; s = velmora.read_cif(sys.argv[1]); print(s.model['tables']);"
                  "print(*(repr(v) for v in s.reflections(dmin=3)['fm2'].tolist()))")
        module = subprocess.run(["/usr/bin/python3", "-W", "ignore", "-c", script, examples + "/mno.mcif"], cwd=empty,
                                capture_output=True, env=dict(os.environ, PYTHONPATH=site))
        lines = module.stdout.split(b"\n")
        single = lambda texts: [struct.unpack("f", struct.pack("f", float(v)))[0] for v in texts]  # noqa: E731
        if module.returncode != 0 or lines[0] != data.encode() or single(lines[1].split()) != single(fm2):
            problems.append(f"the Python module from {site}: {module.stdout[:200]!r} {module.stderr[-300:]!r}")
    # velmora-powder from a shipped CIF in one command: Cu K-alpha1 puts silicon's 1 1 1 at 28.44
    # degrees; its own pattern, fitted as a measurement, gives scale 1 and no zero shift.
    powder = [os.path.join(programs, "velmora-powder" + exe), examples + "/silicon.cif", "--source", "Cu"]
    made = run(powder + ["--fwhm", "0.1", "--xy", "measured.xy"], empty)
    with open(os.path.join(empty, "measured.xy"), "rb") as f:
        points = [tuple(map(float, line.split())) for line in f]
    if made.returncode != 0 or abs(max(points, key=lambda p: p[1])[0] - 28.44) > 0.02:
        problems.append(f"velmora-powder silicon.cif --source Cu: status {made.returncode}, {made.stderr!r}")
    fitted = run(powder + ["--fwhm", "0.1", "--observed", "measured.xy", "--fit-report", "fit.json"], empty)
    with open(os.path.join(empty, "fit.json"), "rb") as f:
        fit = json.load(f)
    if fitted.returncode != 0 or abs(fit["scale"] - 1) > 1e-3 or abs(fit["zero_shift"]) > 1e-3:
        problems.append(f"velmora-powder --observed its own pattern: {fit}, {fitted.stderr!r}")
    # A program copied away from its tables finds none, and says so: the source tree it was
    # built from is no place to read tables from on a user's machine.
    if not windows:
        moved = os.path.join(scratch, "moved")
        os.mkdir(moved)
        for program, extra in (("velmora-cif", []), ("velmora-powder", ["--wavelength", "1"])):
            shutil.copy(os.path.join(programs, program), moved)
            alone = run([os.path.join(moved, program), examples + "/silicon.cif", *extra], empty)
            if alone.returncode != 1 or b"tables are in none of" not in alone.stderr or \
                    args.source.encode() in alone.stderr:
                problems.append(f"{program} away from its tables: status {alone.returncode}, {alone.stderr!r}")
    # PLplot is no part of the Windows build: --plot is refused, naming why, and nothing is written.
    if windows:
        refused = run(powder + ["--plot", "p.svg"], empty)
        if refused.returncode != 1 or b"PLplot" not in refused.stderr or os.path.exists(os.path.join(empty, "p.svg")):
            problems.append(f"velmora-powder.exe --plot: status {refused.returncode}, {refused.stderr!r}")
for problem in problems:
    print("FAIL:", problem)
sys.exit(1 if problems else 0)
