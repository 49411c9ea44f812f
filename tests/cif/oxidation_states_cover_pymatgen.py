#!/usr/bin/env python3
"""The oxidation states a charge balance may try cover a standard list: every state of Debian's
python3-pymatgen (Element.common_oxidation_states and icsd_oxidation_states) and every ion of the
magnetic form-factor data is in src/cif/oxidation_states.cpp. Exits 77 without pymatgen."""
import csv
import os
import re
import sys

try:
    from pymatgen.core.periodic_table import Element
except ImportError:
    print("python3-pymatgen is not installed: the oxidation states are not compared")
    sys.exit(77)

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
source = open(os.path.join(ROOT, "src/cif/oxidation_states.cpp"), encoding="utf-8").read()
ours = {}
for symbol, states in re.findall(r'\{"([A-Z][a-z]?)", \{([-\d, ]+)\}\}', source):
    ours.setdefault(symbol, set()).update(int(q) for q in states.split(","))
wanted = {}
for z in range(1, 96):
    e = Element.from_Z(z)
    wanted[e.symbol] = set(e.common_oxidation_states) | set(e.icsd_oxidation_states)
with open(os.path.join(ROOT, "data/magnetic_form_factors.csv"), encoding="utf-8") as table:
    for row in csv.DictReader(table):
        symbol, charge = re.match(r"([A-Z][a-z]?)(\d)", row["label"]).groups()
        if int(charge) > 0:
            wanted.setdefault(symbol, set()).add(int(charge))
missing = {s: sorted(q - ours.get(s, set())) for s, q in wanted.items() if q - ours.get(s, set())}
for symbol, states in sorted(missing.items()):
    print("%s: %s missing" % (symbol, states))
print("%d elements compared, %d lack states" % (len(wanted), len(missing)))
sys.exit(1 if missing else 0)
