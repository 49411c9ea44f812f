// The axial divergence of a powder diffractometer as Finger, Cox & Jephcoat,
// J. Appl. Cryst. 27 (1994) 892, give it: with sample and detector half-heights
// S and H over the goniometer radius L, the rays of a reflection at Bragg angle
// 2theta reach the detector at 2phi between 2phi_min and 2theta (below 90
// degrees; above 90 the mirror image, beyond 2theta), with the density
// W(2phi) / (h(2phi) cos 2phi), h = L sqrt(cos^2 2phi / cos^2 2theta - 1),
// W = H + S - h up to 2phi_infl and 2 min(H, S) above it, where
// cos 2phi_min = cos 2theta sqrt(((H + S) / L)^2 + 1) and
// cos 2phi_infl = cos 2theta sqrt(((H - S) / L)^2 + 1).
// A measured peak is its intrinsic profile averaged over that density; here the
// density is a quadrature, a few nodes each an offset and a weight, with their
// exact derivatives.
#pragma once

#include <array>
#include <vector>

namespace velmora::rietveld {

// One node: the intrinsic profile placed `offset` degrees from the Bragg
// angle (below it under 90 degrees 2theta, above it beyond), with `weight`;
// the weights of a peak's nodes sum to one. offset_by and weight_by: the
// derivatives by 2theta (per degree), by S/L and by H/L.
struct AxialNode {
  double offset = 0, weight = 0;
  std::array<double, 3> offset_by{}, weight_by{};
};

// How many nodes each of the two pieces of the density takes (below and above
// 2phi_infl); none at all: the peak is not spread.
struct AxialCounts {
  int inner = 0, outer = 0;
};

// The counts for a peak at two_theta degrees whose intrinsic full width is
// fwhm degrees, S/L = s_l and H/L = h_l (not negative): enough nodes, spaced
// against the width, that the weighted sum of the profile at the nodes is the
// average over the density to about 1e-4 of the peak's height even when the
// width halves; none when the divergence spreads the peak by less than a
// thousandth of its width.
AxialCounts axial_counts(double two_theta, double s_l, double h_l, double fwhm);

// The nodes with the counts given: held fixed while a refinement moves the
// parameters, the sum changes smoothly with them. One node {0, 1} for no counts.
std::vector<AxialNode> axial_nodes(double two_theta, double s_l, double h_l, AxialCounts counts);

}  // namespace velmora::rietveld
