#!/usr/bin/env python3
"""Writes a 10 MB answer line for the lattice parameters: one digit, a point and ten
million more digits, then 5 5 90 90 90, no atoms and no reflections.

  generate.py OUTDIR [LEAD FILL]

With the default LEAD 5 and FILL 0 the first value is exactly 5; with 4 and 9 it is
4.999...9, whose nearest single-precision value is 5 as well. Either way the run goes
on exactly as for the answer 5 5 5 90 90 90 (expected_stdout.txt beside this script)."""
import os
import sys

out = sys.argv[1]
lead, fill = (sys.argv[2], sys.argv[3]) if len(sys.argv) > 3 else ("5", "0")
with open(os.path.join(out, "stdin.txt"), "wb") as f:
    f.write(lead.encode() + b"." + fill.encode() * 10_000_000 + b" 5 5 90 90 90\n0\n0\n")
