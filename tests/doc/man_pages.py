#!/usr/bin/env python3
"""The manual pages against the programs: every option that a companion's --help names is
described in its page's OPTIONS, and each page's SEE ALSO names every other page.

  man_pages.py --doc DOC PROGRAM...   (velmora, then the companions built)
"""
import argparse
import os
import re
import subprocess
import sys


def sections(page):
    """The text of each .SH section, roff escapes for hyphens and fonts removed."""
    text = re.sub(r"\\f[BIRP]", "", page).replace("\\-", "-")
    parts = re.split(r"^\.SH +(.*)$", text, flags=re.M)
    return {name.strip('"'): body for name, body in zip(parts[1::2], parts[2::2])}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--doc", required=True)
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    names = [os.path.basename(p) for p in args.programs]
    problems = []
    for program, name in zip(args.programs, names):
        with open(os.path.join(args.doc, name + ".1"), encoding="utf-8") as f:
            page = sections(f.read())
        for other in names:
            if other != name and not re.search(rf"^\.BR {re.escape(other)} \(1\)", page.get("SEE ALSO", ""), re.M):
                problems.append(f"{name}.1: SEE ALSO does not name {other}(1)")
        if name == "velmora":  # the dialogue program takes no options
            continue
        helped = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=60)
        options = set(re.findall(r"(?<![\w-])(--?[a-z][a-z-]*)", helped.stdout))
        if helped.returncode != 0 or not options:
            problems.append(f"{name} --help: status {helped.returncode}, options {sorted(options)}")
        described = set(re.findall(r"^\.[BIR]+ +(--?[a-z][a-z-]*)", page.get("OPTIONS", ""), re.M))
        problems += [f"{name}.1: OPTIONS does not describe {o}" for o in sorted(options - described)]
    print("\n".join(problems) or f"{len(names)} pages agree with their programs")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
