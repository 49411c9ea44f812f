// Numbers taken from the values of a CIF, each checked: a conversion stops on
// a value that is no number or is beyond single precision.
#include "cif/cif_values.hpp"

#include <cfloat>
#include <cmath>
#include <gemmi/numb.hpp>

#include "cif/conversion_error.hpp"

namespace velmora::cif {

namespace cif = gemmi::cif;

double single_or_fail(double value, const std::string& where, const std::string& what,
                      const std::string& text) {
  if (!(std::fabs(value) <= FLT_MAX))
    fail_conversion(where + ": " + what + " '" + text + "' is beyond single precision");
  return value;
}

double number_or_fail(const std::string& text, const std::string& where, const std::string& what) {
  const double value = cif::as_number(text);
  if (std::isnan(value)) fail_conversion(where + ": " + what + " '" + text + "' is not a number");
  return single_or_fail(value, where, what, text);
}

}  // namespace velmora::cif
