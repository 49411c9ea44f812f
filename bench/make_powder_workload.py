#!/usr/bin/python3
"""Writes the workload of bench/powder_refine_bench.sh into a folder: a made-up monoclinic
crystal of 50 atoms in the cell (true.cif), its Cu Kalpha1 + Kalpha2 pattern of 10^4 points as
velmora-powder itself calculates it at known parameters, with a Chebyshev background and
Poisson counts of a fixed seed (pattern.xye), the start of a refinement (start.cif: the cell off
by about 0.05%) and truth.json (the true values under velmora-powder's parameter names, the
start widths and the options every run shares).

  make_powder_workload.py OUT_DIR VELMORA_POWDER TABLES_DIR

The crystal is P 1 21/c 1 (the commonest space group of molecular crystals) with twelve atoms
in general positions 4e and one on the inversion centre 2a: 12 x 4 + 2 = 50 atoms in a cell of
about 1000 cubic angstroms, the density of a small organometallic salt, so that the pattern has
the overlap of a real one (some 1600 reflection groups below 2theta = 115 degrees). Only the
cell, the peak widths and the instrument are refined; the structure fixes each group's |F|^2.
"""
import json, math, os, subprocess, sys

import numpy as np

GRID = (5.0, 105.0, 0.01)  # 10001 points
TRUE_CELL = (9.8120, 10.4370, 11.2250, 90.0, 104.370, 90.0)
# The start: a, b, c off by +0.05%, -0.05%, +0.04%, beta by 0.03 degrees.
START_CELL = (9.8120 * 1.0005, 10.4370 * 0.9995, 11.2250 * 1.0004, 90.0, 104.400, 90.0)
TRUE_TCH = (0.0040, -0.0020, 0.0020, 0.0150, 0.0100)  # U V W X Y (degrees^2, degrees)
START_TCH = (0.0050, -0.0015, 0.0025, 0.0120, 0.0130)
TRUE_ZERO = 0.0123  # degrees: 2theta_obs = 2theta_calc + zero
STRONGEST_COUNTS = 4e4
# The background, a Chebyshev series in u = (2 x - first - last) / (last - first) over the
# measured range, as velmora-powder defines it: air scatter falling from low angles and an
# amorphous hump, some 150 to 500 counts.
TRUE_BACKGROUND = (260.0, -95.0, 70.0, -38.0, 22.0, -14.0, 8.0, -5.0, 3.0, -1.6, 0.9, -0.5)
SEED = 20260
# Reflections down to the d-spacing of 2theta = 115 degrees at Kalpha1 for every run, so that
# the pattern and the refinement sum the same reflections (tails reach 10 degrees beyond 105).
DMIN = 1.540598 / (2 * math.sin(math.radians(115 / 2)))

ATOMS = [  # label, type, x, y, z, B (square angstroms); Cu1 on the inversion centre 2a
    ("Cu1", "Cu", 0.0, 0.0, 0.0, 1.10),
    ("S1", "S", 0.2315, 0.1172, 0.0943, 1.35), ("S2", "S", 0.6831, 0.3624, 0.4127, 1.40),
    ("O1", "O", 0.1147, 0.2483, 0.3318, 1.90), ("O2", "O", 0.4129, 0.0836, 0.2261, 2.10),
    ("O3", "O", 0.8733, 0.4419, 0.1582, 2.00), ("O4", "O", 0.5561, 0.2937, 0.0675, 2.20),
    ("N1", "N", 0.3378, 0.3811, 0.2890, 1.70), ("N2", "N", 0.0472, 0.4026, 0.0719, 1.80),
    ("C1", "C", 0.2564, 0.4812, 0.3756, 1.90), ("C2", "C", 0.7293, 0.1349, 0.3361, 2.00),
    ("C3", "C", 0.9162, 0.2257, 0.4478, 2.10), ("C4", "C", 0.4721, 0.4465, 0.1974, 2.20),
]


def cif_text(name, cell):
    a, b, c, alpha, beta, gamma = cell
    rows = "\n".join(f"{label} {kind} {x} {y} {z} {bb}" for label, kind, x, y, z, bb in ATOMS)
    return (f"# {name}: a made-up monoclinic crystal of 50 atoms in the cell\ndata_{name}\n"
            f"_cell_length_a {a:.6f}\n_cell_length_b {b:.6f}\n_cell_length_c {c:.6f}\n"
            f"_cell_angle_alpha {alpha}\n_cell_angle_beta {beta:.4f}\n_cell_angle_gamma {gamma}\n"
            "_space_group_name_H-M_alt 'P 1 21/c 1'\n"
            "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
            f"_atom_site_fract_z\n_atom_site_B_iso_or_equiv\n{rows}\n")


def chebyshev(u, terms):
    t = [np.ones_like(u), u]
    while len(t) < terms:
        t.append(2 * u * t[-1] - t[-2])
    return np.array(t[:terms])


def main():
    out, powder, tables = sys.argv[1:4]
    for name, cell in (("true", TRUE_CELL), ("start", START_CELL)):
        with open(os.path.join(out, name + ".cif"), "w") as f:
            f.write(cif_text(name, cell))
    shared = ["--source", "Cu", "--dmin", repr(DMIN), "--tables", tables]
    grid = "%g:%g:%g" % GRID
    subprocess.run([powder, os.path.join(out, "true.cif"), *shared, "--tch", ",".join(map(str, TRUE_TCH)),
                    "--two-theta", grid, "--xy", os.path.join(out, "true.xy")], check=True, capture_output=True)
    calculated = np.loadtxt(os.path.join(out, "true.xy"))
    # The pattern calculated at 2theta_calc, measured at 2theta_calc + zero.
    x = np.round(calculated[:, 0] + TRUE_ZERO, 6)
    u = (2 * x - x[0] - x[-1]) / (x[-1] - x[0])
    scale = STRONGEST_COUNTS / calculated[:, 1].max()
    expected = scale * calculated[:, 1] + np.array(TRUE_BACKGROUND) @ chebyshev(u, len(TRUE_BACKGROUND))
    counts = np.random.default_rng(SEED).poisson(expected)
    # sigma from the expected counts the noise was drawn from (a simulation knows them): weights
    # from the noisy counts themselves would pull the fit below the truth by about a count a
    # point, several esd's of the background at 10^4 points.
    sigma = np.sqrt(expected)
    with open(os.path.join(out, "pattern.xye"), "w") as f:
        f.write("# 2theta counts sigma: Cu Kalpha1+2, made by bench/make_powder_workload.py\n")
        for row in zip(x, counts, sigma):
            f.write("%.6f %d %.4f\n" % row)
    a, b, c, _, beta, _ = TRUE_CELL
    truth = {"scale": scale, "zero": TRUE_ZERO, "displacement": 0.0,
             "cell.a": a, "cell.b": b, "cell.c": c, "cell.beta": beta}
    truth.update({"profile." + n: v for n, v in zip("UVWXY", TRUE_TCH)})
    truth.update({"background.%d" % k: v for k, v in enumerate(TRUE_BACKGROUND)})
    with open(os.path.join(out, "truth.json"), "w") as f:
        json.dump({"truth": truth, "start_cell": START_CELL, "start_tch": ",".join(map(str, START_TCH)), "shared": shared,
                   "background_terms": len(TRUE_BACKGROUND)}, f, indent=1)


if __name__ == "__main__":
    main()
