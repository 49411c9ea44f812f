#!/usr/bin/env python3
"""Writes stdin.txt and expected_stdout.txt of this case.

A made-up spinel-like oxide in a triclinic cell: 56 atoms on general
positions (several species, partial occupancies, B from 0.15 to 1.6), ten of
them magnetic with moments in different directions, and 900 reflections with
negative, zero and fractional indices. The answers come from a small fixed
pseudo-random sequence, so the files are the same on every machine; the
expected output comes from ../../reference_model.py.

velmora computes its sine, cosine and exponential itself, correctly rounded
from the float argument on every platform, and so does the model; the whole
pool of 900 reflections is therefore kept.

Run from anywhere: python3 write_case.py
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
E2E = os.path.dirname(os.path.dirname(HERE))
TABLES = os.path.join(E2E, "tables")
sys.dont_write_bytecode = True

POOL = 900


class Sequence:
    """Park-Miller minimal standard generator: fixed on every platform."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = self.state * 16807 % 2147483647
        return self.state / 2147483647.0

    def pick(self, items):
        return items[int(self.next() * len(items))]


def structure():
    seq = Sequence(20240611)
    lines = ["10.1234 8.9417 7.0352 86.42 104.71 93.18"]
    species = ["Fe3", "Fe2", "Mn2", "Ni2", "Oxx", "Oxx", "Oxx", "Six", "Nax", "Clx", "Cxx", "Hxx"]
    magnetic = {"Fe3", "Fe2", "Mn2", "Ni2"}
    occupancies = ["1", "1", "1", "0.5", "0.75", "0.92", "0.333", "1.0"]
    atoms = []
    nmag = 0
    for i in range(56):
        symbol = species[i % len(species)] if i < 48 else seq.pick(species)
        x, y, z = (seq.next() for _ in range(3))
        occ = seq.pick(occupancies)
        biso = 0.15 + 1.45 * seq.next()
        flag = 0
        if symbol in magnetic and nmag < 10:
            flag = 1
            nmag += 1
        elif symbol in magnetic:
            flag = seq.pick([0, 2, -1])
        atoms.append("%s %.5f %.5f %.5f %s %.3f %d" % (symbol, x, y, z, occ, biso, flag))
    lines.append(str(len(atoms)))
    lines.extend(atoms)
    for _ in range(nmag):
        size = seq.pick(["4.6", "5", "3.2", "2.1", "0.85"])
        lines.append("%s %.2f %.2f" % (size, 360 * seq.next() - 90, 180 * seq.next()))
    refl = []
    for h in range(-2, 3):
        for k in range(-2, 3):
            for l in range(0, 3):
                refl.append("%d %d %d" % (h, k, l))
    fractions = ["0.5", "-0.5", "0.3333333", "1.25", "-1.5", "0.1", "2.75"]
    while len(refl) < POOL:
        parts = []
        for _ in range(3):
            if seq.next() < 0.3:
                parts.append(seq.pick(fractions))
            else:
                parts.append(str(int(seq.next() * 13) - 6))
        refl.append(" ".join(parts))
    return lines, refl


def answers(lines, refl):
    return "\n".join(lines + [str(len(refl))] + refl) + "\n"




def write(folder, text):
    with open(os.path.join(folder, "stdin.txt"), "w", newline="\n") as f:
        f.write(text)
    with open(os.path.join(folder, "stdin.txt"), "rb") as fin, \
            open(os.path.join(folder, "expected_stdout.txt"), "wb") as fout:
        subprocess.run([sys.executable, os.path.join(E2E, "reference_model.py"), TABLES],
                       stdin=fin, stdout=fout, check=True)


def main():
    lines, pool = structure()
    write(HERE, answers(lines, pool))


if __name__ == "__main__":
    main()
