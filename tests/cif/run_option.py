#!/usr/bin/env python3
"""velmora-cif --run, from an empty folder, prints byte for byte what velmora prints for the
answers in the tables' folder, with its status, and velmora's stderr after the warnings.

  run_option.py --converter velmora-cif --velmora velmora --data DATA CIF
"""
import os
import subprocess
import sys
import tempfile

from cif_test_support import arguments

args = arguments(__doc__.split("\n")[0]).parse_args()
with tempfile.TemporaryDirectory() as scratch:
    run = subprocess.run([os.path.abspath(args.converter), os.path.abspath(args.cif), "--dmin", "2", "-o",
                          "answers.txt", "--run"], cwd=scratch, capture_output=True, timeout=120)
    with open(os.path.join(scratch, "answers.txt"), "rb") as f:
        velmora = subprocess.run([os.path.abspath(args.velmora)], cwd=args.data, input=f.read(),
                                 capture_output=True, timeout=120)
if ((run.returncode, run.stdout) != (velmora.returncode, velmora.stdout)
        or not run.stderr.endswith(velmora.stderr) or b"|FX|^2" not in run.stdout):
    sys.exit(f"--run: status {run.returncode}, {len(run.stdout)} bytes; velmora: status {velmora.returncode},"
             f" {len(velmora.stdout)} bytes; --run's stderr: {run.stderr[-300:]!r}")
