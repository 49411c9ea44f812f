#!/usr/bin/python3
"""The peer of bench/powder_refine_bench.sh: velmora-powder's refinement of the workload
(bench/make_powder_workload.py) written again with numpy and scipy.optimize.least_squares
(method "lm", MINPACK's Levenberg-Marquardt), from the same start, and printed beside
velmora-powder's result.

  powder_refine_peer.py WORK_DIR

WORK_DIR holds pattern.xye, truth.json, refl.csv (velmora-powder's --reflections of the start
crystal: the peaks its refinement sums, with their fixed |FX|^2), fit0.json (the fit of scale,
zero and background the refinement starts from) and fit.json (velmora-powder's refinement).

The model is velmora-powder's (src/rietveld/pattern_model.cpp, src/powder/peak_shape.cpp):
the equivalent reflections of 2/m (b unique) summed into one peak of fixed weight sum |FX|^2;
Bragg's law on the refined cell for each line of the source (Kalpha2 at its wavelength's ratio
to Kalpha1 and half its intensity); area = ratio x weight / (sin^2 theta cos theta) x (1 +
cos^2 2theta) / 2; 2theta_obs = 2theta + zero + D cos theta; the Thompson-Cox-Hastings
pseudo-Voigt (Thompson, Cox & Hastings, J. Appl. Cryst. 20 (1987) 79) with Gaussian FWHM^2 =
U tan^2 theta + V tan theta + W (Caglioti, Paoletti & Ricci, Nucl. Instrum. 3 (1958) 223) and
Lorentzian FWHM X tan theta + Y / cos theta, the Gaussian cut at 6 sigma, the peak summed within
max(6 sigma, 200 FWHM) of its centre; background sum c_j T_j(u) over the measured range; the
refinement first with the widths fixed, then all 24 parameters (as velmora-powder does,
after McCusker et al., J. Appl. Cryst. 32 (1999) 36). Differences that remain: the peer's
weights come from the file's sigma as velmora-powder's do, but it puts no bounds on X and Y
(velmora-powder holds them at 0 or above; neither ends there), and its derivatives of the
eleven non-linear parameters are forward differences (velmora-powder's are analytic but for
the cell's, which it takes by central differences); the scale and background columns are
analytic in both. The esd's are sqrt(diag (J'WJ)^-1 chi2/(N-P)), as velmora-powder gives them.
"""
import csv, json, math, os, sys, time

try:
    import numpy as np
    import scipy
    from scipy.optimize import least_squares
except ImportError as missing:
    print(f"scipy peer skipped: {missing.name} is not installed (Debian: python3-scipy)")
    sys.exit(0)

NAMES = (["scale", "zero", "displacement", "cell.a", "cell.b", "cell.c", "cell.beta"] +
         ["profile." + n for n in "UVWXY"] + ["background.%d" % k for k in range(12)])
NONLINEAR = range(1, 12)
WIDTHS = range(7, 12)
FWHM_PER_SIGMA = 2 * math.sqrt(2 * math.log(2))
NARROWEST_FWHM = 1e-4  # velmora-powder's floor under the Gaussian width


def read_groups(path):
    """Each peak group's representative h k l and weight (sum |FX|^2 of its equivalents), and the
    source lines as (wavelength factor, ratio), from the reflections table."""
    with open(path) as f:
        rows = [r for r in csv.DictReader(row for row in f if not row.startswith("#"))]
    waves = sorted({float(r["wavelength_angstrom"]) for r in rows})
    first = float(rows[0]["wavelength_angstrom"])
    lines = []
    for wave in [first] + [w for w in waves if w != first]:
        r = max((r for r in rows if float(r["wavelength_angstrom"]) == wave), key=lambda r: float(r["FX2_electron2"]))
        theta = math.radians(float(r["two_theta_deg"]) / 2)
        lp = (1 + math.cos(2 * theta) ** 2) / (2 * math.sin(theta) ** 2 * math.cos(theta))
        lines.append((wave / first, round(float(r["I_xray_electron2"]) / (float(r["FX2_electron2"]) * lp), 5)))
    groups = {}
    for r in rows:
        if float(r["wavelength_angstrom"]) != first:
            continue
        h, k, l = (int(float(r[c])) for c in "hkl")
        key = (abs(h), abs(k), abs(l), np.sign(h * l))  # 2/m, b unique: d depends on these alone
        hkl, weight = groups.get(key, ((h, k, l), 0.0))
        groups[key] = (hkl, weight + float(r["FX2_electron2"]))
    hkl = np.array([g[0] for g in groups.values()], dtype=float)
    return hkl, np.array([g[1] for g in groups.values()]), first, lines


class Pattern:
    def __init__(self, work):
        data = np.loadtxt(os.path.join(work, "pattern.xye"))
        self.x, self.observed, self.sigma = data[:, 0], data[:, 1], data[:, 2]
        self.hkl, self.weight, self.wavelength, self.lines = read_groups(os.path.join(work, "refl.csv"))
        u = (2 * self.x - self.x[0] - self.x[-1]) / (self.x[-1] - self.x[0])
        self.chebyshev = np.polynomial.chebyshev.chebvander(u, 11)
        self.evaluations = 0

    def peaks(self, p):
        """The unit-scale Bragg part at every point."""
        self.evaluations += 1
        zero, displacement, a, b, c, beta = p[1:7]
        u, v, w, xl, yl = p[7:12]
        sb, cb = math.sin(math.radians(beta)), math.cos(math.radians(beta))
        h, k, l = self.hkl.T
        inverse_d2 = (h * h / (a * a) + l * l / (c * c) - 2 * h * l * cb / (a * c)) / (sb * sb) + k * k / (b * b)
        y = np.zeros_like(self.x)
        for factor, ratio in self.lines:
            sine = self.wavelength * factor * np.sqrt(inverse_d2) / 2
            keep = (sine > 0) & (sine < 1)
            s, weight = sine[keep], self.weight[keep]
            theta = np.arcsin(s)
            cosine = np.cos(theta)
            tangent = s / cosine
            area = ratio * weight / (s * s * cosine) * (0.5 + 0.5 * (1 - 2 * s * s) ** 2)
            centre = 2 * np.degrees(theta) + zero + displacement * cosine
            g = np.sqrt(np.maximum(u * tangent ** 2 + v * tangent + w, NARROWEST_FWHM ** 2))
            lw = np.maximum(xl * tangent + yl / cosine, 0)
            gamma = (g ** 5 + 2.69269 * g ** 4 * lw + 2.42843 * g ** 3 * lw ** 2 + 4.47163 * g ** 2 * lw ** 3 +
                     0.07842 * g * lw ** 4 + lw ** 5) ** 0.2
            q = lw / gamma
            eta = np.clip(1.36603 * q - 0.47719 * q * q + 0.11116 * q ** 3, 0, 1)
            sigma = gamma / FWHM_PER_SIGMA
            reach = np.where(eta > 0, np.maximum(6 * sigma, 200 * gamma), 6 * sigma)
            low = np.searchsorted(self.x, centre - reach, side="left")
            high = np.searchsorted(self.x, centre + reach, side="right")
            # Every peak's points in one flat array: point index and its peak.
            lengths = high - low
            peak = np.repeat(np.arange(len(low)), lengths)
            point = np.arange(lengths.sum()) - np.repeat(np.cumsum(lengths) - lengths - low, lengths)
            dx = self.x[point] - centre[peak]
            sp, gp, ep = sigma[peak], gamma[peak], eta[peak]
            gauss = np.where(np.abs(dx) > 6 * sp, 0.0,
                             np.exp(-dx * dx / (2 * sp * sp)) / (sp * math.sqrt(2 * math.pi)))
            lorentz = (gp / 2) / (math.pi * (dx * dx + gp * gp / 4))
            y += np.bincount(point, area[peak] * (ep * lorentz + (1 - ep) * gauss), minlength=len(self.x))
        return y

    def calculated(self, p):
        return p[0] * self.peaks(p) + self.chebyshev @ p[12:]

    def refine(self, start, free):
        """least_squares on the free parameters; the Jacobian analytic in the scale and the
        background, by forward differences (steps of sqrt(machine epsilon) of the value) in the rest."""
        def full(q):
            p = start.copy()
            p[free] = q
            return p

        def residuals(q):
            return (self.observed - self.calculated(full(q))) / self.sigma

        def jacobian(q):
            p = full(q)
            peaks = self.peaks(p)
            base = p[0] * peaks
            columns = []
            for j in free:
                if j == 0:
                    column = peaks
                elif j >= 12:
                    column = self.chebyshev[:, j - 12]
                else:
                    step = math.sqrt(np.finfo(float).eps) * max(abs(p[j]), 1e-3)
                    moved = p.copy()
                    moved[j] += step
                    column = (p[0] * self.peaks(moved) - base) / step
                columns.append(-column / self.sigma)
            return np.array(columns).T

        return least_squares(residuals, start[free], jac=jacobian, method="lm", x_scale="jac", ftol=1e-8, xtol=1e-8)


def main():
    work = sys.argv[1]
    with open(os.path.join(work, "truth.json")) as f:
        setup = json.load(f)
    with open(os.path.join(work, "fit0.json")) as f:
        fit0 = json.load(f)
    with open(os.path.join(work, "fit.json")) as f:
        velmora = {p["name"]: p for p in json.load(f)["parameters"]}
    a, b, c, _, beta, _ = setup["start_cell"]
    start = np.array([fit0["scale"], fit0["zero_shift"], 0.0, a, b, c, beta] +
                     [float(v) for v in setup["start_tch"].split(",")] + fit0["background"])
    model = Pattern(work)
    began = time.monotonic()
    placing = model.refine(start, [j for j in range(len(NAMES)) if j not in WIDTHS])
    start[[j for j in range(len(NAMES)) if j not in WIDTHS]] = placing.x
    every = list(range(len(NAMES)))
    fit = model.refine(start, every)
    seconds = time.monotonic() - began
    degrees = len(model.x) - len(every)
    reduced = 2 * fit.cost / degrees
    esd = np.sqrt(np.diag(np.linalg.inv(fit.jac.T @ fit.jac)) * reduced)
    truth = setup["truth"]
    off = [abs(fit.x[j] - truth[n]) / esd[j] for j, n in enumerate(NAMES)]
    worst = int(np.argmax(off))
    rwp = math.sqrt(2 * fit.cost / np.sum((model.observed / model.sigma) ** 2))
    print(f"scipy {scipy.__version__} least_squares (lm; scale and background analytic, the rest by forward "
          f"differences), two stages as velmora-powder: {seconds:.1f} s on one core, {placing.nfev} + {fit.nfev} "
          f"residual evaluations and {placing.njev} + {fit.njev} Jacobians ({model.evaluations} pattern "
          f"calculations in all); {fit.message.strip()}")
    print(f"scipy: chi2/(N-P) {reduced:.6f}, Rwp {rwp:.5f}; recovered: {sum(o <= 3 for o in off)} of {len(NAMES)} "
          f"within 3 esd, largest |refined - true| / esd {off[worst]:.2f} ({NAMES[worst]})")
    print("%-14s %14s %22s %22s" % ("", "true", "velmora-powder", "scipy"))
    for j, name in enumerate(NAMES[:12]):
        print("%-14s %14.7g %14.7g (%5.2g) %14.7g (%5.2g)" % (name, truth[name], velmora[name]["value"],
                                                           velmora[name]["esd"], fit.x[j], esd[j]))


if __name__ == "__main__":
    main()
