// The three-term recurrence T_j = 2 u T_{j-1} - T_{j-2}.
#include "powder/chebyshev.hpp"

#include <algorithm>
#include <cstddef>

namespace velmora::powder {

std::vector<double> chebyshev_terms(double u, int n) {
  std::vector<double> t(static_cast<std::size_t>(std::max(n, 0)));
  for (std::size_t j = 0; j < t.size(); ++j) t[j] = j == 0 ? 1.0 : j == 1 ? u : 2.0 * u * t[j - 1] - t[j - 2];
  return t;
}

}  // namespace velmora::powder
