// A refined value with its standard uncertainty, as crystallographers write
// it: 8.47884(3), 0.155(12), 1234(5).
#pragma once

#include <string>

namespace velmora::rietveld {

// The esd rounded to one significant digit, or two when those are 19 or less
// (the rule of 19: an esd of 0.0012 keeps its 12, one of 0.0035 becomes 4),
// in parentheses after the value rounded to the same decimal place. An esd of
// 0 (a value not refined) gives the value alone, shortest.
std::string with_esd(double value, double esd);

}  // namespace velmora::rietveld
