#!/usr/bin/env python3
"""The physics computes and never prints.

Rule: a source file under src/ may include a console writer (free_form_writer.hpp or
fixed_layout_writer.hpp, by whatever path) only if it lies in src/report/, src/console/,
src/app/ or src/cli/, or is a companion's front file: src/cif/main.cpp,
src/powder/main.cpp, src/python/module.cpp. Every other file that does is named, and the
test fails.

  physics_never_prints.py SRC
"""
import pathlib, re, sys

WRITERS = re.compile(r'^\s*#\s*include\s*[<"](?:[^">]*/)?'
                     r'(free_form_writer|fixed_layout_writer)\.hpp[">]', re.MULTILINE)
PRINTING_FOLDERS = {"report", "console", "app", "cli"}
FRONT_FILES = {"cif/main.cpp", "powder/main.cpp", "python/module.cpp"}
SOURCE_SUFFIXES = {".cpp", ".hpp", ".h", ".cc", ".cxx", ".hh", ".inc"}


def main(src):
    src = pathlib.Path(src)
    sources = sorted(p for p in src.rglob("*") if p.is_file() and p.suffix in SOURCE_SUFFIXES)
    if not sources:
        sys.exit(f"no sources under {src}")
    offenders = []
    for path in sources:
        relative = path.relative_to(src).as_posix()
        if relative.split("/")[0] in PRINTING_FOLDERS or relative in FRONT_FILES:
            continue
        for match in WRITERS.finditer(path.read_text(encoding="utf-8", errors="replace")):
            offenders.append(f"src/{relative} includes {match.group(1)}.hpp")
    for line in offenders:
        print(line)
    if offenders:
        print("the physics computes and never prints: its blocks are written from src/report/")
        return 1
    print(f"{len(sources)} sources: only report/, console/, app/, cli/ and the front files"
          " include a writer")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
