"""The command line the checks against software made apart from velmora share:

  SCRIPT CHECK [--cif PROGRAM] [--powder PROGRAM] [--data DIR] [--source DIR]

runs the script's function check_CHECK(args), prints each problem it returns and a summary
line, and exits 1 on a problem, 0 without, and 77 (CTest's SKIP_RETURN_CODE) when a Python
library the check needs is missing: the check is skipped, and says which library to install.
"""
import argparse
import importlib
import sys


def run(checks, libraries, hint):
    """checks: {name: function(args) -> [problem]}; libraries: {name: modules it imports first};
    hint: the Debian packages that bring them, for the skip's message."""
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=sorted(checks))
    for option in ("--cif", "--powder", "--data", "--source"):
        parser.add_argument(option)
    args = parser.parse_args()
    try:
        for module in libraries.get(args.check, ()):
            importlib.import_module(module)
        problems = checks[args.check](args)
    except ImportError as missing:
        print(f"skipped: {missing} ({hint})")
        sys.exit(77)
    for problem in problems:
        print(problem)
    print(f"{args.check}: " + ("agree" if not problems else f"{len(problems)} problems"))
    sys.exit(1 if problems else 0)
