#!/usr/bin/env python3
"""Writes the synthetic reference tables that the end-to-end cases run with.

The numbers are invented, not published values: they are chosen so that
results can be worked out by hand. Special rows:
  Tst  neutron length 5.0 (held as 0.5); X-ray 2 10 0 0 0 0 0 0 1
  One  X-ray form factor 1 at every s; neutron length 10.0; magnetic 1 0 0 0 0 0 0
  Dup  twice in every table: the later row (length 3.0, X-ray constant 3,
       magnetic constant 3) must be the one used
  Fe3, Oxx, Fe2, Mn2, Cxx, ...: plausible species for the dialogue cases
The X-ray and neutron files carry the same 187 labels in the same order;
the magnetic file has 95 rows. Run from this folder: python3 make_tables.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

SPECIES = [
    # label, neutron length (fm), X-ray a1 b1 a2 b2 a3 b3 a4 b4 c
    ("Hxx", -3.739, [0.489918, 20.6593, 0.262003, 7.74039, 0.196767, 49.5519, 0.049879, 2.20159, 0.001305]),
    ("Cxx", 6.646, [2.31, 20.8439, 1.02, 10.2075, 1.5886, 0.5687, 0.865, 51.6512, 0.2156]),
    ("Oxx", 5.803, [3.0485, 13.2771, 2.2868, 5.7011, 1.5463, 0.3239, 0.867, 32.9089, 0.2508]),
    ("Fex", 9.45, [11.7695, 4.7611, 7.3573, 0.3072, 3.5222, 15.3535, 2.3045, 76.8805, 1.0369]),
    ("Fe2", 9.45, [11.0424, 4.6538, 7.374, 0.3053, 4.1346, 12.0546, 0.4399, 31.2809, 1.0097]),
    ("Fe3", 9.45, [11.1764, 4.6147, 7.3863, 0.3005, 3.3948, 11.6729, 0.0724, 38.5566, 0.9707]),
    ("Mn2", -3.73, [10.8061, 5.2796, 7.362, 0.3435, 3.5268, 14.343, 0.2184, 41.3235, 1.0874]),
    ("Ni2", 10.3, [11.4166, 3.6766, 7.4005, 0.2449, 5.3442, 8.873, 0.9773, 22.1626, 0.8614]),
    ("Nax", 3.63, [4.7626, 3.285, 3.1736, 8.8422, 1.2674, 0.3136, 1.1128, 129.424, 0.676]),
    ("Clx", 9.577, [11.4604, 0.0104, 7.1962, 1.1662, 6.2556, 18.5194, 1.6455, 47.7784, -9.5574]),
    ("Six", 4.1491, [6.2915, 2.4386, 3.0353, 32.3337, 1.9891, 0.6785, 1.541, 81.6937, 1.1407]),
    ("Tst", 5.0, [2, 10, 0, 0, 0, 0, 0, 0, 1]),
    ("One", 10.0, [0, 0, 0, 0, 0, 0, 0, 0, 1]),
    ("Dup", 1.0, [0, 0, 0, 0, 0, 0, 0, 0, 1]),
    ("Dup", 3.0, [0, 0, 0, 0, 0, 0, 0, 0, 3]),
]

MAGNETIC = [
    # label, A a B b C c D
    ("Fe2", [0.0263, 34.9597, 0.3668, 15.9435, 0.6188, 5.5935, -0.0119]),
    ("Fe3", [0.3972, 13.2442, 0.6295, 4.9034, -0.0314, 0.3496, 0.0044]),
    ("Mn2", [0.422, 17.684, 0.5948, 6.005, 0.0043, -0.609, -0.0219]),
    ("Ni2", [0.0163, 35.8826, 0.3916, 13.2233, 0.6052, 4.3388, -0.0133]),
    ("One", [1, 0, 0, 0, 0, 0, 0]),
    ("Dup", [0, 0, 0, 0, 0, 0, 1]),
    ("Dup", [0, 0, 0, 0, 0, 0, 3]),
]


def filler_labels(count, used):
    labels = []
    for first in "QRSTUVWYZ":
        for n in range(100):
            label = f"{first}{n:02d}"
            if label not in used:
                labels.append(label)
            if len(labels) == count:
                return labels
    raise ValueError("not enough filler labels")


def fmt(v):
    return repr(float(v)) if isinstance(v, float) else str(v)


def main():
    used = {label for label, _, _ in SPECIES} | {label for label, _ in MAGNETIC}
    rows = list(SPECIES)
    for i, label in enumerate(filler_labels(187 - len(rows), used)):
        rows.append((label, round(1.0 + 0.01 * i, 4), [1, 1, 0, 0, 0, 0, 0, 0, round(0.5 + 0.001 * i, 4)]))
    mag = list(MAGNETIC)
    for i, label in enumerate(filler_labels(95 - len(mag), used)):
        mag.append((label, [1, 1, 0, 0, 0, 0, round(0.001 * i, 4)]))

    with open(os.path.join(HERE, "tables", "x-ray_coefficients_from_int_tables_edited.txt"), "w", newline="\n") as f:
        f.write("label a1 b1 a2 b2 a3 b3 a4 b4 c (synthetic test values)\n")
        for label, _, x in rows:
            f.write(label + " " + " ".join(fmt(v) for v in x) + "\n")
    with open(os.path.join(HERE, "tables", "neutron_bcoh_from_international_tables_edited.txt"), "w", newline="\n") as f:
        f.write("label bcoh/fm (synthetic test values)\n")
        for label, b, _ in rows:
            f.write(f"{label} {fmt(b)}\n")
    with open(os.path.join(HERE, "tables", "neutron_mag_from_international_tables_edited.txt"), "w", newline="\n") as f:
        f.write("label A a B b C c D (synthetic test values)\n")
        for label, m in mag:
            f.write(label + " " + " ".join(fmt(v) for v in m) + "\n")


if __name__ == "__main__":
    main()
