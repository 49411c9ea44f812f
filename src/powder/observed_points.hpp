// The rules every measured pattern meets before it is fitted, whichever format
// it was read from: finite numbers, 2-theta rising within 0 to 180 degrees,
// and weights 1 / sigma^2 that mean something.
#pragma once

#include "powder/observed_pattern.hpp"
#include "powder/powder_error.hpp"

namespace velmora::powder {

// Leaves out the points of sigma 0 (a detector gap, a masked channel: no
// weight), with one warning saying how many, and ends the run naming the file
// and the point when a value breaks a rule or nothing is left to fit.
void settle_observed_points(ObservedPattern& observed, Remarks& remarks);

}  // namespace velmora::powder
