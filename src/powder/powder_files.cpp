// CSV layout: a header line of column names with their units, then rows of
// comma-separated numbers, LF line ends.
#include "powder/powder_files.hpp"

#include "powder/number_text.hpp"

namespace velmora::powder {
namespace {

void add_row(std::string& text, std::initializer_list<float> values) {
  bool first = true;
  for (float value : values) {
    if (!first) text += ',';
    text += float_text(value);
    first = false;
  }
  text += '\n';
}

}  // namespace

std::string reflections_csv(const std::vector<PowderPeak>& peaks) {
  std::string text =
      "h,k,l,d_angstrom,two_theta_deg,Fn2_barn,Fm2_barn,FX2_electron2,"
      "I_nuclear_barn,I_magnetic_barn,I_xray_electron2\n";
  for (const PowderPeak& p : peaks)
    add_row(text, {p.h[0], p.h[1], p.h[2], p.d, p.two_theta, p.fn_squared, p.fm_squared, p.fx_squared,
                   p.nuclear, p.magnetic, p.xray});
  return text;
}

std::string pattern_csv(const PowderPattern& p) {
  std::string text = "two_theta_deg,neutron_nuclear,neutron_magnetic,neutron_total,xray\n";
  for (std::size_t i = 0; i < p.two_theta.size(); ++i)
    add_row(text, {p.two_theta[i], p.nuclear[i], p.magnetic[i], p.total[i], p.xray[i]});
  return text;
}

}  // namespace velmora::powder
