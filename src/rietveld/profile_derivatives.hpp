// The pseudo-Voigt profile of velmora-powder's peaks with its derivatives: by
// the distance from the centre, the full width and the Lorentzian fraction,
// and the Thompson-Cox-Hastings width and fraction by the Gaussian and
// Lorentzian widths, so that a refinement's shifts, widths and scale have
// exact derivatives at the cost of one pass over the pattern.
#pragma once

#include "powder/peak_shape.hpp"

namespace velmora::rietveld {

struct ProfileValue {
  double value = 0;    // as powder::profile_at gives it
  double by_dx = 0;    // d value / d dx (a shift of the centre is -by_dx)
  double by_fwhm = 0;  // d value / d Gamma
  double by_eta = 0;   // d value / d eta, also at eta = 0
};

// cut: the Gaussian nought beyond six sigma, as velmora-powder's pattern has
// it; uncut, it goes on, so that a profile summed at many offsets (a spread
// peak) changes smoothly as they move.
ProfileValue profile_with_derivatives(const powder::PeakShape& shape, double dx, bool cut = true);

// The TCH width Gamma and fraction eta with their derivatives by the Gaussian
// width g and the Lorentzian width l.
struct TchDerivatives {
  powder::PeakShape shape;
  double fwhm_by_g = 0, fwhm_by_l = 0, eta_by_g = 0, eta_by_l = 0;
};

TchDerivatives tch_with_derivatives(double g, double l);

}  // namespace velmora::rietveld
