// The transmission factor of a cylindrical powder sample (a Debye-Scherrer
// capillary) bathed in the beam, scattering in the plane normal to its axis:
// A = (1/V) integral over the sample of exp(-mu (t_in + t_out)), the share of
// the intensity the sample's absorption lets through (International Tables for
// Crystallography C, 2004, sect. 6.3.3). A falls with mu R and rises with the
// Bragg angle: a high-angle peak loses less than a low-angle one.
#pragma once

#include <optional>
#include <string>

namespace velmora {

// The largest mu R the approximation below is used for: up to it, it stays
// within 1.5 % of the integral at every angle (tests/absorption); beyond it,
// its error at low angles grows to tens of percent.
inline constexpr double kLargestMuR = 10;

// Why mu R cannot be used (below 0, not a number, beyond kLargestMuR); none when it can.
std::optional<std::string> mu_r_fault(double mu_r);

// A(theta) by the analytic approximation of Lobanov & alte da Veiga (1998) at
// the Bragg angle theta (radian); mu_r within 0 to kLargestMuR. A(theta) = 1 at mu R = 0.
double cylinder_transmission(double mu_r, double theta);

// d ln A / d theta at theta (radian): how the factor moves with the Bragg angle
// when the cell or the wavelength is refined.
double cylinder_transmission_slope(double mu_r, double theta);

}  // namespace velmora
