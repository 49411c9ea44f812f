#!/usr/bin/env python3
"""Independent model of what one velmora run prints on standard output.

Usage:  reference_model.py TABLES_DIR < stdin.txt > expected_stdout.txt

The model reads the three data files from TABLES_DIR and the answers from
standard input, and prints what velmora prints: the table progress lines,
the banner and dialogue, the geometry blocks, the moment rows and the
reflection report (or the unknown-symbol message that stops a run).

Single precision is emulated: every stored value is rounded to binary32;
each formula is evaluated in Python floats (binary64) in the order of
operations the program uses; sine, cosine and exponential of a binary32
argument are taken in binary64 and rounded to binary32, that is correctly
rounded, as velmora's own single-precision functions are.

Only runs that end with exit status 0 are modelled. A read that velmora
would reject makes the model stop with a message on standard error and
exit status 2 (the diagnostic itself is not modelled).

Pure standard library, so it runs wherever the test runner runs.
"""
import math
import os
import re
import struct
import sys
from decimal import Decimal, ROUND_CEILING, ROUND_FLOOR, ROUND_HALF_EVEN, localcontext
from fractions import Fraction

INF = float("inf")
NAN = float("nan")

# ---------------------------------------------------------------------------
# binary32 arithmetic helpers
# ---------------------------------------------------------------------------


def f32(x):
    """Round a binary64 value to the nearest binary32 (ties to even)."""
    try:
        return struct.unpack("<f", struct.pack("<f", x))[0]
    except OverflowError:
        return math.copysign(INF, x)


def f32_bits(bits):
    return struct.unpack("<f", struct.pack("<I", bits))[0]


def div(a, b):
    """IEEE division (Python raises on a zero divisor)."""
    try:
        return a / b
    except ZeroDivisionError:
        if a == 0 or math.isnan(a):
            return NAN
        return math.copysign(INF, a) * math.copysign(1.0, b)


def sqrt(x):
    if math.isnan(x):
        return NAN
    if x < 0:
        return NAN
    return math.sqrt(x)


def sinf(x):
    try:
        return f32(math.sin(x))
    except ValueError:
        return NAN


def cosf(x):
    try:
        return f32(math.cos(x))
    except ValueError:
        return NAN


def expf(x):
    try:
        return f32(math.exp(x))
    except OverflowError:
        return INF


def dec_to_f32(value):
    """Exact rational -> nearest binary32, ties to even (Fraction in, float out)."""
    if value == 0:
        return 0.0
    sign = -1.0 if value < 0 else 1.0
    v = abs(value)
    # exponent e with 2**e <= v < 2**(e+1)
    e = v.numerator.bit_length() - v.denominator.bit_length()
    if Fraction(2) ** e > v:
        e -= 1
    elif Fraction(2) ** (e + 1) <= v:
        e += 1
    q = max(e, -126) - 23
    scaled = v / (Fraction(2) ** q)
    n = scaled.numerator // scaled.denominator
    rest = scaled - n
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and n % 2 == 1):
        n += 1
    if q >= 0:
        result = Fraction(n * 2 ** q)
    else:
        result = Fraction(n, 2 ** (-q))
    if result >= Fraction(2) ** 128:
        return sign * INF
    return sign * float(result)


# ---------------------------------------------------------------------------
# Reading: free-form input
# ---------------------------------------------------------------------------


class ReadFailure(Exception):
    pass


BLANKS = " \t\r\n"
SEPARATORS = " \t\r\n,/"
BLANK_RUN = re.compile(r"[ \t\r\n]*")
TOKEN_RUN = re.compile(r"[^ \t\r\n,/]*")

REAL_RE = re.compile(r"^([+-]?)(\d*)(?:\.(\d*))?(?:(?:[EeDd]([+-]?\d+))|([+-]\d+))?$")


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def peek(self):
        return self.data[self.pos] if self.pos < len(self.data) else None

    def skip_blanks(self):
        self.pos = BLANK_RUN.match(self.data, self.pos).end()

    def rest_of_line(self):
        nl = self.data.find("\n", self.pos)
        self.pos = len(self.data) if nl < 0 else nl + 1

    def token(self):
        start = self.pos
        self.pos = TOKEN_RUN.match(self.data, self.pos).end()
        return self.data[start:self.pos]

    def value(self, kind, item):
        c = self.peek()
        if c is None:
            raise ReadFailure("End of file")
        if c in SEPARATORS:
            return None  # null value
        if kind == "text" and c in "'\"":
            self.pos += 1
            out = []
            while True:
                ch = self.peek()
                if ch is None:
                    raise ReadFailure("End of file")
                self.pos += 1
                if ch == c:
                    if self.peek() == c:
                        out.append(c)
                        self.pos += 1
                        continue
                    break
                if ch == "\n":
                    if out and out[-1] == "\r":
                        out.pop()
                    continue
                out.append(ch)
            return "".join(out)[:3].ljust(3)
        tok = self.token()
        if kind == "text":
            return tok[:3].ljust(3)
        if kind == "int":
            if not re.fullmatch(r"[+-]?\d+", tok):
                raise ReadFailure("Bad integer for item %d in list input" % item)
            n = int(tok)
            if abs(n) > 2147483647:
                raise ReadFailure("Integer overflow while reading item %d" % item)
            return n
        return parse_real(tok, item)

    def read(self, kinds):
        """One free-form read; returns one value per target, None = unchanged."""
        out = []
        done = False
        pending = 0
        pending_value = None
        pending_kind = None
        for index, kind in enumerate(kinds):
            item = index + 1
            if done:
                out.append(None)
                continue
            if pending > 0:
                if pending_value is not None and pending_kind != kind:
                    raise ReadFailure("Read type where another was expected for item %d" % item)
                out.append(pending_value)
                pending -= 1
                continue
            self.skip_blanks()
            if index == 0:
                if self.peek() is None:
                    raise ReadFailure("End of file")
            else:
                if self.peek() == ",":
                    self.pos += 1
                    self.skip_blanks()
                elif self.peek() == "/":
                    self.pos += 1
                    done = True
                    out.append(None)
                    continue
            m = re.match(r"\d+\*", self.data[self.pos:self.pos + 12])
            if m:
                r = int(m.group(0)[:-1])
                if r == 0:
                    raise ReadFailure("Zero repeat count in item %d of list input" % item)
                if r > 200000000:
                    raise ReadFailure("Repeat count overflow in item %d of list input" % item)
                self.pos += len(m.group(0))
                c = self.peek()
                if c is None or c in SEPARATORS:
                    v = None
                else:
                    v = self.value(kind, item)
                out.append(v)
                pending, pending_value, pending_kind = r - 1, v, kind
                continue
            out.append(self.value(kind, item))
        self.rest_of_line()
        return out


def parse_real(tok, item):
    low = tok.lower()
    body = low.lstrip("+-")
    if len(low) - len(body) > 1:
        raise ReadFailure("Bad real number in item %d of list input" % item)
    negative = low.startswith("-")
    if body.startswith("i"):
        if body in ("inf", "infinity"):
            return -INF if negative else INF
        raise ReadFailure("Bad infinity in item %d of list input" % item)
    if body.startswith("n"):
        if body == "nan":
            return NAN
        raise ReadFailure("Bad not-a-number in item %d of list input" % item)
    m = REAL_RE.match(tok)
    if not m or (m.group(2) == "" and not m.group(3)):
        raise ReadFailure("Bad real number in item %d of list input" % item)
    sign, whole, frac, exp1, exp2 = m.groups()
    frac = frac or ""
    exp_text = (exp1 or exp2 or "0").lstrip("+-").lstrip("0") or "0"
    exp_sign = -1 if (exp1 or exp2 or "").startswith("-") else 1
    digits = (whole + frac).lstrip("0")
    if not digits:
        result = 0.0
    elif len(exp_text) > 12:  # far beyond the single-precision range either way
        result = INF if exp_sign > 0 else 0.0
    else:
        scale = exp_sign * int(exp_text) - len(frac)
        stripped = digits.rstrip("0")
        scale += len(digits) - len(stripped)
        digits = stripped
        if len(digits) > 800:  # keep enough digits to round, plus a sticky one
            rest = digits[800:]
            digits = digits[:800] + "1"
            scale += len(rest) - 1
        leading = scale + len(digits) - 1  # decimal exponent of the first digit
        if leading > 60:
            result = INF
        elif leading < -60:
            result = 0.0
        else:
            result = dec_to_f32(Fraction(int(digits)) * Fraction(10) ** scale)
    if sign == "-":
        result = -result if result != 0 else -0.0
    return result


# ---------------------------------------------------------------------------
# Printing
# ---------------------------------------------------------------------------


def shortest_digits(x):
    """x > 0 finite binary32: (digit string, decimal exponent of first digit)."""
    exact = Decimal(x)
    with localcontext() as ctx:
        ctx.prec = 200
        for p in range(1, 10):
            e = exact.adjusted()
            quantum = Decimal(1).scaleb(e - p + 1)
            lo = exact.quantize(quantum, rounding=ROUND_FLOOR)
            hi = exact.quantize(quantum, rounding=ROUND_CEILING)
            good = [c for c in (lo, hi) if c != 0 and dec_to_f32(Fraction(c)) == x]
            if not good:
                continue
            if len(good) == 2 and lo != hi:
                dlo, dhi = exact - lo, hi - exact
                chosen = lo if dlo < dhi else hi
            else:
                chosen = good[0]
            sign, digs, expo = chosen.normalize().as_tuple()
            digits = "".join(map(str, digs))
            return digits, expo + len(digits) - 1
    raise AssertionError("no shortest digits for %r" % x)


def free_real(x):
    if math.isnan(x):
        return "NaN"
    if math.isinf(x):
        return "+Inf" if x > 0 else "-Inf"
    sign = "-" if math.copysign(1.0, x) < 0 else ""
    if x == 0:
        digits, e = "0", 0
    else:
        digits, e = shortest_digits(abs(x))
    n = len(digits)
    if 0 <= e <= 6:
        if n <= e:
            body = digits + "0" * (e + 1 - n) + "."
        else:
            body = digits[:e + 1] + "." + digits[e + 1:]
    elif -6 <= e <= -1:
        body = "0." + "0" * (-e - 1) + digits
    else:
        body = digits[0] + "." + digits[1:] + "E" + ("+" if e > 0 else "-") + str(abs(e))
    return sign + body


OUT = []
RESULTS = []  # per-reflection values, for scripts that import this model


def free_line(*items):
    """Items: ('t', text) | ('i', int) | ('r', real)."""
    parts = []
    prev = None
    for kind, v in items:
        if prev is not None and not (prev == "t" and kind == "t"):
            parts.append(" ")
        if kind == "t":
            parts.append(v)
        elif kind == "i":
            parts.append(str(v))
        else:
            parts.append(free_real(v))
        prev = kind
    OUT.append(" " + "".join(parts))


def text(s):
    free_line(("t", s))


def fixed_point(x, w, d):
    if math.isnan(x):
        return "NaN".rjust(w)
    if math.isinf(x):
        s = "+Inf" if x > 0 else "-Inf"
        if w == 3 and x > 0:
            s = "Inf"
        return s.rjust(w)
    neg = math.copysign(1.0, x) < 0
    with localcontext() as ctx:
        ctx.prec = 200
        r = Decimal(abs(x)).quantize(Decimal(1).scaleb(-d), rounding=ROUND_HALF_EVEN)
    body = format(r, "f")
    if "." not in body:
        body += "."
    s = ("-" if neg else "") + body
    if len(s) > w:
        lead = 1 if neg else 0
        if len(s) == w + 1 and s[lead] == "0":
            s = s[:lead] + s[lead + 1:]
        else:
            return "*" * w
    return s.rjust(w)


def int_field(n, w):
    s = str(n)
    return "*" * w if len(s) > w else s.rjust(w)


def fixed_line(fields):
    OUT.append("".join(fields))


def vec_line(v):
    fixed_line([fixed_point(c, 8, 4) for c in v])


class Stop(Exception):
    pass


# ---------------------------------------------------------------------------
# The run
# ---------------------------------------------------------------------------

XRAY = "x-ray_coefficients_from_int_tables_edited.txt"
NEUTRON = "neutron_bcoh_from_international_tables_edited.txt"
MAGNETIC = "neutron_mag_from_international_tables_edited.txt"


def load_tables(folder):
    def open_reader(name):
        with open(os.path.join(folder, name), "rb") as f:
            r = Reader(f.read().decode("latin-1"))
        r.rest_of_line()  # header line
        return r

    r = open_reader(XRAY)
    text("Reading X-ray scattering coefficients")
    ion, xsf = [], []
    for _ in range(187):
        v = r.read(["text"] + ["real"] * 9)
        ion.append(v[0] if v[0] is not None else "   ")
        xsf.append([0.0 if a is None else a for a in v[1:]])
    r = open_reader(NEUTRON)
    text("Reading neutron nuclear scattering coefficients")
    tenth = f32_bits(0x3DCCCCCD)
    nion, bcoh = [], []
    for row in range(187):
        v = r.read(["text", "real"])
        label = v[0] if v[0] is not None else "   "
        nion.append(label)
        bcoh.append(f32((0.0 if v[1] is None else v[1]) * tenth))
        if label != ion[row]:
            free_line(("t", label), ("t", ion[row]), ("t", "!!!!!"))
            text("Labels in x-ray scatt factor file must agree with")
            text("those in neutron scattering length file")
            raise Stop()
    r = open_reader(MAGNETIC)
    text("Reading neutron magnetic scattering coefficients")
    mion, msf = [], []
    for _ in range(95):
        v = r.read(["text"] + ["real"] * 7)
        mion.append(v[0] if v[0] is not None else "   ")
        msf.append([0.0 if a is None else a for a in v[1:]])
    return ion, xsf, nion, bcoh, mion, msf


def keep(old, new):
    return old if new is None else new


def lookup(symbol, labels):
    found = -1
    for row, label in enumerate(labels):
        if label == symbol:
            found = row
    if found < 0:
        free_line(("t", symbol), ("t", " is unknown symbol"))
        raise Stop()
    return found


def run(tables_dir, answers):
    ion, xsf, nion, bcoh, mion, msf = load_tables(tables_dir)
    pi = f32_bits(0x40490FDB)
    eg2mc = f32_bits(0x3E8A3D71)
    two_pi = pi + pi
    four_pi = pi * 4

    def rad(deg):
        return f32(deg * pi / 180)

    rd = Reader(answers)
    rule = "-" * 27
    text(rule)
    text("Velmora")
    text(rule)
    text("Lattice params, a b c al be ga (angles in deg)")
    param = [keep(0.0, v) for v in rd.read(["real"] * 6)]
    text("num atoms (in largest cell):")
    natom = keep(0, rd.read(["int"])[0])
    for k in (3, 4, 5):
        param[k] = rad(param[k])
    free_line(*[("r", v) for v in param])
    text("type x y z occ Biso Mag")
    text("pad type to 3 chars with x eg C = Cxx")
    text("write Fe2 for Fe2+ (for mag calc)")
    atoms = []  # (symbol, [x, y, z], occ, biso)
    mags = []
    for _ in range(max(natom, 0)):
        v = rd.read(["text", "real", "real", "real", "real", "real", "int"])
        symbol = keep("   ", v[0])
        xyz = [keep(0.0, a) for a in v[1:4]]
        occ = keep(0.0, v[4])
        biso = keep(0.0, v[5])
        mflag = keep(-999, v[6])
        atoms.append((symbol, xyz, occ, biso))
        if mflag == 1:
            mags.append((symbol, xyz, occ, biso))
    nmag = len(mags)
    free_line(("t", "Found "), ("i", nmag), ("t", " mag atoms."))
    if nmag > 0:
        text("So specify their moments...")
        text("moment (mu_B), angle to x, angle to z")
        text("where x is along a and z is along c*")
    moments = []
    for _ in range(nmag):
        v = rd.read(["real"] * 3)
        moments.append([keep(0.0, a) for a in v])
    for m in moments:
        m[1] = rad(m[1])
        m[2] = rad(m[2])
    text("How many refns?")
    nrefn = keep(0, rd.read(["int"])[0])
    text("hkl (reals)")
    refl = []
    for _ in range(max(nrefn, 0)):
        refl.append([keep(0.0, a) for a in rd.read(["real"] * 3)])

    # cell geometry
    a, b, c, al, be, ga = param
    sg = sinf(ga)
    sa2 = f32(sinf(al) * sinf(al))
    sb2 = f32(sinf(be) * sinf(be))
    sg2 = f32(sinf(ga) * sinf(ga))
    ca2 = f32(cosf(al) * cosf(al))
    cb2 = f32(cosf(be) * cosf(be))
    cg2 = f32(cosf(ga) * cosf(ga))
    ca, cb, cg = cosf(al), cosf(be), cosf(ga)
    ccel = [
        [a, 0.0, 0.0],
        [f32(b * cg), f32(b * sg), 0.0],
        [f32(c * cb),
         f32(div(c * (ca - cb * cg), sg)),
         f32(div(c * sqrt(1 - ca2 - cb2 - cg2 + 2 * ca * cb * cg), sg))],
    ]
    text("Cell in Cartesian")
    for row in ccel:
        vec_line(row)

    def cross(p, q):
        return [f32(p[1] * q[2] - p[2] * q[1]),
                f32(p[2] * q[0] - p[0] * q[2]),
                f32(p[0] * q[1] - p[1] * q[0])]

    def dot(p, q):
        return f32(p[0] * q[0] + p[1] * q[1] + p[2] * q[2])

    axb = cross(ccel[0], ccel[1])
    bxc = cross(ccel[1], ccel[2])
    cxa = cross(ccel[2], ccel[0])
    text("b x c, c x a, a x b")
    for v in (bxc, cxa, axb):
        vec_line(v)
    cvol = dot(ccel[0], bxc)
    free_line(("t", "Cell vol, a.bxc"), ("r", cvol))
    cvol = dot(ccel[1], cxa)
    free_line(("t", "Cell vol, b.cxa"), ("r", cvol))
    cvol = dot(ccel[2], axb)
    free_line(("t", "Cell vol, c.axb"), ("r", cvol))
    crec = [[f32(div(two_pi * comp, cvol)) for comp in v] for v in (bxc, cxa, axb)]
    text("Recip cell, Cartesian")
    for row in crec:
        vec_line(row)

    # moment directions
    text("Unit vectors for mag moments")
    umom = []
    for m, (mom, theta, phi) in enumerate(moments, start=1):
        u = [f32(sinf(phi) * cosf(theta)), f32(sinf(phi) * sinf(theta)), cosf(phi)]
        umom.append(u)
        fixed_line([int_field(m, 3)] + [fixed_point(t, 8, 4) for t in u])

    # report
    text("Output:")
    text(rule)
    fixed_line([t.rjust(w) for t, w in (("h", 5), ("k", 5), ("l", 5), ("d", 7), ("qx", 7),
                                        ("qy", 7), ("qz", 7), ("|q|", 7), ("|Fn|^2", 8),
                                        ("|Fm|^2", 8), ("|FX|^2", 8))])
    for h in refl:
        r = reflection(h, a, b, c, ca, cb, cg, ca2, cb2, cg2, sa2, sb2, sg2, crec,
                       atoms, mags, moments, umom, nion, bcoh, xsf, mion, msf,
                       two_pi, four_pi, eg2mc)
        RESULTS.append(r)
        fixed_line([fixed_point(h[0], 5, 1), fixed_point(h[1], 5, 1), fixed_point(h[2], 5, 1),
                    fixed_point(r["d"], 7, 3),
                    fixed_point(r["q"][0], 7, 3), fixed_point(r["q"][1], 7, 3),
                    fixed_point(r["q"][2], 7, 3), fixed_point(r["kappa"], 7, 3),
                    fixed_point(r["fn2"], 8, 3), fixed_point(r["fm2"], 8, 3),
                    fixed_point(r["fx2"], 12, 3)])


def reflection(h, a, b, c, ca, cb, cg, ca2, cb2, cg2, sa2, sb2, sg2, crec,
               atoms, mags, moments, umom, nion, bcoh, xsf, mion, msf,
               two_pi, four_pi, eg2mc):
    """One pass of the reflection loop; returns the printed values (and more)."""
    hh, kk, ll = h
    q = [f32(hh * crec[0][t] + kk * crec[1][t] + ll * crec[2][t]) for t in range(3)]
    qmag = f32(sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]))
    uq = [f32(div(t, qmag)) for t in q]
    d1 = f32(div(hh * hh * sa2, a * a))
    d2 = f32(div(kk * kk * sb2, b * b))
    d3 = f32(div(ll * ll * sg2, c * c))
    d4 = f32(div(2 * hh * kk * (ca * cb - cg), a * b))
    d5 = f32(div(2 * kk * ll * (cb * cg - ca), b * c))
    d6 = f32(div(2 * ll * hh * (cg * ca - cb), c * a))
    d7 = f32(1 - ca2 - cb2 - cg2)
    d8 = f32(2 * ca * cb * cg)
    inv_d = f32(sqrt(div(d1 + d2 + d3 + d4 + d5 + d6, d7 + d8)))
    d = f32(div(1.0, inv_d))
    kappa = f32(div(two_pi, d))
    s = f32(kappa / four_pi)

    def phase_and_dw(xyz, biso):
        hx = 0.0
        for k in range(3):
            hx = f32(hx + h[k] * xyz[k])
        dw = expf(f32(div(-biso * kappa * kappa, four_pi * four_pi)))
        angle = f32(two_pi * hx)
        return cosf(angle), sinf(angle), dw

    frn = fin = xrn = xin = 0.0
    for symbol, xyz, occ, biso in atoms:
        row = lookup(symbol, nion)
        rpart, ipart, dw = phase_and_dw(xyz, biso)
        frn = f32(frn + bcoh[row] * rpart * dw * occ)
        fin = f32(fin + bcoh[row] * ipart * dw * occ)
        x = xsf[row]
        formf = f32(x[0] * expf(f32(-(x[1] * s * s))) + x[2] * expf(f32(-(x[3] * s * s)))
                    + x[4] * expf(f32(-(x[5] * s * s))) + x[6] * expf(f32(-(x[7] * s * s)))
                    + x[8])
        xrn = f32(xrn + rpart * formf * dw * occ)
        xin = f32(xin + ipart * formf * dw * occ)

    ar = [0.0, 0.0, 0.0]
    ai = [0.0, 0.0, 0.0]
    for i, (symbol, xyz, occ, biso) in enumerate(mags):
        row = lookup(symbol, mion)
        rpart, ipart, dw = phase_and_dw(xyz, biso)
        m = msf[row]
        formf = f32(m[0] * expf(f32(-(m[1] * s * s))) + m[2] * expf(f32(-(m[3] * s * s)))
                    + m[4] * expf(f32(-(m[5] * s * s))) + m[6])
        mom = moments[i][0]
        u = umom[i]
        for t in range(3):
            ar[t] = f32(ar[t] + rpart * formf * mom * occ * u[t] * dw)
        for t in range(3):
            ai[t] = f32(ai[t] + ipart * formf * mom * occ * u[t] * dw)
    edotpreal = f32(uq[0] * ar[0] + uq[1] * ar[1] + uq[2] * ar[2])
    edotpimag = f32(uq[0] * ai[0] + uq[1] * ai[1] + uq[2] * ai[2])
    edotpsquared = f32(edotpreal * edotpreal + edotpimag * edotpimag)
    psquared = f32(ar[0] * ar[0] + ar[1] * ar[1] + ar[2] * ar[2]
                   + ai[0] * ai[0] + ai[1] * ai[1] + ai[2] * ai[2])
    difference = psquared - edotpsquared
    clamped = difference
    if not math.isnan(difference) and difference < 0:
        clamped = 0.0  # a rounding residue below zero counts as zero
    fmag = f32(f32(sqrt(clamped)) * eg2mc)

    fnucl = f32(sqrt(frn * frn + fin * fin))
    result = {
        "d": d, "q": q, "kappa": kappa, "s": s, "qmag": qmag, "uq": uq,
        "fn2": f32(fnucl * fnucl), "fm2": f32(fmag * fmag), "fx2": f32(xrn * xrn + xin * xin),
        "psquared": psquared, "edotpsquared": edotpsquared, "difference": difference,
        "unclamped_fm2": f32(f32(f32(sqrt(difference)) * eg2mc) ** 2),
    }
    return result


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: reference_model.py TABLES_DIR < stdin.txt\n")
        return 64
    answers = sys.stdin.buffer.read().decode("latin-1")
    status = 0
    try:
        run(argv[1], answers)
    except Stop:
        pass
    except ReadFailure as failure:
        sys.stderr.write("reference model: run would fail: %s\n" % failure)
        status = 2
    out = sys.stdout.buffer
    out.write("".join(line + "\n" for line in OUT).encode("latin-1"))
    out.flush()
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
