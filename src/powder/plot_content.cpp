// The content of the plots, with no drawing library: a plot that cannot be
// drawn (a build without PLplot) still has its HTML report.
#include "powder/plot_content.hpp"

#include <algorithm>
#include <set>

namespace velmora::powder {
namespace {

// The tick row of one kind of peak in a fit: every observable peak of that
// kind within the measured range, moved by the zero shift.
TickRow fit_tick_row(const FitPicture& p, const std::vector<PowderPeak>& peaks, float PowderPeak::*of,
                     TickKind kind, std::string label) {
  const double low = p.observed.two_theta.front(), high = p.observed.two_theta.back();
  float strongest_peak = 0;
  for (const PowderPeak& peak : peaks) strongest_peak = std::max(strongest_peak, peak.*of);
  TickRow row{kind, std::move(label), of, {}};
  for (const PowderPeak& peak : peaks) {
    const double centre = peak.two_theta + p.fit.zero_shift;
    if (observable(peak.*of, strongest_peak) && centre >= low && centre <= high)
      row.marks.push_back({measured_at(p, centre), &peak});
  }
  return row;
}

// The tick row of one kind of peak in a computed pattern, at the peaks' own angles.
TickRow pattern_tick_row(const std::vector<PowderPeak>& peaks, double low, double high, const PlotAxis& axis,
                         float PowderPeak::*of, TickKind kind, std::string label) {
  float strongest_peak = 0;
  for (const PowderPeak& peak : peaks) strongest_peak = std::max(strongest_peak, peak.*of);
  TickRow row{kind, std::move(label), of, {}};
  for (const PowderPeak& peak : peaks)
    if (observable(peak.*of, strongest_peak) && peak.two_theta >= low && peak.two_theta <= high)
      row.marks.push_back({axis.at(peak.two_theta), &peak});
  return row;
}

}  // namespace

double measured_at(const FitPicture& p, double two_theta) {
  return p.axis.at(p.axis.axis == Axis::two_theta ? two_theta : two_theta - p.fit.zero_shift);
}

FitCurves fit_curves(const FitPicture& p) {
  const ObservedPattern& o = p.observed;
  FitCurves c{{}, o.intensity, p.fit.calculated, {}, {}};
  for (std::size_t i = 0; i < o.two_theta.size(); ++i) {
    c.x.push_back(measured_at(p, o.two_theta[i]));
    c.difference.push_back(o.intensity[i] - p.fit.calculated[i]);
    c.fitted.push_back(p.fit.excluded.empty() || !p.fit.excluded[i]);
  }
  return c;
}

Intensity peak_kind(const FitPicture& p) {
  return p.radiation == Radiation::xray ? Intensity::xray : Intensity::neutron_total;
}

std::vector<double> tick_positions(const TickRow& row) {
  std::set<double> at;
  for (const TickMark& mark : row.marks) at.insert(mark.at);
  return {at.begin(), at.end()};
}

std::vector<TickRow> fit_tick_rows(const FitPicture& p) {
  std::vector<TickRow> rows;
  const bool xray = peak_kind(p) == Intensity::xray;
  const bool single = p.further_phases.empty();
  if (xray) {
    rows.push_back(fit_tick_row(p, p.peaks, &PowderPeak::xray, TickKind::xray, single ? "Bragg" : "phase 1"));
  } else {
    rows.push_back(
        fit_tick_row(p, p.peaks, &PowderPeak::nuclear, TickKind::nuclear, single ? "nuclear" : "phase 1"));
    if (std::any_of(p.peaks.begin(), p.peaks.end(), [](const PowderPeak& q) { return q.magnetic > 0; }))
      rows.push_back(fit_tick_row(p, p.peaks, &PowderPeak::magnetic, TickKind::magnetic, "magnetic"));
  }
  for (std::size_t k = 0; k < p.further_phases.size(); ++k)
    rows.push_back(fit_tick_row(p, p.further_phases[k], xray ? &PowderPeak::xray : &PowderPeak::nuclear,
                                TickKind::further_phase, "phase " + std::to_string(k + 2)));
  return rows;
}

std::vector<TickRow> pattern_tick_rows(const std::vector<PowderPeak>& peaks, double low, double high,
                                       Radiation radiation, const PlotAxis& axis) {
  std::vector<TickRow> rows;
  if (radiation != Radiation::xray) {
    rows.push_back(
        pattern_tick_row(peaks, low, high, axis, &PowderPeak::nuclear, TickKind::nuclear, "nuclear"));
    if (std::any_of(peaks.begin(), peaks.end(), [](const PowderPeak& p) { return p.magnetic > 0; }))
      rows.push_back(
          pattern_tick_row(peaks, low, high, axis, &PowderPeak::magnetic, TickKind::magnetic, "magnetic"));
  }
  if (radiation != Radiation::neutron)
    rows.push_back(pattern_tick_row(peaks, low, high, axis, &PowderPeak::xray, TickKind::xray, "X-ray"));
  return rows;
}

}  // namespace velmora::powder
