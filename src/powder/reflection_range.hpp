// The reflections a powder range reaches: every h k l of the cell down to the
// smallest d-spacing the range and the wavelengths give, and the checks of a
// list given by hand against that full set: whether it reaches the range and
// whether it holds every reflection equivalent to one it lists.
#pragma once

#include <string>
#include <vector>

#include "powder/powder_error.hpp"
#include "scattering/structure_factors.hpp"

namespace velmora::powder {

// The smallest d-spacing a reflection at 2theta_max reaches at the wavelength.
double smallest_d(double wavelength, double two_theta_max);

// Every h k l but 0 0 0 with d >= dmin, both members of each Friedel pair,
// by decreasing d; equal d by increasing h, then k, then l. param holds a b c
// in angstroms and the angles in radians. More than kMostReflections ends the
// run naming the cause.
std::vector<Reflection> reflections_to_dmin(const LatticeParameters& param, double dmin);
constexpr std::size_t kMostReflections = 2'000'000;

// About how many reflections have d >= dmin: the reciprocal-lattice points in
// a sphere of radius 1/dmin, (4 pi / 3) V / dmin^3.
double reflections_within(const LatticeParameters& param, double dmin);

// The rotations of h k l (integer matrices, h' = h M) that keep the cell's
// metric and every one of the three squared moduli of every reflection of the
// full set: the Laue group of the structure as its intensities show it.
std::vector<std::array<int, 9>> intensity_laue_group(const LatticeParameters& param,
                                                     const std::vector<ReflectionValues>& full);

// Warns when the listed reflections stop short of dmin (a part of the range
// then has no peak) or when a listed h k l lacks an equivalent under the
// group. Lists with fractional indices are checked for their reach only.
void check_listed_reflections(const std::vector<Reflection>& listed,
                              const std::vector<ReflectionValues>& full,
                              const std::vector<std::array<int, 9>>& group, double dmin,
                              const std::string& range, Remarks& remarks);

}  // namespace velmora::powder
