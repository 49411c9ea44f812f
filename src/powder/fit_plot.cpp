// The picture of a fit, through PLplot's SVG driver: the measured points and
// the calculated line (with its background) in the upper panel, a strip of
// tick marks per kind of peak (nuclear, magnetic) under it, and the
// difference, observed minus calculated, in a lower panel on the same
// vertical scale. The horizontal axis is 2-theta, d or Q.
#include "powder/powder_plot.hpp"

#ifdef VELMORA_POWDER_PLOT
#include <plplot/plplot.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "powder/number_text.hpp"
#include "powder/plot_thinning.hpp"
#include "powder/svg_page.hpp"

namespace velmora::powder {
namespace {

enum Colour : PLINT { kPaper = 0, kInk = 1, kObserved = 2, kCalculated = 3, kBackground = 4, kDifference = 5,
                      kNuclear = 6, kMagnetic = 7 };

void set_colours() {
  plscol0(kPaper, 255, 255, 255);
  plscol0(kInk, 0, 0, 0);
  plscol0(kObserved, 20, 50, 140);
  plscol0(kCalculated, 205, 30, 30);
  plscol0(kBackground, 130, 130, 130);
  plscol0(kDifference, 15, 110, 60);
  plscol0(kNuclear, 20, 50, 140);
  plscol0(kMagnetic, 205, 30, 30);
}

double tick_spacing(double span) {
  for (double decade = 0.001; decade < 1000; decade *= 10)
    for (double step : {1.0, 2.0, 5.0})
      if (span / (step * decade) <= 12) return step * decade;
  return 1000;
}

struct TickRow {
  std::vector<double> positions;  // on the axis
  Colour colour;
  const char* label;
};

void draw_legend(const std::vector<std::pair<Colour, const char*>>& entries, bool first_is_points) {
  const auto n = static_cast<PLINT>(entries.size());
  std::vector<PLINT> opts(n, PL_LEGEND_LINE), colours, styles(n, 1), ink(n, kInk), zeros(n, 0), symbols_n(n, 1);
  std::vector<PLFLT> widths(n, 2.0), ones(n, 1.0);
  std::vector<const char*> texts, symbols(n, "#(210)");
  for (const auto& [colour, text] : entries) colours.push_back(colour), texts.push_back(text);
  if (first_is_points) opts[0] = PL_LEGEND_SYMBOL;
  PLFLT width = 0, height = 0;
  pllegend(&width, &height, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
           PL_POSITION_TOP | PL_POSITION_RIGHT | PL_POSITION_INSIDE | PL_POSITION_VIEWPORT, 0.015, 0.025, 0.06,
           kPaper, kInk, 1, n, 1, n, opts.data(), 1.0, 0.9, 2.0, 0.0, ink.data(), texts.data(), zeros.data(),
           zeros.data(), ones.data(), ones.data(), colours.data(), styles.data(), widths.data(), colours.data(),
           ones.data(), symbols_n.data(), symbols.data());
}

enum class Mark { line, points };

// A curve drawn as a line or as points, thinned to what the plot's width shows.
void draw_thinned(const std::vector<double>& x, const std::vector<double>& y, Mark mark) {
  Polyline thin = thinned_curve(x, [&y](std::size_t i) { return y[i]; });
  const auto n = static_cast<PLINT>(thin.x.size());
  if (mark == Mark::points) {
    plsym(n, thin.x.data(), thin.y.data(), 210);
  } else {
    plline(n, thin.x.data(), thin.y.data());
  }
}

}  // namespace

bool draw_fit_plot(const std::string& file, const std::string& title, const FitPicture& p) {
  const ObservedPattern& o = p.observed;
  const auto to_axis = [&](double two_theta) { return p.axis.at(two_theta); };
  std::vector<double> x, observed = o.intensity, calculated = p.fit.calculated, difference;
  for (std::size_t i = 0; i < o.two_theta.size(); ++i) {
    x.push_back(to_axis(o.two_theta[i]));
    difference.push_back(o.intensity[i] - p.fit.calculated[i]);
  }
  const double low = o.two_theta.front(), high = o.two_theta.back();
  const double x0 = x.front(), x1 = x.back();

  // Tick rows: every peak of the kind the radiation shows, moved by the zero shift.
  const Intensity kind = p.radiation == Radiation::xray ? Intensity::xray : Intensity::neutron_total;
  std::vector<TickRow> rows;
  const auto row_of = [&](auto of, Colour colour, const char* label) {
    float strongest_peak = 0;
    for (const PowderPeak& peak : p.peaks) strongest_peak = std::max(strongest_peak, of(peak));
    std::set<double> at;
    for (const PowderPeak& peak : p.peaks) {
      const double centre = peak.two_theta + p.fit.zero_shift;
      if (observable(of(peak), strongest_peak) && centre >= low && centre <= high) at.insert(to_axis(centre));
    }
    rows.push_back({{at.begin(), at.end()}, colour, label});
  };
  if (kind == Intensity::xray) {
    row_of([](const PowderPeak& q) { return q.xray; }, kNuclear, "Bragg");
  } else {
    row_of([](const PowderPeak& q) { return q.nuclear; }, kNuclear, "nuclear");
    if (std::any_of(p.peaks.begin(), p.peaks.end(), [](const PowderPeak& q) { return q.magnetic > 0; }))
      row_of([](const PowderPeak& q) { return q.magnetic; }, kMagnetic, "magnetic");
  }

  const auto [lowest, highest] = std::minmax_element(observed.begin(), observed.end());
  const double top = std::max(*highest, *std::max_element(calculated.begin(), calculated.end()));
  const double bottom = std::min(0.0, *lowest);
  const double span = top > bottom ? top - bottom : 1.0;
  const auto [diff_low, diff_high] = std::minmax_element(difference.begin(), difference.end());
  const double diff_half = std::max({std::abs(*diff_low), std::abs(*diff_high), 1e-3 * span});

  const int height = 640;
  begin_svg_page(file, 900, height);
  set_colours();
  plinit();
  pladv(0);
  plschr(4.4, 1.0);
  plsmaj(2.6, 1.0);
  plsmin(1.3, 1.0);
  const double left = 0.115, right = 0.97, row = 40.0 / height;
  const double diff_bottom = 70.0 / height;
  // The difference panel is as tall, in intensity, as the difference needs, at the upper panel's scale
  // but no less than a sixth of the page.
  const double upper_top = 1.0 - 50.0 / height;
  const double strip = row * static_cast<double>(rows.size());
  const double available = upper_top - diff_bottom - strip;
  const double diff_share = std::clamp(2.0 * diff_half / (1.3 * span + 2.0 * diff_half), 1.0 / 6.0, 0.4);
  const double diff_top = diff_bottom + diff_share * available;
  const double strip_top = diff_top + strip;
  const double xtick = tick_spacing(std::abs(x1 - x0));

  // Upper panel: observed points, calculated line, background.
  plvpor(left, right, strip_top, upper_top);
  plwind(x0, x1, bottom, bottom + 1.3 * span);
  plcol0(kInk);
  plbox("bcst", xtick, 0, "bcnstv", 0, 0);
  plmtex("l", 5.2, 0.5, 0.5, p.radiation == Radiation::xray ? "Intensity (counts)" : "Intensity (counts)");
  plmtex("t", 1.2, 0.5, 0.5, title.c_str());
  plcol0(kObserved);
  plssym(0, 0.6);
  draw_thinned(x, observed, Mark::points);
  plcol0(kBackground);
  draw_thinned(x, p.fit.background_values, Mark::line);
  plwidth(1.3);
  plcol0(kCalculated);
  draw_thinned(x, calculated, Mark::line);
  plwidth(1.0);
  // h k l over the strongest peaks, at the height of the calculated line there.
  plcol0(kInk);
  plschr(0, 0.6);
  for (const PeakLabel& label : strongest_peaks(p.peaks, kind, p.axis.labels, low, high, p.fit.zero_shift)) {
    const auto nearest = std::lower_bound(o.two_theta.begin(), o.two_theta.end(), label.two_theta);
    const std::size_t i = std::min(static_cast<std::size_t>(nearest - o.two_theta.begin()), x.size() - 1);
    // Along the axis's direction, which runs right to left for d.
    plptex(to_axis(label.two_theta), std::max(calculated[i], observed[i]) + 0.02 * span, x1 > x0 ? 1 : -1, 0, 0.5,
           label.text.c_str());
  }
  plschr(0, 1.0);
  draw_legend({{kObserved, "observed"}, {kCalculated, "calculated"}, {kBackground, "background"},
               {kDifference, "observed - calculated"}},
              true);

  // Tick rows.
  plvpor(left, right, diff_top, strip_top);
  const auto nrows = static_cast<double>(rows.size());
  plwind(x0, x1, 0.0, nrows);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double row_top = nrows - static_cast<double>(r);
    plcol0(rows[r].colour);
    for (double at : rows[r].positions) pljoin(at, row_top - 0.2, at, row_top - 0.8);
    plmtex("lv", 0.6, (row_top - 0.5) / nrows, 1.0, rows[r].label);
  }
  plcol0(kInk);
  plbox("bc", xtick, 0, "bc", 0, 0);

  // Difference panel.
  plvpor(left, right, diff_bottom, diff_top);
  plwind(x0, x1, -diff_half * 1.1, diff_half * 1.1);
  plcol0(kInk);
  plbox("bcnst", xtick, 0, "bcnstv", 0, 0);
  plcol0(kDifference);
  draw_thinned(x, difference, Mark::line);
  plcol0(kInk);
  plmtex("b", 3.3, 0.5, 0.5, p.axis.label());
  return end_svg_page(file);
}

}  // namespace velmora::powder

#else  // built without PLplot

#include "powder/powder_error.hpp"

namespace velmora::powder {

bool draw_fit_plot(const std::string&, const std::string&, const FitPicture&) {
  fail_powder("--plot: this velmora-powder was built without PLplot");
}

}  // namespace velmora::powder

#endif
