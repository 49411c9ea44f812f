// What the pictures of a pattern and of a fit show, gathered apart from any
// drawing: the curves along the horizontal axis and the rows of tick marks,
// each mark with the peak it stands for. The SVG plot and the HTML report
// draw the same content, gathered here once.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "powder/excluded_ranges.hpp"
#include "powder/observed_pattern.hpp"
#include "powder/pattern_fit.hpp"
#include "powder/plot_axis.hpp"
#include "powder/powder_options.hpp"
#include "powder/powder_peaks.hpp"
#include "powder/powder_profile.hpp"

namespace velmora::powder {

// What the picture of a fit shows: the measured points, the calculated line,
// the difference below, the peaks' tick marks and the ranges left out of the
// fit (fit.excluded marks their points). On a 2-theta axis the measured angles
// are drawn as measured and the ticks moved by the zero shift; on a d or Q axis
// the measured angles less the zero shift, and the ticks at the angles the
// peaks are computed at.
struct FitPicture {
  const ObservedPattern& observed;
  const PatternFit& fit;
  const std::vector<PowderPeak>& peaks;
  Radiation radiation;  // neutron (nuclear and magnetic ticks) or xray
  PlotAxis axis;
  // The peaks of a mixture's further phases, a row of ticks each. A phase given
  // by the peaks the pattern computes has the nuclear and magnetic peaks in one
  // row (their sum in `nuclear`), as the refinement's placed peaks have them.
  std::span<const std::vector<PowderPeak>> further_phases = {};
  // Shaded in both panels, their difference not drawn.
  std::span<const ExcludedRange> excluded = {};
};

// The curves of a fit along the plot's axis: the measured points, the
// calculated line and their difference, and whether the fit took each point.
struct FitCurves {
  std::vector<double> x, observed, calculated, difference;
  std::vector<bool> fitted;
};

FitCurves fit_curves(const FitPicture& p);

// A measured 2-theta on the plot's axis: as measured on a 2-theta axis, less
// the zero shift on a d or Q axis, which belong to the Bragg angle itself.
double measured_at(const FitPicture& p, double two_theta);

// The kind of peak the fit's radiation shows.
Intensity peak_kind(const FitPicture& p);

// What a row of ticks marks; its colour is the drawer's choice.
enum class TickKind { nuclear, magnetic, xray, further_phase };

// A tick: where it stands on the axis, and the peak it marks.
struct TickMark {
  double at;
  const PowderPeak* peak;
};

// Every observable peak of one kind within the range, in the peaks' order;
// equivalent reflections at one position each have their mark.
struct TickRow {
  TickKind kind;
  std::string label;
  float PowderPeak::*intensity;  // the peak's intensity this row stands for
  std::vector<TickMark> marks;
};

// The distinct positions of a row's marks, ascending: one tick where several peaks meet.
std::vector<double> tick_positions(const TickRow& row);

// A fit's rows: one of X-ray peaks, or one of nuclear peaks and one of magnetic
// peaks when there are any; then one for each further phase, of the peaks the
// refinement placed (X-ray, or nuclear and magnetic together). Within the
// measured range, moved by the zero shift.
std::vector<TickRow> fit_tick_rows(const FitPicture& p);

// A computed pattern's rows between the 2-theta low and high: nuclear, and
// magnetic when any peak is, for neutrons; X-ray for X-rays; all for both.
std::vector<TickRow> pattern_tick_rows(const std::vector<PowderPeak>& peaks, double low, double high,
                                       Radiation radiation, const PlotAxis& axis);

}  // namespace velmora::powder
