#!/usr/bin/env python3
"""Writes a benchmark magnetic CIF for velmora-cif on standard output.

  make_cif_workload.py SITES

A cubic cell (a = 150 A) in the magnetic group Fm-3m with every operation listed (the 48
signed permutations of x, y, z and the four F centrings, none reversing time): nine in ten
sites on general positions (192 atoms each), magnetic, with pseudo-random moments; one in
ten on the special position x 0 0 (24 atoms each), not magnetic. A general position is
redrawn when one of its images falls within 0.2 A of it, so that no two images merge. The
same argument always gives the same file.
"""
import itertools
import sys

EDGE = 150.0


def operations():
    ops = []
    for perm in itertools.permutations(range(3)):
        for signs in itertools.product((1, -1), repeat=3):
            ops.append(tuple((perm[i], signs[i]) for i in range(3)))
    return ops


def triplet(op):
    return ",".join(("-" if sign < 0 else "") + "xyz"[axis] for axis, sign in op)


def near_its_images(p, ops, centrings):
    limit = 0.2 / EDGE
    for op in ops:
        image = [sign * p[axis] for axis, sign in op]
        for t in centrings:
            if op is ops[0] and t is centrings[0]:
                continue  # the identity
            d = [image[i] + t[i] - p[i] for i in range(3)]
            if max(abs(x - round(x)) for x in d) < limit:
                return True
    return False


def main():
    sites = int(sys.argv[1])
    state = 20240607

    def rand():
        nonlocal state
        state = state * 48271 % 2147483647
        return state / 2147483647

    ops = operations()
    centrings = [(0, 0, 0), (0, 0.5, 0.5), (0.5, 0, 0.5), (0.5, 0.5, 0)]
    out = ["data_benchmark", f"_cell_length_a {EDGE}", f"_cell_length_b {EDGE}",
           f"_cell_length_c {EDGE}", "_cell_angle_alpha 90", "_cell_angle_beta 90",
           "_cell_angle_gamma 90", "loop_", "_space_group_symop_magn_operation.id",
           "_space_group_symop_magn_operation.xyz"]
    out += [f"{i} {triplet(op)},+1" for i, op in enumerate(ops, 1)]
    out += ["loop_", "_space_group_symop_magn_centering.id", "_space_group_symop_magn_centering.xyz",
            "1 x,y,z,+1", "2 x,y+1/2,z+1/2,+1", "3 x+1/2,y,z+1/2,+1", "4 x+1/2,y+1/2,z,+1"]
    out += ["loop_", "_atom_site_label", "_atom_site_type_symbol", "_atom_site_fract_x",
            "_atom_site_fract_y", "_atom_site_fract_z", "_atom_site_occupancy",
            "_atom_site_U_iso_or_equiv"]
    moments = []
    for i in range(sites):
        if i % 10 == 9:
            out.append(f"O{i} O2- {0.05 + 0.4 * rand():.6f} 0 0 1 0.01")
            continue
        while True:
            p = [rand() for _ in range(3)]
            if not near_its_images(p, ops, centrings):
                break
        out.append(f"Fe{i} Fe3+ {p[0]:.6f} {p[1]:.6f} {p[2]:.6f} 1 0.005")
        moments.append(f"Fe{i} {4 * rand() - 2:.4f} {4 * rand() - 2:.4f} {4 * rand() - 2:.4f}")
    out += ["loop_", "_atom_site_moment.label", "_atom_site_moment.crystalaxis_x",
            "_atom_site_moment.crystalaxis_y", "_atom_site_moment.crystalaxis_z"] + moments
    print("\n".join(out))


if __name__ == "__main__":
    main()
