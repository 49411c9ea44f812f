// Report layout: a 74-character header and 78-character rows. The last
// column is 12 wide in the rows but its label field only 8, so "|FX|^2"
// stands four columns left of the right edge of its numbers.
#include "report/reflection_report.hpp"

#include "console/console.hpp"
#include "console/fixed_layout_writer.hpp"
#include "console/free_form_writer.hpp"
#include "console/run_end.hpp"
#include "scattering/reflection_threads.hpp"

namespace velmora {

void write_report_header(Console& console) {
  write_free_form(console, {"Output:"});
  write_free_form(console, {"---------------------------"});
  constexpr FieldFormat t5 = text_field(5), t7 = text_field(7), t8 = text_field(8);
  write_fixed_layout(console, {t5, t5, t5, t7, t7, t7, t7, t7, t8, t8, t8},
                     {"h", "k", "l", "d", "qx", "qy", "qz", "|q|", "|Fn|^2", "|Fm|^2", "|FX|^2"});
}

void write_report_row(Console& console, const ReflectionValues& v) {
  const ReflectionGeometry& g = v.geometry;
  constexpr FieldFormat index = fixed_field(5, 1), f7 = fixed_field(7, 3), f8 = fixed_field(8, 3);
  write_fixed_layout(
      console, {index, index, index, f7, f7, f7, f7, f7, f8, f8, fixed_field(12, 3)},
      {g.h[0], g.h[1], g.h[2], g.d, g.q.x, g.q.y, g.q.z, g.kappa, v.fn_squared, v.fm_squared, v.fx_squared});
}

void write_reflection_report(Console& console, const ScatteringInputs& in, int threads) {
  write_report_header(console);
  if (in.structure.hkl.empty()) return;
  const ReflectionLoop loop(in);
  if (loop.missing_symbol()) {
    write_free_form(console, {text_of(*loop.missing_symbol()), " is unknown symbol"});
    stop_run(console, StopKind::own_error);
  }
  for_each_reflection(loop, threads, [&console](const ReflectionValues& v) { write_report_row(console, v); });
}

}  // namespace velmora
