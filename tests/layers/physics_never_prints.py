#!/usr/bin/env python3
"""The physics computes and never prints.

Rule: a source file under src/ may include a console writer (free_form_writer.hpp or
fixed_layout_writer.hpp, by whatever path) only if it lies in src/report/, src/console/,
src/app/ or src/cli/, or is a companion's front file: src/cif/main.cpp,
src/powder/main.cpp, src/python/module.cpp. Every other file that does is named, and the
test fails.

  physics_never_prints.py SRC
"""
import re, sys

from include_rule import check

WRITERS = re.compile(r'^\s*#\s*include\s*[<"](?:[^">]*/)?'
                     r'((?:free_form_writer|fixed_layout_writer)\.hpp)[">]', re.MULTILINE)
PRINTING_FOLDERS = {"report", "console", "app", "cli"}
FRONT_FILES = {"cif/main.cpp", "powder/main.cpp", "python/module.cpp"}


def main(src):
    return check(src, WRITERS,
                 lambda relative: relative.split("/")[0] in PRINTING_FOLDERS or relative in FRONT_FILES,
                 "the physics computes and never prints: its blocks are written from src/report/",
                 lambda count: f"{count} sources: only report/, console/, app/, cli/ and the front files"
                               " include a writer")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
