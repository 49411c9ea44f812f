// Rounding a value to its uncertainty's last digit, in decimal.
#include "rietveld/esd_text.hpp"

#include <cmath>
#include <cstdio>

#include "numbers/shortest_text.hpp"

namespace velmora::rietveld {

std::string with_esd(double value, double esd) {
  if (!(esd > 0) || !std::isfinite(esd) || !std::isfinite(value)) return shortest_text(value);
  // The decimal place of the esd's first digit, then one more when its two
  // first digits are 19 or less.
  int place = static_cast<int>(std::floor(std::log10(esd)));
  long long digits =
      std::llround(esd / std::pow(10.0, place - 1));  // two digits, 10..99 (100 after rounding up)
  if (digits >= 100) ++place, digits = std::llround(esd / std::pow(10.0, place - 1));
  if (digits > 19) {
    digits = std::llround(esd / std::pow(10.0, place));
    if (digits >= 10) ++place, digits = 1;
  } else {
    --place;
  }
  char text[64];
  if (place >= 0) {
    // Integral places: the value rounded to 10^place, the esd in those units.
    const double unit = std::pow(10.0, place);
    std::snprintf(text, sizeof text, "%.0f(%lld)", std::round(value / unit) * unit,
                  digits * static_cast<long long>(unit));
  } else {
    std::snprintf(text, sizeof text, "%.*f(%lld)", -place, value, digits);
  }
  return text;
}

}  // namespace velmora::rietveld
