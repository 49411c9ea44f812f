#!/usr/bin/env python3
"""Rebuilds src/cif/wyckoff_table.cpp, the multiplicity of every Wyckoff position, from Debian's cctbx.

For each of the 230 space groups in its reference setting (hexagonal axes for the rhombohedral
groups), the multiplicities of its Wyckoff positions in the order of their letters a, b, c, ...
as International Tables for Crystallography Vol. A lists them, taken from python3-cctbx
(cctbx.sgtbx wyckoff_table). Letters are the same in every setting of a group; a multiplicity
scales with the number of lattice points of the setting's cell. Run with Debian's interpreter:

  /usr/bin/python3 tools/make_wyckoff_table.py           writes src/cif/wyckoff_table.cpp
  /usr/bin/python3 tools/make_wyckoff_table.py --check   compares it with a fresh build

--check exits 0 when the shipped file is what cctbx gives, 1 when it differs and 77 (skipped)
when python3-cctbx is not installed.
"""
import argparse
import os
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUTPUT = os.path.join(REPO, "src", "cif", "wyckoff_table.cpp")
SKIPPED = 77

HEAD = """\
// The multiplicity of each Wyckoff position of the 230 space groups, in the
// order of their letters (a, b, c, ...), in each group's reference setting:
// International Tables for Crystallography Vol. A, as python3-cctbx
// (cctbx.sgtbx) lists it. Written by tools/make_wyckoff_table.py; do not edit.
#include "cif/wyckoff_table.hpp"

namespace velmora::cif {
namespace {

// One row per group as the generator writes it, so that --check compares it byte for byte.
// clang-format off
constexpr const char* kMultiplicities[] = {
    "",
"""

TAIL = """\
};
// clang-format on

}  // namespace

std::string_view wyckoff_multiplicities(int number) {
  return number >= 1 && number <= 230 ? kMultiplicities[number] : std::string_view();
}

}  // namespace velmora::cif
"""


def build():
    from cctbx import sgtbx
    lines = []
    for number in range(1, 231):
        table = sgtbx.space_group_info(number).wyckoff_table()
        # cctbx lists the general position first and position a last.
        multiplicities = [table.position(k).multiplicity() for k in reversed(range(table.size()))]
        lines.append(f'    "{" ".join(map(str, multiplicities))}",  // {number}\n')
    return HEAD + "".join(lines) + TAIL


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true", help="compare the shipped file with a fresh build")
    args = parser.parse_args()
    try:
        import cctbx.sgtbx  # noqa: F401
    except ImportError as error:
        print(f"SKIPPED: needs Debian's python3-cctbx ({error}); run with /usr/bin/python3")
        return SKIPPED if args.check else 2
    text = build()
    if args.check:
        shipped = open(OUTPUT, "rb").read() if os.path.exists(OUTPUT) else None
        if shipped != text.encode():
            print(f"{OUTPUT}: differs from what cctbx gives; rebuild with /usr/bin/python3 {sys.argv[0]}")
            return 1
        print("the Wyckoff table agrees with cctbx")
        return 0
    with open(OUTPUT, "w", newline="\n") as f:
        f.write(text)
    print(f"wrote {OUTPUT}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
