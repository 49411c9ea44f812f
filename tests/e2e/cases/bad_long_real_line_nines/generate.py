#!/usr/bin/env python3
"""Writes a 10 MB answer line for the lattice parameters: '4.' and ten million nines.
The answer is the valid real 4.999...9 (nearest single-precision value: 5) followed by 5 5 90 90 90;
the run then goes on exactly as for the answer 5 5 5 90 90 90 (no atoms, no reflections)."""
import os
import sys

EXPECTED = [
    ' Reading X-ray scattering coefficients',
    ' Reading neutron nuclear scattering coefficients',
    ' Reading neutron magnetic scattering coefficients',
    ' ---------------------------',
    ' Velmora',
    ' ---------------------------',
    ' Lattice params, a b c al be ga (angles in deg)',
    ' num atoms (in largest cell):',
    ' 5. 5. 5. 1.5707964 1.5707964 1.5707964',
    ' type x y z occ Biso Mag',
    ' pad type to 3 chars with x eg C = Cxx',
    ' write Fe2 for Fe2+ (for mag calc)',
    ' Found  0  mag atoms.',
    ' How many refns?',
    ' hkl (reals)',
    ' Cell in Cartesian',
    '  5.0000  0.0000  0.0000',
    ' -0.0000  5.0000  0.0000',
    ' -0.0000 -0.0000  5.0000',
    ' b x c, c x a, a x b',
    ' 25.0000  0.0000  0.0000',
    ' -0.0000 25.0000  0.0000',
    '  0.0000 -0.0000 25.0000',
    ' Cell vol, a.bxc 125.',
    ' Cell vol, b.cxa 125.',
    ' Cell vol, c.axb 125.',
    ' Recip cell, Cartesian',
    '  1.2566  0.0000  0.0000',
    ' -0.0000  1.2566  0.0000',
    '  0.0000 -0.0000  1.2566',
    ' Unit vectors for mag moments',
    ' Output:',
    ' ---------------------------',
    '    h    k    l      d     qx     qy     qz    |q|  |Fn|^2  |Fm|^2  |FX|^2',
]

out = sys.argv[1]
with open(os.path.join(out, "stdin.txt"), "wb") as f:
    f.write(b'4.' + b'9' * 10_000_000 + b" 5 5 90 90 90\n0\n0\n")
with open(os.path.join(out, "expected_stdout.txt"), "w", newline="\n") as f:
    f.write("\n".join(EXPECTED) + "\n")
