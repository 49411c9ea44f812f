// CSV layout: a header line of column names with their units, then rows of
// comma-separated numbers, LF line ends. The fit's numbers, computed in double,
// are written as doubles.
#include "powder/powder_files.hpp"

#include <charconv>

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
      "I_nuclear_barn,I_magnetic_barn,I_xray_electron2,wavelength_angstrom\n";
  for (const PowderPeak& p : peaks)
    add_row(text, {p.h[0], p.h[1], p.h[2], p.d, p.two_theta, p.fn_squared, p.fm_squared, p.fx_squared,
                   p.nuclear, p.magnetic, p.xray, p.wavelength});
  return text;
}

std::string pattern_csv(const PowderPattern& p) {
  std::string text = "two_theta_deg,neutron_nuclear,neutron_magnetic,neutron_total,xray\n";
  for (std::size_t i = 0; i < p.two_theta.size(); ++i)
    add_row(text, {p.two_theta[i], p.nuclear[i], p.magnetic[i], p.total[i], p.xray[i]});
  return text;
}

namespace {

std::string double_text(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

std::string fit_csv(const ObservedPattern& o, const PatternFit& fit) {
  std::string text = "two_theta_deg,observed,sigma,calculated,background,difference\n";
  for (std::size_t i = 0; i < o.two_theta.size(); ++i) {
    for (double value : {o.two_theta[i], o.intensity[i], o.sigma[i], fit.calculated[i], fit.background_values[i],
                         o.intensity[i] - fit.calculated[i]})
      text += double_text(value) + ',';
    text.back() = '\n';
  }
  return text;
}

std::string fit_json(const PatternFit& fit) {
  std::string background;
  for (double b : fit.background) background += (background.empty() ? "" : ", ") + double_text(b);
  return "{\n  \"scale\": " + double_text(fit.scale) + ",\n  \"zero_shift\": " + double_text(fit.zero_shift) +
         ",\n  \"background\": [" + background + "],\n  \"Rp\": " + double_text(fit.rp) +
         ",\n  \"Rwp\": " + double_text(fit.rwp) + ",\n  \"Rexp\": " + double_text(fit.rexp) +
         ",\n  \"chi2\": " + double_text(fit.chi2) + "\n}\n";
}

std::string xy_text(const std::vector<double>& two_theta, const std::vector<double>& intensity, bool single) {
  const auto number = [single](double v) { return single ? float_text(static_cast<float>(v)) : double_text(v); };
  std::string text;
  for (std::size_t i = 0; i < two_theta.size(); ++i) text += number(two_theta[i]) + ' ' + number(intensity[i]) + '\n';
  return text;
}

}  // namespace velmora::powder
