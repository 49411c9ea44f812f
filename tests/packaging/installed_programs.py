#!/usr/bin/env python3
"""The installed programs, run from a folder of their own, as a user would run them.

  installed_programs.py install --build BUILD --source SRC --version V   cmake --install into a
                                                                           temporary prefix
  installed_programs.py deb --build BUILD --source SRC --version V       the .deb (made by cpack
                                                                           into BUILD/packages),
                                                                           unpacked with dpkg -x
  installed_programs.py zip --build BUILD --source SRC --version V       the Windows ZIP (same),
                                                                           its programs under wine

In each tree: velmora in the installed data folder prints the expected report of the iron
example; velmora-cif, run from an unrelated empty folder, finds the installed tables (an
error names the folder it used), prints its version, and --run prints what velmora prints
for the answers it makes. Exits 77 (skipped) when a needed tool is missing.
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

SKIP = 77


def skip(why):
    print(f"SKIPPED: {why}")
    sys.exit(SKIP)


def run(command, cwd, stdin=b"", wrapper=()):
    done = subprocess.run([*wrapper, *command], cwd=cwd, input=stdin, capture_output=True, timeout=300,
                          env=dict(os.environ, WINEDEBUG="-all"))
    return done.returncode, done.stdout, done.stderr


def make_package(args, generator):
    """Runs cpack for the build; returns the package file."""
    out = os.path.join(args.build, "packages")
    shutil.rmtree(out, ignore_errors=True)
    status, stdout, stderr = run(["cpack", "-G", generator, "--config", "CPackConfig.cmake", "-B", out],
                                 cwd=args.build)
    if status != 0:
        sys.exit(f"cpack failed:\n{stdout.decode()}{stderr.decode()}")
    found = glob.glob(os.path.join(out, "*.deb" if generator == "DEB" else "*.zip"))
    if len(found) != 1:
        sys.exit(f"cpack made {found}, not one package")
    return found[0]


def installed_tree(args, scratch):
    """(bin folder, data folder, examples folder, man folder or None) of the tree to check."""
    if args.mode == "install":
        prefix = os.path.join(scratch, "prefix")
        status, _, stderr = run(["cmake", "--install", args.build, "--prefix", prefix], cwd=scratch)
        if status != 0:
            sys.exit(f"cmake --install failed: {stderr.decode()}")
        share = os.path.join(prefix, "share")
        return os.path.join(prefix, "bin"), os.path.join(share, "velmora"), os.path.join(share, "man")
    if args.mode == "deb":
        for tool in ("dpkg-deb", "dpkg-shlibdeps"):
            if shutil.which(tool) is None:
                skip(f"{tool} is missing (Debian: dpkg-dev)")
        deb = make_package(args, "DEB")
        depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], capture_output=True, text=True).stdout
        for library in ("libc6", "libstdc++6"):
            if library not in depends:
                sys.exit(f"{deb}: Depends names no {library}: {depends!r}")
        root = os.path.join(scratch, "root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        share = os.path.join(root, "usr", "share")
        return os.path.join(root, "usr", "bin"), os.path.join(share, "velmora"), os.path.join(share, "man")
    if shutil.which("wine") is None:
        skip("wine is missing (Debian: wine64)")
    with zipfile.ZipFile(make_package(args, "ZIP")) as archive:
        archive.extractall(scratch)
        top = archive.namelist()[0].split("/")[0]
    folder = os.path.join(scratch, top)
    return folder, folder, None


def check(args):
    problems = []
    windows = args.mode == "zip"
    exe = ".exe" if windows else ""
    wrapper = ("wine",) if windows else ()
    with tempfile.TemporaryDirectory() as scratch:
        programs, share, man = installed_tree(args, scratch)
        data = share if windows else os.path.join(share, "data")
        examples = os.path.join(share, "examples")
        velmora = os.path.join(programs, "velmora" + exe)
        converter = os.path.join(programs, "velmora-cif" + exe)
        unrelated = os.path.join(scratch, "unrelated")
        os.mkdir(unrelated)

        def report(answers):
            """velmora's status and output in the installed data folder."""
            status, out, err = run([velmora], data, answers, wrapper)
            if windows and out.count(b"\n") != out.count(b"\r\n"):
                problems.append("velmora.exe printed a line without CR LF")
            return status, out, err

        with open(os.path.join(examples, "iron_bcc.txt"), "rb") as f:
            status, out, _ = report(f.read())
        with open(os.path.join(args.source, "tests/e2e/cases/x_iron_bcc/expected_stdout.txt"), "rb") as f:
            if (status, out.replace(b"\r\n", b"\n")) != (0, f.read()):
                problems.append(f"velmora on iron_bcc.txt: status {status}, not the expected report")

        status, out, _ = run([converter, "--version"], unrelated, wrapper=wrapper)
        if out.strip() != f"velmora-cif {args.version}".encode():
            problems.append(f"velmora-cif --version printed {out!r}")

        # A CIF whose atom no table has: the error names the folder of the tables used.
        bad = os.path.join(args.source, "tests/cif/bad/no_table_row.cif")
        _, _, err = run([converter, bad], unrelated, wrapper=wrapper)
        if os.path.realpath(data).encode() + b" have no row" not in err.replace(b"\\", b"/"):
            problems.append(f"velmora-cif did not use the installed tables {data}: {err!r}")

        cif = os.path.join(examples, "mno.mcif")
        status, out, err = run([converter, cif, "--dmin", "3", "-o", "mno.txt", "--run"], unrelated,
                               wrapper=wrapper)
        with open(os.path.join(unrelated, "mno.txt"), "rb") as f:
            expected = report(f.read())
        if (status, out) != expected[:2] or b"|Fm|^2" not in expected[1]:
            problems.append(f"velmora-cif --run on mno.mcif: status {status}, not velmora's report")

        if man is not None:
            for page in ("velmora.1.gz", "velmora-cif.1.gz"):
                if not os.path.isfile(os.path.join(man, "man1", page)):
                    problems.append(f"no manual page {page}")
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("mode", choices=["install", "deb", "zip"])
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--version", required=True)
    sys.exit(check(parser.parse_args()))


if __name__ == "__main__":
    main()
