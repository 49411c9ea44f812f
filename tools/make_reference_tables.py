#!/usr/bin/env python3
"""Rebuilds velmora's three reference tables in data/ from Debian's packages.

  X-ray     International Tables for Crystallography Vol. C (1992), Table 6.1.1.4:
            a1 b1 a2 b2 a3 b3 a4 b4 c, from python3-cctbx (cctbx.eltbx.xray_scattering, it1992)
  neutron   bound coherent scattering lengths in fm, Sears, Neutron News 3 (1992) 26-37,
            from python3-cctbx (cctbx.eltbx.neutron); the real part where a length is complex
  magnetic  <j0> coefficients A a B b C c D, International Tables Vol. C, Table 4.4.5.1,
            from python3-periodictable (periodictable.magnetic_ff)

The choice of species, the labels and the row order are explained in data/README.md; this
script is their definition. Run it with Debian's interpreter, where those packages live:

  /usr/bin/python3 tools/make_reference_tables.py            writes the tables into data/
  /usr/bin/python3 tools/make_reference_tables.py --check    compares data/ with a fresh build
  /usr/bin/python3 tools/make_reference_tables.py --output DIR

--check exits 0 when the shipped files are byte for byte what the packages give, 1 when they
differ, and 77 (skipped) when python3-cctbx or python3-periodictable is not installed.
"""
import argparse
import os
import struct
import sys
from decimal import Decimal
from fractions import Fraction

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SKIPPED = 77

XRAY_FILE = "x-ray_coefficients_from_int_tables_edited.txt"
NEUTRON_FILE = "neutron_bcoh_from_international_tables_edited.txt"
MAGNETIC_FILE = "neutron_mag_from_international_tables_edited.txt"

XRAY_ROWS = 187  # rows velmora reads from the X-ray and the neutron file
MAGNETIC_ROWS = 95  # rows velmora reads from the magnetic file

# Entries of Table 6.1.1.4 that are not species but other curves for atoms already there
# (isolated H beside bonded H; C and Si in a valence state): they would also cut to labels
# (His, Cva, Siv) that nobody would guess.
XRAY_MODELS = {"Hiso", "Cval", "Sival"}

# Radioactive elements with a tabulated length but without a stable isotope or a use in
# ordinary samples; leaving out promethium keeps exactly 187 rows once deuterium is added.
LEFT_OUT_RADIOACTIVE = {"Pm", "Pm3+"}

# Rows after velmora's 187, read by the companions only: the elements beyond uranium whose ions
# have magnetic form factors, with every X-ray curve Table 6.1.1.4 gives them. The package's
# neutron table ends at uranium; their lengths are Sears' for the isotope named, as
# python3-periodictable holds them (the only long-lived Np isotope made in quantity; 239Pu, the
# isotope of ordinary plutonium; 243Am, the longer-lived of the two americium isotopes listed).
# The isotope is written after the length, for the companions to name.
BEYOND_URANIUM = {"Np": 237, "Pu": 239, "Am": 243}

# Deuterium: a neutron length of its own; for X-rays it is hydrogen (same electrons), so its
# row takes the coefficients of H.
DEUTERIUM, DEUTERIUM_XRAY = "D", "H"

XRAY_HEADER = (
    "label a1 b1 a2 b2 a3 b3 a4 b4 c | X-ray form factors, International Tables for "
    "Crystallography Vol. C (1992) Table 6.1.1.4, as in cctbx.eltbx.xray_scattering (it1992); "
    "see data/README.md"
)
NEUTRON_HEADER = (
    "label b/fm | bound coherent scattering length (real part), V. F. Sears, Neutron News 3 "
    "(1992) 26-37, as in cctbx.eltbx.neutron; see data/README.md"
)
MAGNETIC_HEADER = (
    "label A a B b C c D | <j0> magnetic form factors, International Tables for "
    "Crystallography Vol. C, Table 4.4.5.1, as in periodictable.magnetic_ff; only the first "
    "95 rows are read; see data/README.md"
)


# --- numbers -------------------------------------------------------------------------------

def float32(value):
    """The single-precision number nearest to a Python float (round to nearest even)."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


def nearest_float32(text):
    """The single-precision number nearest to the exact decimal value of text.

    Converting text to double first and then to single could round twice; velmora converts
    the digits exactly, so this does too: the answer is one of the neighbours of the double.
    """
    exact = Fraction(Decimal(text))
    guess = float32(float(text))
    bits = struct.unpack("<I", struct.pack("<f", guess))[0]
    candidates = [guess]
    for step in (-1, 1):
        neighbour_bits = bits + step  # the neighbours in magnitude, whatever the sign
        if (neighbour_bits & 0x7FFFFFFF) < 0x7F800000 and (neighbour_bits ^ bits) >> 31 == 0:
            candidates.append(struct.unpack("<f", struct.pack("<I", neighbour_bits))[0])

    def key(candidate):
        even = struct.unpack("<I", struct.pack("<f", candidate))[0] & 1
        return (abs(Fraction(candidate) - exact), even)

    return min(candidates, key=key)


def shortest_text(value):
    """Fewest significant digits, written without exponent, that read back as float32(value)."""
    target = float32(value)
    if target == 0.0:
        return "0"
    for digits in range(1, 10):
        text = format(Decimal("%.*e" % (digits - 1, target)), "f")
        if nearest_float32(text) == target:
            return text
    raise ValueError(f"no 9-digit form reads back as {target!r}")


# --- labels --------------------------------------------------------------------------------

def split_species(name):
    """'Fe2+' -> ('Fe', '2+'); 'Fe' -> ('Fe', ''); 'O2-' -> ('O', '2-')."""
    for i, ch in enumerate(name):
        if ch.isdigit():
            return name[:i], name[i:]
    return name, ""


def label_of(symbol, charge):
    """The three-character label: x-padded symbol for an atom, symbol + charge cut to three
    characters for an ion (Fe2+ -> Fe2, O2- -> O2-, V3+ -> V3+, Cl1- -> Cl1)."""
    if not charge:
        return (symbol + "xx")[:3]
    return (symbol + charge)[:3]


def check_unique(rows, what):
    seen = {}
    for label, species, *_ in rows:
        if label in seen:
            raise SystemExit(f"{what}: {species} and {seen[label]} would share the label {label}")
        seen[label] = species


# --- the three tables ----------------------------------------------------------------------

def xray_and_neutron_rows():
    """Rows (label, species, [9 X-ray coefficients], length in fm), in the order of Table
    6.1.1.4 (by atomic number, the atom before its ions), deuterium right after hydrogen."""
    from cctbx.eltbx import neutron, xray_scattering

    lengths = {}
    for entry in neutron.neutron_news_1992_table_iterator():
        lengths[entry.label()] = entry.bound_coh_scatt_length().real

    def coefficients(name):
        gaussians = xray_scattering.it1992(name, True).fetch()
        a, b = gaussians.array_of_a(), gaussians.array_of_b()
        return [a[0], b[0], a[1], b[1], a[2], b[2], a[3], b[3], gaussians.c()]

    rows = []
    for entry in xray_scattering.it1992_iterator():
        name = entry.label()
        if name in XRAY_MODELS or name in LEFT_OUT_RADIOACTIVE or name not in lengths:
            continue
        symbol, charge = split_species(name)
        rows.append((label_of(symbol, charge), name, coefficients(name), lengths[name]))
        if name == DEUTERIUM_XRAY:
            rows.append((label_of(DEUTERIUM, ""), DEUTERIUM, coefficients(DEUTERIUM_XRAY),
                         lengths[DEUTERIUM]))
    if len(rows) != XRAY_ROWS:
        raise SystemExit(f"X-ray/neutron table: {len(rows)} species, velmora reads {XRAY_ROWS}")
    rows += rows_beyond_uranium(coefficients)
    check_unique(rows, "X-ray/neutron table")
    return rows


def rows_beyond_uranium(coefficients):
    """Rows (label, species, [9 X-ray coefficients], length in fm, isotope) of the elements
    after uranium, each atom before its ions, an ion with its element's length."""
    import periodictable
    from cctbx.eltbx import xray_scattering

    rows = []
    for entry in xray_scattering.it1992_iterator():
        name = entry.label()
        symbol, charge = split_species(name)
        if symbol not in BEYOND_URANIUM:
            continue
        element = periodictable.elements.symbol(symbol)
        isotope = element[BEYOND_URANIUM[symbol]]
        if isotope.neutron.b_c != element.neutron.b_c:
            raise SystemExit(f"{symbol}: the package's length is not that of {isotope}")
        rows.append((label_of(symbol, charge), name, coefficients(name), isotope.neutron.b_c,
                     f"{BEYOND_URANIUM[symbol]}{symbol}"))
    return rows


def magnetic_rows(usable_labels):
    """Rows (label, species, [A a B b C c D]): first every species that also has an X-ray and
    a neutron row (usable in velmora), then the others, each group in the order of Table
    4.4.5.1 (3d, 4d, 4f, 5f; by atomic number and charge)."""
    import periodictable

    entries = []
    for element in periodictable.elements:
        for charge, factor in sorted(getattr(element, "magnetic_ff", {}).items()):
            if not hasattr(factor, "j0"):
                continue
            if element.symbol == "O":
                # Not an entry of Table 4.4.5.1 (a later addition of the package's source,
                # with no sign given to its charge): left out.
                continue
            text = f"{charge}+" if charge else ""
            entries.append((label_of(element.symbol, text), element.symbol + text,
                            list(factor.j0)))
    check_unique(entries, "magnetic table")
    usable = [row for row in entries if row[0] in usable_labels]
    other = [row for row in entries if row[0] not in usable_labels]
    rows = usable + other
    if len(rows) < MAGNETIC_ROWS:
        raise SystemExit(f"magnetic table: {len(rows)} species, velmora reads {MAGNETIC_ROWS}")
    return rows, len(usable)


def render(header, rows):
    lines = [header]
    for label, values, *note in rows:
        lines.append((f"{label:<4}" + "".join(f"{shortest_text(v):>11}" for v in values) +
                      "".join(f"  {n}" for n in note)).rstrip())
    return "\n".join(lines) + "\n"


def build():
    """The three files as texts, keyed by file name."""
    rows = xray_and_neutron_rows()
    mag, _ = magnetic_rows({label for label, *_ in rows[:XRAY_ROWS]})
    return {
        XRAY_FILE: render(XRAY_HEADER, [(label, x) for label, _, x, *_ in rows]),
        NEUTRON_FILE: render(NEUTRON_HEADER, [(label, [b], *isotope) for label, _, _, b, *isotope in rows]),
        MAGNETIC_FILE: render(MAGNETIC_HEADER, [(label, m) for label, _, m in mag]),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true",
                        help="compare the files in --output with a fresh build")
    parser.add_argument("--output", default=os.path.join(REPO, "data"))
    args = parser.parse_args()

    try:
        import cctbx.eltbx.xray_scattering  # noqa: F401
        import periodictable  # noqa: F401
    except ImportError as error:
        print(f"SKIPPED: needs Debian's python3-cctbx and python3-periodictable ({error}); "
              f"run with /usr/bin/python3 once they are installed")
        return SKIPPED if args.check else 2

    texts = build()
    if args.check:
        differ = []
        for name, text in texts.items():
            path = os.path.join(args.output, name)
            shipped = open(path, "rb").read() if os.path.exists(path) else None
            if shipped != text.encode():
                differ.append(name)
        for name in differ:
            print(f"{name}: differs from what the packages give; rebuild with "
                  f"/usr/bin/python3 tools/make_reference_tables.py")
        if not differ:
            print(f"{len(texts)} tables agree with the packages")
        return 1 if differ else 0

    os.makedirs(args.output, exist_ok=True)
    for name, text in texts.items():
        with open(os.path.join(args.output, name), "w", newline="\n") as f:
            f.write(text)
        print(f"wrote {os.path.join(args.output, name)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
