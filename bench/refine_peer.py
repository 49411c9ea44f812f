#!/usr/bin/python3
"""The peer of bench/refine_bench.cpp: the same pattern (problem JSON written by
velmora_refine_bench) fitted by scipy.optimize.least_squares, method "lm" (MINPACK's
Levenberg-Marquardt, forward differences), from the same start. Prints its time
(median of 3), evaluations, chi2/(N-P) and largest |refined - true| / esd, the esd's
from (J'WJ)^-1 chi2/(N-P) as the engine gives them. Exits 0 with a note without scipy.

  bench/refine_peer.py PROBLEM.json
"""
import json, math, statistics, sys, time

try:
    import numpy as np
    from scipy.optimize import least_squares
except ImportError as missing:
    print(f"scipy peer skipped: {missing.name} is not installed (Debian: python3-scipy)")
    sys.exit(0)

with open(sys.argv[1]) as f:
    problem = json.load(f)
x = np.array(problem["two_theta"])
observed, sigma = np.array(problem["observed"]), np.array(problem["sigma"])
hkl = np.array([r[:3] for r in problem["reflections"]], dtype=float)
group = np.array([r[3] for r in problem["reflections"]], dtype=int)
intensity = np.array([r[4] for r in problem["reflections"]])
names, truth = problem["names"], np.array(problem["truth"])
start, refined = np.array(problem["start"]), np.array(problem["refined"])
wavelength, window = problem["wavelength"], problem["window"]
edge = 1 / (1 + 4 * window**2)
first, last = problem["first"], problem["last"]
background0 = names.index("background.0")
group0 = names.index("group.0")
t = (2 * x - first - last) / (last - first)
chebyshev = np.polynomial.chebyshev.chebvander(t, len(names) - background0 - 1)


def calculate(p):
    a, c, zero, u, v, w, xl, yl, scale = p[:9]
    sine = wavelength * np.sqrt((hkl[:, 0]**2 + hkl[:, 1]**2) / a**2 + hkl[:, 2]**2 / c**2) / 2
    theta = np.arcsin(np.minimum(sine, 1))
    centre, tangent = 2 * np.degrees(theta) + zero, np.tan(theta)
    gauss = np.sqrt(np.maximum(u * tangent**2 + v * tangent + w, 1e-8))
    lorentz = np.maximum(xl * tangent + yl / np.cos(theta), 0)
    total = (gauss**5 + 2.69269 * gauss**4 * lorentz + 2.42843 * gauss**3 * lorentz**2 + 4.47163 * gauss**2 *
             lorentz**3 + 0.07842 * gauss * lorentz**4 + lorentz**5)**0.2
    q = lorentz / total
    eta = 1.36603 * q - 0.47719 * q**2 + 0.11116 * q**3
    area = scale * p[group0 + group] * intensity
    y = chebyshev @ p[background0:]
    low = np.searchsorted(x, centre - window * total, side="left")
    high = np.searchsorted(x, centre + window * total, side="right")
    for r in np.nonzero(sine < 1)[0]:
        s = (x[low[r]:high[r]] - centre[r]) / total[r]
        profile = (eta[r] * 2 / (math.pi * total[r]) * (1 / (1 + 4 * s * s) - edge) + (1 - eta[r]) * 2 / total[r] *
                   math.sqrt(math.log(2) / math.pi) * np.exp(-4 * math.log(2) * s * s))
        y[low[r]:high[r]] += area[r] * profile
    return y


def residuals(free):
    p = start.copy()
    p[refined] = free
    return (observed - calculate(p)) / sigma


times = []
for _ in range(3):
    began = time.monotonic()
    fit = least_squares(residuals, start[refined], method="lm", x_scale="jac", ftol=1e-8, xtol=1e-8)
    times.append(time.monotonic() - began)
degrees = len(x) - refined.sum()
reduced = 2 * fit.cost / degrees
esd = np.sqrt(np.diag(np.linalg.inv(fit.jac.T @ fit.jac)) * reduced)
off = np.abs(fit.x - truth[refined]) / esd
worst = int(np.argmax(off))
print(f"scipy {__import__('scipy').__version__} least_squares (lm, forward differences): "
      f"{statistics.median(times):.3f} s (median of 3), {fit.nfev} evaluations, {fit.message.strip()}; "
      f"chi2/(N-P) {reduced:.6f}, largest |refined - true| / esd {off[worst]:.2f} "
      f"({np.array(names)[refined][worst]})")
