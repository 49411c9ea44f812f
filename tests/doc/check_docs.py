#!/usr/bin/env python3
"""The documentation against the programs.

readme: every ```sh block of the README runs, in order, in a scratch copy of the tree whose build/
is the build under test, and must succeed; blocks needing sudo, the installed tree or the Windows
build are skipped and named; configuring and building build/ and the test command are not run
again, except in the first command, which builds velmora alone: it runs whole, in a build folder
of its own. Every ```python block runs in python3 from the tree's root with the module built in
build/ (PYTHONPATH=build/src/python, as the README says). Every fenced block is sh (commands),
python or text (shown output). Every path of the tree that
the prose names in backquotes (`tests/...`, `build/...`) exists.
man: each companion's page describes every option its --help names; every page's SEE ALSO names
the others.

  check_docs.py readme SOURCE BUILD | check_docs.py man DOC PROGRAM...
"""
import glob, os, re, resource, shutil, subprocess, sys, tempfile

TREE_PATH = re.compile(r"`((?:tests|src|data|examples|doc|bench|tools|packaging|cmake|build)/[^`\s<*|]*)")
DONE = re.compile(r"cmake -S \. -B build|cmake --build build( -j\d+)?|ctest --test-dir build( .*)?")
NEEDS = [(r"\bsudo\b", "needs sudo"), (r"/usr/local/share/velmora", "needs the tree installed with sudo"),
         (r"build-win|\bwine", "needs the Windows cross build and wine"),
         (r"install-test-packages", "installs Debian packages")]
ALONE = "--target velmora "  # the first command: velmora built alone, from nothing


def readme(source, build):
    text = open(os.path.join(source, "README.md"), encoding="utf-8").read()
    blocks = re.findall(r"^```(.*)\n((?:(?!```).*\n)*?)```$", text, re.M)
    lines = [text[:m.start()].count("\n") + 1 for m in re.finditer(r"^```.*\n(?:(?!```).*\n)*?```$", text, re.M)]
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    with tempfile.TemporaryDirectory() as scratch:
        tree = os.path.join(scratch, "velmora")
        shutil.copytree(source, tree, ignore=lambda d, names: [n for n in names if d == source and
                                                                (n == ".git" or n.startswith("build"))])
        os.symlink(os.path.abspath(build), os.path.join(tree, "build"))
        for line, (info, body) in zip(lines, blocks):
            why = next((r for p, r in NEEDS if re.search(p, body)), None) if info == "sh" else None
            alone = ALONE in body
            if alone:  # configured and built whole, in a folder of its own
                body = re.sub(r"(?<![\w-])build\b", "build-alone", body)  # the folder, not --build
            steps = [" && ".join(s for s in map(str.strip, c.split("&&")) if alone or not DONE.fullmatch(s))
                     for c in body.splitlines() if c.strip()]
            script = "".join(f"{c} || exit $?\n" for c in steps if c)  # a cd holds for the lines after it
            if info not in ("sh", "text", "python"):
                result = f"FAILED: a block is ```sh (commands), ```python or ```text, not ```{info}"
            elif info == "text":
                continue
            elif info == "python":
                result = python_block(tree, body)
            elif why or not script:
                result = "SKIPPED: " + (why or "only the build under test and the command running this test")
            else:
                before = resource.getrusage(resource.RUSAGE_CHILDREN)
                run = subprocess.run(["bash", "-c", script], cwd=tree, capture_output=True, timeout=600)
                after = resource.getrusage(resource.RUSAGE_CHILDREN)
                cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
                result = "ok" + (f" (velmora alone, {cpu:.0f} s of CPU)" if alone else "") if run.returncode == 0 \
                    else f"FAILED: status {run.returncode}\n{script}" + run.stderr.decode(errors="replace")[-2000:]
            counts[{"o": "passed", "F": "failed", "S": "skipped"}[result[0]]] += 1
            print(f"README.md line {line}: {result}")
        prose = re.sub(r"^```.*\n(?:(?!```).*\n)*?```$", "", text, flags=re.M)
        module_built = bool(glob.glob(os.path.join(build, "src", "python", "velmora*.so")))
        for path in sorted(set(TREE_PATH.findall(prose))):
            if path.startswith("build/src/python") and not module_built:
                continue  # a build without the module (a sanitizer build) has none of its files
            if not os.path.exists(os.path.join(tree, path.rstrip(".,;:)"))):
                counts["failed"] += 1
                print(f"README.md: FAILED: `{path}` names no file of the tree or the build")
    print("{passed} passed, {failed} failed, {skipped} skipped".format(**counts))
    return 1 if counts["failed"] or not counts["passed"] else 0


def python_block(tree, body):
    if not glob.glob(os.path.join(tree, "build", "src", "python", "velmora*.so")):
        return "SKIPPED: the Python module is not built"
    env = dict(os.environ, PYTHONPATH=os.path.join("build", "src", "python"), PYTHONDONTWRITEBYTECODE="1")
    python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else "python3"  # the module's, Debian's
    run = subprocess.run([python, "-c", body], cwd=tree, env=env, capture_output=True, timeout=600)
    return "ok" if run.returncode == 0 else f"FAILED: status {run.returncode}\n" + \
        run.stderr.decode(errors="replace")[-2000:]


def man(doc, programs):
    names, problems = [os.path.basename(p) for p in programs], []
    for program, name in zip(programs, names):
        page = re.sub(r"\\f[BIRP]", "", open(os.path.join(doc, name + ".1"), encoding="utf-8").read())
        parts = re.split(r"^\.SH +(.*)$", page.replace("\\-", "-"), flags=re.M)
        section = dict(zip((p.strip('"') for p in parts[1::2]), parts[2::2]))
        problems += [f"{name}.1: SEE ALSO does not name {other}(1)" for other in names if other != name and
                     not re.search(rf"^\.BR {re.escape(other)} \(1\)", section.get("SEE ALSO", ""), re.M)]
        if name == "velmora":  # the dialogue program takes no options
            continue
        helped = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=60)
        options = set(re.findall(r"(?<![\w-])(--?[a-z][a-z-]*)", helped.stdout))
        if helped.returncode != 0 or not options:
            problems.append(f"{name} --help: status {helped.returncode}, options {sorted(options)}")
        described = set(re.findall(r"^\.[BIR]+ +(--?[a-z][a-z-]*)", section.get("OPTIONS", ""), re.M))
        problems += [f"{name}.1: OPTIONS does not describe {o}" for o in sorted(options - described)]
    print("\n".join(problems) or f"{len(names)} pages agree with their programs")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) < 4 or sys.argv[1] not in ("readme", "man"):
        sys.exit(__doc__)
    sys.exit(readme(*sys.argv[2:4]) if sys.argv[1] == "readme" else man(sys.argv[2], sys.argv[3:]))
