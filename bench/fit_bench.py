#!/usr/bin/python3
"""Times velmora-powder's fit on a large measured-style pattern: corundum with
Mo Kalpha1 + Kalpha2 from 5 to 80 degrees in steps of 0.005 (15000 points,
some 2900 peaks with pseudo-Voigt tails), made by tests/powder/measured_patterns.py.
Prints the median time of three runs and the recovered scale and zero shift.

  bench/fit_bench.py [path/to/velmora-powder]
"""
import json, os, statistics, subprocess, sys, tempfile, time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "powder"))
import measured_patterns as made  # noqa: E402

powder = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build", "src", "powder",
                                                                               "velmora-powder"))
made.MATERIALS["corundum"].update(radiation="Mo", range=(5, 80, 0.005),
                                  profile=("tch", (0.002, -0.001, 0.001, 0.01, 0.01)))
with tempfile.TemporaryDirectory() as work:
    path, truth = made.write("corundum", work)
    command = [powder, os.path.join(work, "corundum.cif"), *map(str, made.velmora_options("corundum")),
               "--observed", path, "--fit-report", os.path.join(work, "fit.json"),
               "--tables", os.path.join(here, "..", "data")]
    times = []
    for _ in range(3):
        start = time.monotonic()
        subprocess.run(command, check=True, capture_output=True)
        times.append(time.monotonic() - start)
    with open(os.path.join(work, "fit.json")) as f:
        fit = json.load(f)
print(f"corundum, Mo, 15001 points: {statistics.median(times):.2f} s (median of 3); scale "
      f"{fit['scale'] / truth['velmora_scale']:.5f} of the made one, zero shift {fit['zero_shift']:.5f} "
      f"(made {truth['zero_shift']}), Rwp {fit['Rwp']:.5f} (the made model's {truth['model_Rwp']:.5f})")
