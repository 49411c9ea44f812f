// Reading the six cell parameters of a data block.
#include "cif/unit_cell.hpp"

#include <cmath>
#include <gemmi/numb.hpp>

#include "cif/cif_values.hpp"
#include "cif/conversion_error.hpp"

namespace velmora::cif {

namespace cif = gemmi::cif;

gemmi::UnitCell read_cell(cif::Block& block, const std::string& source) {
  static const char* const tags[6] = {"_cell_length_a",    "_cell_length_b",   "_cell_length_c",
                                      "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
  double value[6];
  std::string text[6];
  for (int i = 0; i < 6; ++i) {
    cif::Column column = block.find_values(tags[i]);
    if (!column || column.length() != 1)
      fail_conversion(source + ": data_" + block.name + ": no unit cell: " + tags[i] +
                      (column ? " has more than one value" : " is missing"));
    const Place place{source, column.item()};
    text[i] = column[0];
    value[i] = number_or_fail(text[i], place.line(), tags[i]);
    const float stored = static_cast<float>(value[i]);
    const bool good = i < 3 ? stored > 0 : stored > 0 && stored < 180;
    if (!good)
      fail_conversion(place.line() + ": " + tags[i] + " " + column[0] +
                      (i < 3 ? " is not a length above 0" : " is not an angle between 0 and 180"));
  }
  const double ca = std::cos(gemmi::rad(value[3])), cb = std::cos(gemmi::rad(value[4]));
  const double cg = std::cos(gemmi::rad(value[5]));
  if (1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg <= 0)
    fail_conversion(source + ": data_" + block.name + ": the cell angles " + text[3] + " " + text[4] + " " +
                    text[5] + " make no cell");
  return gemmi::UnitCell(value[0], value[1], value[2], value[3], value[4], value[5]);
}

}  // namespace velmora::cif
