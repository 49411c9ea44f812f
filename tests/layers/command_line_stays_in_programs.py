#!/usr/bin/env python3
"""The command line belongs to the programs, never to a library.

Rule: a source file under src/ may include a header of src/cli/, or a program's own
command-line header, only if it lies in src/cli/ or is one of the programs' front files
below. Every other file that does is named, and the test fails: the libraries (the core,
errors, files, the converter's and the pattern's libraries) and the Python module take
typed options.

  command_line_stays_in_programs.py SRC
"""
import re, sys

from include_rule import check

# The programs' front files: their entry points and their command lines.
FRONT_FILES = {"cif/main.cpp", "cif/cif_command_line.hpp", "cif/cif_command_line.cpp",
               "powder/main.cpp", "powder/powder_command_line.hpp", "powder/powder_command_line.cpp",
               "powder/powder_run.cpp"}
COMMAND_LINE = re.compile(r'^\s*#\s*include\s*"(cli/[^"]+|cif/cif_command_line\.hpp|'
                          r'powder/powder_command_line\.hpp)"', re.MULTILINE)


def main(src):
    return check(src, COMMAND_LINE,
                 lambda relative: relative.split("/")[0] == "cli" or relative in FRONT_FILES,
                 "the command line is the programs': a library takes typed options",
                 lambda count: f"{count} sources: only cli/ and the programs' front files include the"
                               " command line")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
