#!/usr/bin/env python3
"""Runs every command block of the README (a ```sh block) in order, in a scratch copy of the
source tree whose build/ is the build under test, and fails on a command that fails. Blocks
that need root (sudo), the installed tree it makes, or the Windows cross build are skipped, each
named with why. The configure and build steps on build/ are what made the build under test,
and the test command is what runs this test: those steps are not run again. Every fenced
block must say what it is: sh (commands) or text (what a program prints or takes).

  readme_commands.py --source SOURCE --build BUILD
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Steps already done by the time this runs (the build under test is build/).
DONE = [re.compile(p) for p in (r"cmake -S \. -B build", r"cmake --build build( -j\d+)?",
                                r"ctest --test-dir build( .*)?")]
# Why a block cannot run here, by what it holds.
NEEDS = [(re.compile(r"\bsudo\b"), "needs sudo"),
         (re.compile(r"/usr/local/share/velmora"), "needs the installed tree, which the install makes with sudo"),
         (re.compile(r"build-win|windows-x86-64|\bwine"), "needs the Windows cross build and wine")]


def blocks(readme):
    """(line number, info string, text) of each fenced block."""
    found, start, info, body = [], None, "", []
    for number, line in enumerate(readme.split("\n"), 1):
        if line.startswith("```"):
            if start is None:
                start, info, body = number, line[3:].strip(), []
            else:
                found.append((start, info, "\n".join(body)))
                start = None
        elif start is not None:
            body.append(line)
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    with open(os.path.join(args.source, "README.md"), encoding="utf-8") as f:
        found = blocks(f.read())
    passed = failed = skipped = 0
    with tempfile.TemporaryDirectory() as scratch:
        tree = os.path.join(scratch, "velmora")
        shutil.copytree(args.source, tree, symlinks=True,
                        ignore=lambda folder, names: [n for n in names if n == ".git" or n.startswith("build")]
                        if folder == args.source else [])
        os.symlink(os.path.abspath(args.build), os.path.join(tree, "build"))
        for line, info, text in found:
            where = f"README.md line {line}"
            if info not in ("sh", "text"):
                failed += 1
                print(f"{where}: FAILED: a block is ```sh (commands) or ```text, not ```{info}")
                continue
            if info == "text":
                continue
            why = next((reason for pattern, reason in NEEDS if pattern.search(text)), None)
            if why:
                skipped += 1
                print(f"{where}: SKIPPED: {why}")
                continue
            # Each line a command; the steps of a line joined by && (DONE ones left out).
            commands = []
            for command in filter(None, (c.strip() for c in text.split("\n"))):
                steps = [s.strip() for s in command.split("&&")]
                steps = [s for s in steps if not any(p.fullmatch(s) for p in DONE)]
                if steps:
                    commands.append(" && ".join(steps))
            if not commands:
                skipped += 1
                print(f"{where}: SKIPPED: only steps that made the build under test or run this test")
                continue
            # One shell for the block (a cd holds for its later lines), ending at the first failure.
            script = "".join(f"{command} || exit $?\n" for command in commands)
            run = subprocess.run(["bash", "-c", script], cwd=tree, capture_output=True, timeout=600)
            if run.returncode != 0:
                failed += 1
                print(f"{where}: FAILED: status {run.returncode}\n  " + "\n  ".join(commands) + "\n" +
                      run.stderr.decode(errors="replace")[-2000:])
            else:
                passed += 1
                print(f"{where}: ok")
    print(f"{passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
