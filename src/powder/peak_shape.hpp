// The shape of one powder peak: a pseudo-Voigt, the mix eta L + (1 - eta) G
// of a Lorentzian and a Gaussian of one full width at half maximum, both of
// unit area. eta = 0 is the pure Gaussian. The Thompson-Cox-Hastings form
// gives the width and the mix from the Gaussian and Lorentzian widths of a peak.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace velmora::powder {

struct PeakShape {
  double fwhm = 0;  // degrees of 2-theta
  double eta = 0;   // Lorentzian fraction, 0 to 1
};

// Gaussian FWHM^2 = U tan^2 theta + V tan theta + W (Caglioti), Lorentzian
// FWHM = X tan theta + Y / cos theta, all in degrees (squared for U V W).
struct TchParameters {
  double u = 0, v = 0, w = 0, x = 0, y = 0;
};

// The pseudo-Voigt of the two widths (Thompson, Cox & Hastings, J. Appl.
// Cryst. 20 (1987) 79). gaussian_fwhm or lorentzian_fwhm may be 0, not both.
PeakShape tch_shape(double gaussian_fwhm, double lorentzian_fwhm);

// How far from its centre a peak is evaluated, in degrees: six standard
// deviations of the Gaussian (all but 2e-9 of its area) and, with a
// Lorentzian part, 200 widths (all but 0.16% of the Lorentzian's area, spread
// so thinly that it is below any measurement's background noise).
double shape_reach(const PeakShape& shape);

// The profile at dx degrees from the centre, of unit area over the whole line.
double profile_at(const PeakShape& shape, double dx);

// area * profile_at(shape, x[i] - centre) added to y[i] for i in [first, last),
// the same to the last bit; beyond six sigma, where only a Lorentzian part is
// left, in a loop of its own without the Gaussian's test.
void add_profile(const PeakShape& shape, double centre, double area, const std::vector<double>& x,
                 std::size_t first, std::size_t last, std::vector<double>& y);

// The indices [first, last) of the sorted points x within the reach of a
// peak at centre.
std::pair<std::size_t, std::size_t> points_within(const std::vector<double>& x, double centre, double reach);

}  // namespace velmora::powder
