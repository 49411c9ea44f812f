// The text of velmora-powder's two CSV files. Every number is a stored
// single-precision value in digits that read back exactly.
#pragma once

#include <string>
#include <vector>

#include "powder/powder_peaks.hpp"
#include "powder/powder_profile.hpp"

namespace velmora::powder {

// One row per peak: h, k, l, d, 2theta, |Fn|^2, |Fm|^2, |FX|^2, then the
// neutron nuclear, neutron magnetic and X-ray integrated intensities.
std::string reflections_csv(const std::vector<PowderPeak>& peaks);

// One row per grid point: 2theta, neutron nuclear, neutron magnetic, neutron
// total, X-ray.
std::string pattern_csv(const PowderPattern& pattern);

}  // namespace velmora::powder
