#!/usr/bin/env python3
"""Writes a benchmark answer file for velmora on standard output.

  make_workload.py ATOMS MAGNETIC REFLECTIONS [--triclinic]

Atoms cycle through species of the shipped tables (magnetic ones first, all
usable in the magnetic table), on pseudo-random positions with partial
occupancies and B values; reflections run over h, k, l in a growing shell.
The same arguments always give the same file.
"""
import sys

MAGNETIC = ["Fe3", "Mn2", "Co2", "Ni2", "Cr3", "Fe2"]
OTHER = ["Oxx", "Six", "Alx", "Mgx", "Cax", "Nax"]


def main():
    atoms, magnetic, reflections = (int(a) for a in sys.argv[1:4])
    triclinic = "--triclinic" in sys.argv
    state = 12345

    def rand():
        nonlocal state
        state = state * 16807 % 2147483647
        return state / 2147483647

    out = []
    out.append("9.81 10.42 11.07 83.5 97.2 101.9" if triclinic else "8.39 8.39 8.39 90 90 90")
    out.append(str(atoms))
    for i in range(atoms):
        is_magnetic = i < magnetic
        kind = MAGNETIC[i % len(MAGNETIC)] if is_magnetic else OTHER[i % len(OTHER)]
        out.append("%s %.4f %.4f %.4f %.3f %.3f %d" % (kind, rand(), rand(), rand(), 0.5 + rand() / 2,
                                                       0.2 + rand(), 1 if is_magnetic else 0))
    for i in range(magnetic):
        out.append("%.2f %.1f %.1f" % (1 + 4 * rand(), 360 * rand(), 180 * rand()))
    out.append(str(reflections))
    n = 0
    limit = 1
    while n < reflections:
        for h in range(-limit, limit + 1):
            for k in range(-limit, limit + 1):
                for l in range(-limit, limit + 1):
                    if max(abs(h), abs(k), abs(l)) != limit or n >= reflections:
                        continue
                    out.append("%d %d %d" % (h, k, l))
                    n += 1
        limit += 1
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
