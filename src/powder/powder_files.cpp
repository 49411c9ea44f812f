// CSV layout: a header line of column names with their units, then rows of
// comma-separated numbers, LF line ends. The fit's numbers, computed in double,
// are written as doubles.
#include "powder/powder_files.hpp"

#include <charconv>

#include "powder/number_text.hpp"

namespace velmora::powder {
namespace {

// One row of numbers, ended by a line feed, written to out.
void add_row(TextSink& out, std::string& row, std::initializer_list<float> values) {
  row.clear();
  for (float value : values) {
    if (!row.empty()) row += ',';
    row += shortest_text(value);
  }
  row += '\n';
  out.add(row);
}

}  // namespace

ReflectionRows::ReflectionRows(TextSink& out) : out_(out) {
  out_.add(
      "h,k,l,d_angstrom,two_theta_deg,Fn2_barn,Fm2_barn,FX2_electron2,"
      "I_nuclear_barn,I_magnetic_barn,I_xray_electron2,wavelength_angstrom\n");
}

void ReflectionRows::add(const PowderPeak& p) {
  add_row(out_, row_,
          {p.h[0], p.h[1], p.h[2], p.d, p.two_theta, p.fn_squared, p.fm_squared, p.fx_squared, p.nuclear,
           p.magnetic, p.xray, p.wavelength});
}

TextFill reflections_csv(const std::vector<PowderPeak>& peaks) {
  return [&peaks](TextSink& out) {
    ReflectionRows rows(out);
    for (const PowderPeak& p : peaks) rows.add(p);
  };
}

TextFill pattern_csv(const PowderPattern& p) {
  return [&p](TextSink& out) {
    out.add("two_theta_deg,neutron_nuclear,neutron_magnetic,neutron_total,xray\n");
    std::string row;
    for (std::size_t i = 0; i < p.two_theta.size(); ++i)
      add_row(out, row, {p.two_theta[i], p.nuclear[i], p.magnetic[i], p.total[i], p.xray[i]});
  };
}

TextFill fit_csv(const ObservedPattern& o, const PatternFit& fit) {
  return [&o, &fit](TextSink& out) {
    out.add("two_theta_deg,observed,sigma,calculated,background,difference\n");
    std::string row;
    for (std::size_t i = 0; i < o.two_theta.size(); ++i) {
      row.clear();
      for (double value : {o.two_theta[i], o.intensity[i], o.sigma[i], fit.calculated[i],
                           fit.background_values[i], o.intensity[i] - fit.calculated[i]})
        row += shortest_text(value) + ',';
      row.back() = '\n';
      out.add(row);
    }
  };
}

std::string fit_json(const PatternFit& fit, const std::string& members,
                     const std::vector<ExcludedRange>& excluded) {
  std::string background;
  for (double b : fit.background) background += (background.empty() ? "" : ", ") + shortest_text(b);
  // The ranges of 2theta the fit left out, when some were.
  std::string ranges;
  for (const ExcludedRange& range : excluded) {
    ranges += ranges.empty() ? ",\n  \"excluded\": [[" : ", [";
    ranges += shortest_text(range.from);
    ranges += ", ";
    ranges += shortest_text(range.to);
    ranges += "]";
  }
  if (!ranges.empty()) ranges += "]";
  // A mixture's scales, one a phase, the input's first.
  std::string phase_scales;
  for (std::size_t k = 0; fit.scales.size() > 1 && k < fit.scales.size(); ++k)
    phase_scales += (k == 0 ? ",\n  \"scales\": [" : ", ") + shortest_text(fit.scales[k]) +
                    (k + 1 == fit.scales.size() ? "]" : "");
  return "{\n  \"scale\": " + shortest_text(fit.scale) + ",\n  \"scale_means\": \"" + fit.scale_means +
         "\",\n  \"zero_shift\": " + shortest_text(fit.zero_shift) + ",\n  \"background\": [" + background +
         "],\n  \"Rp\": " + shortest_text(fit.rp) + ",\n  \"Rwp\": " + shortest_text(fit.rwp) +
         ",\n  \"Rexp\": " + shortest_text(fit.rexp) + ",\n  \"chi2\": " + shortest_text(fit.chi2) + ranges +
         phase_scales + (members.empty() ? "" : ",\n" + members) + "\n}\n";
}

std::string absorption_json_member(const SampleAbsorption& a) {
  std::string member =
      "  \"absorption\": {\"sample\": \"cylinder\", \"approximation\": \"Lobanov & alte da Veiga 1998\", "
      "\"mu_r\": " +
      shortest_text(a.mu_r);
  if (a.mu)
    member += ", \"mu_per_mm\": " + shortest_text(*a.mu) + ", \"packing\": " + shortest_text(a.packing) +
              ", \"radius_mm\": " + shortest_text(a.radius);
  return member + "}";
}

TextFill xy_text(const std::vector<float>& two_theta, const std::vector<float>& intensity) {
  return [&two_theta, &intensity](TextSink& out) {
    for (std::size_t i = 0; i < two_theta.size(); ++i)
      out.add(shortest_text(two_theta[i]) + ' ' + shortest_text(intensity[i]) + '\n');
  };
}

TextFill xy_text(const std::vector<double>& two_theta, const std::vector<double>& intensity) {
  return [&two_theta, &intensity](TextSink& out) {
    for (std::size_t i = 0; i < two_theta.size(); ++i)
      out.add(shortest_text(two_theta[i]) + ' ' + shortest_text(intensity[i]) + '\n');
  };
}

}  // namespace velmora::powder
