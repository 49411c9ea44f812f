#!/usr/bin/env python3
"""velmora-cif --run, from an empty folder, prints byte for byte what velmora prints for the
answers in the tables' folder, with its status, and velmora's stderr after the warnings.

  run_option.py VELMORA_CIF VELMORA DATA CIF
"""
import os
import subprocess
import sys
import tempfile

converter, velmora_program, data, cif = sys.argv[1:5]
with tempfile.TemporaryDirectory() as scratch:
    run = subprocess.run([os.path.abspath(converter), os.path.abspath(cif), "--dmin", "2", "-o",
                          "answers.txt", "--run"], cwd=scratch, capture_output=True, timeout=120)
    with open(os.path.join(scratch, "answers.txt"), "rb") as f:
        velmora = subprocess.run([os.path.abspath(velmora_program)], cwd=data, input=f.read(),
                                 capture_output=True, timeout=120)
if ((run.returncode, run.stdout) != (velmora.returncode, velmora.stdout)
        or not run.stderr.endswith(velmora.stderr) or b"|FX|^2" not in run.stdout):
    sys.exit(f"--run: status {run.returncode}, {len(run.stdout)} bytes; velmora: status {velmora.returncode},"
             f" {len(velmora.stdout)} bytes; --run's stderr: {run.stderr[-300:]!r}")
