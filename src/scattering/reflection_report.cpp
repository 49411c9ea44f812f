// Report layout: a 74-character header and 78-character rows. The last
// column is 12 wide in the rows but its label field only 8, so "|FX|^2"
// stands four columns left of the right edge of its numbers.
#include "scattering/reflection_report.hpp"

#include "console/console.hpp"
#include "console/fixed_layout_writer.hpp"
#include "console/free_form_writer.hpp"

namespace velmora {

void write_report_header(Console& console) {
  write_free_form(console, {"Output:"});
  write_free_form(console, {"---------------------------"});
  constexpr FieldSpec t5 = text_field(5), t7 = text_field(7), t8 = text_field(8);
  write_fixed_layout(console, {t5, t5, t5, t7, t7, t7, t7, t7, t8, t8, t8},
                     {"h", "k", "l", "d", "qx", "qy", "qz", "|q|", "|Fn|^2", "|Fm|^2", "|FX|^2"});
}

void write_report_row(Console& console, const ReflectionGeometry& g, float fn_squared, float fm_squared,
                      float fx_squared) {
  constexpr FieldSpec index = fixed_field(5, 1), f7 = fixed_field(7, 3), f8 = fixed_field(8, 3);
  write_fixed_layout(console, {index, index, index, f7, f7, f7, f7, f7, f8, f8, fixed_field(12, 3)},
                     {g.h[0], g.h[1], g.h[2], g.d, g.q.x, g.q.y, g.q.z, g.kappa, fn_squared, fm_squared,
                      fx_squared});
}

}  // namespace velmora
