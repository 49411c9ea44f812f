// The Chebyshev polynomials a pattern's background is a sum of, over the
// measured range mapped to -1..1: smooth, and far better conditioned in a
// least-squares fit than powers of 2-theta.
#pragma once

#include <vector>

namespace velmora::powder {

// T_0 .. T_{n-1} at u in [-1, 1].
std::vector<double> chebyshev_terms(double u, int n);

}  // namespace velmora::powder
