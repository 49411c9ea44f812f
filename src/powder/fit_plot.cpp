// The picture of a fit, through PLplot's SVG driver: the measured points and
// the calculated line (with its background) in the upper panel, a strip of
// tick marks per kind of peak (nuclear, magnetic) and per further phase of a
// mixture under it, and the
// difference, observed minus calculated, in a lower panel on the same
// vertical scale. The horizontal axis is 2-theta, d or Q. Ranges left out of
// the fit are shaded light grey behind both panels' curves: their measured
// points and the calculated line are drawn, their difference is not, since
// the fit does not answer for it.
#include "powder/powder_plot.hpp"

#ifdef VELMORA_POWDER_PLOT
#include <plplot/plplot.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "powder/number_text.hpp"
#include "powder/plot_thinning.hpp"
#include "powder/svg_page.hpp"

namespace velmora::powder {
namespace {

enum Colour : PLINT {
  kPaper = 0,
  kInk = 1,
  kObserved = 2,
  kCalculated = 3,
  kBackground = 4,
  kDifference = 5,
  kNuclear = 6,
  kMagnetic = 7,
  kFurtherPhase = 8,
  kExcluded = 9
};

void set_colours() {
  plscol0(kPaper, 255, 255, 255);
  plscol0(kInk, 0, 0, 0);
  plscol0(kObserved, 20, 50, 140);
  plscol0(kCalculated, 205, 30, 30);
  plscol0(kBackground, 130, 130, 130);
  plscol0(kDifference, 15, 110, 60);
  plscol0(kNuclear, 20, 50, 140);
  plscol0(kMagnetic, 205, 30, 30);
  plscol0(kFurtherPhase, 200, 120, 0);
  plscol0(kExcluded, 228, 228, 228);
}

double tick_spacing(double span) {
  for (double decade = 0.001; decade < 1000; decade *= 10)
    for (double step : {1.0, 2.0, 5.0})
      if (span / (step * decade) <= 12) return step * decade;
  return 1000;
}

// The colour of a row of ticks.
Colour tick_colour(TickKind kind) {
  return kind == TickKind::magnetic ? kMagnetic : kind == TickKind::further_phase ? kFurtherPhase : kNuclear;
}

// How a legend entry shows its curve: a line, a point, or a box of colour.
enum class Key : PLINT { line = PL_LEGEND_LINE, points = PL_LEGEND_SYMBOL, box = PL_LEGEND_COLOR_BOX };

struct LegendEntry {
  Colour colour;
  const char* text;
  Key key = Key::line;
};

void draw_legend(const std::vector<LegendEntry>& entries) {
  const auto n = static_cast<PLINT>(entries.size());
  std::vector<PLINT> opts, colours, styles(n, 1), ink(n, kInk), zeros(n, 0), symbols_n(n, 1);
  std::vector<PLFLT> widths(n, 2.0), ones(n, 1.0), mark_scales(n, 0.6);
  std::vector<const char*> texts, symbols(n, "◆");  // a diamond, as the points are drawn
  for (const LegendEntry& e : entries)
    opts.push_back(static_cast<PLINT>(e.key)), colours.push_back(e.colour), texts.push_back(e.text);
  PLFLT width = 0, height = 0;
  pllegend(&width, &height, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
           PL_POSITION_TOP | PL_POSITION_RIGHT | PL_POSITION_INSIDE | PL_POSITION_VIEWPORT, 0.015, 0.025,
           0.06, kPaper, kInk, 1, n, 1, n, opts.data(), 1.0, 0.9, 2.0, 0.0, ink.data(), texts.data(),
           colours.data(), zeros.data(), ones.data(), ones.data(), colours.data(), styles.data(),
           widths.data(), colours.data(), mark_scales.data(), symbols_n.data(), symbols.data());
}

enum class Mark { line, points };

constexpr int kPageWidth = 900, kPageHeight = 640;  // the SVG page, in pixels
// Half the diagonal of a measured point's diamond, in pixels of the page.
constexpr double kPointRadius = 1.6;

// Small filled diamonds centred on the points, drawn as polygons: a font's
// glyph (PLplot's symbols are text in SVG) sits on its baseline, some points
// away from the value it stands for.
void draw_points(const Polyline& points) {
  PLFLT x0, x1, y0, y1, wx0, wx1, wy0, wy1;
  plgvpd(&x0, &x1, &y0, &y1);
  plgvpw(&wx0, &wx1, &wy0, &wy1);
  const double dx = kPointRadius * (wx1 - wx0) / ((x1 - x0) * kPageWidth);
  const double dy = kPointRadius * (wy1 - wy0) / ((y1 - y0) * kPageHeight);
  for (std::size_t i = 0; i < points.x.size(); ++i) {
    const double x = points.x[i], y = points.y[i];
    PLFLT px[4] = {x - dx, x, x + dx, x}, py[4] = {y, y - dy, y, y + dy};
    plfill(4, px, py);
  }
}

// A curve drawn as a line or as points, thinned to what the plot's width shows.
void draw_thinned(const std::vector<double>& x, const std::vector<double>& y, Mark mark) {
  Polyline thin = thinned_curve(x, [&y](std::size_t i) { return y[i]; });
  if (mark == Mark::points) {
    draw_points(thin);
  } else {
    plline(static_cast<PLINT>(thin.x.size()), thin.x.data(), thin.y.data());
  }
}

// The difference drawn over each run of fitted points alone, each run thinned
// to its share of the plot's width.
void draw_fitted_difference(const FitCurves& c) {
  const double span = std::abs(c.x.back() - c.x.front());
  for (std::size_t first = 0; first < c.x.size();) {
    if (!c.fitted[first]) {
      ++first;
      continue;
    }
    std::size_t end = first;
    while (end < c.x.size() && c.fitted[end]) ++end;
    const std::vector<double> x(c.x.begin() + static_cast<std::ptrdiff_t>(first),
                                c.x.begin() + static_cast<std::ptrdiff_t>(end));
    const double share = span > 0 ? std::abs(x.back() - x.front()) / span : 1.0;
    const auto columns = static_cast<std::size_t>(std::ceil(share * static_cast<double>(kPlotColumns)));
    const Polyline thin = thinned_curve(
        x, [&c, first](std::size_t i) { return c.difference[first + i]; }, std::max<std::size_t>(columns, 1));
    plline(static_cast<PLINT>(thin.x.size()), thin.x.data(), thin.y.data());
    first = end;
  }
}

// The ranges left out of the fit, within the measured range, as grey bands
// from bottom to top of the current window.
void draw_excluded_bands(const FitPicture& p, double bottom, double top) {
  const double low = p.observed.two_theta.front(), high = p.observed.two_theta.back();
  plcol0(kExcluded);
  for (const ExcludedRange& range : p.excluded) {
    const double from = std::max(range.from, low), to = std::min(range.to, high);
    if (!(from < to)) continue;
    PLFLT x[4] = {measured_at(p, from), measured_at(p, to), measured_at(p, to), measured_at(p, from)};
    PLFLT y[4] = {bottom, bottom, top, top};
    plfill(4, x, y);
  }
}

// The vertical scales: the upper panel from zero (or the lowest count, when
// below it) over the span up to the highest point; the difference panel's
// half height, which is never zero so that a perfect fit still has a scale.
struct PanelScales {
  double bottom, span, diff_half;
};

PanelScales panel_scales(const FitCurves& c) {
  const auto [lowest, highest] = std::minmax_element(c.observed.begin(), c.observed.end());
  const double top = std::max(*highest, *std::max_element(c.calculated.begin(), c.calculated.end()));
  const double bottom = std::min(0.0, *lowest);
  const double span = top > bottom ? top - bottom : 1.0;
  // The difference drawn: that of the points fitted.
  double largest_difference = 0;
  for (std::size_t i = 0; i < c.difference.size(); ++i)
    if (c.fitted[i]) largest_difference = std::max(largest_difference, std::abs(c.difference[i]));
  return {bottom, span, std::max(largest_difference, 1e-3 * span)};
}

// A new page, with the plot's colours and its sizes of characters and ticks.
void begin_page(const std::string& file) {
  begin_svg_page(file, kPageWidth, kPageHeight);
  set_colours();
  plinit();
  pladv(0);
  plschr(4.4, 1.0);
  plsmaj(2.6, 1.0);
  plsmin(1.3, 1.0);
}

// Where the panels stand on the page (fractions of its width and height), and
// the spacing of the ticks along the horizontal axis.
struct PanelLayout {
  double left, right, diff_bottom, diff_top, strip_top, upper_top, xtick;
};

PanelLayout panel_layout(const FitCurves& c, std::size_t tick_rows, const PanelScales& v) {
  PanelLayout l{};
  l.left = 0.115;
  l.right = 0.97;
  const double row = 40.0 / kPageHeight;
  l.diff_bottom = 70.0 / kPageHeight;
  // The difference panel is as tall, in intensity, as the difference needs, at the upper panel's
  // scale but no less than a sixth of the page.
  l.upper_top = 1.0 - 50.0 / kPageHeight;
  const double strip = row * static_cast<double>(tick_rows);
  const double available = l.upper_top - l.diff_bottom - strip;
  const double diff_share =
      std::clamp(2.0 * v.diff_half / (1.3 * v.span + 2.0 * v.diff_half), 1.0 / 6.0, 0.4);
  l.diff_top = l.diff_bottom + diff_share * available;
  l.strip_top = l.diff_top + strip;
  l.xtick = tick_spacing(std::abs(c.x.back() - c.x.front()));
  return l;
}

// h k l over the strongest peaks, at the height of the calculated line there
// (or of the measured point, when higher).
void label_strongest_peaks(const FitPicture& p, const FitCurves& c, double span) {
  const ObservedPattern& o = p.observed;
  const double low = o.two_theta.front(), high = o.two_theta.back();
  const double x0 = c.x.front(), x1 = c.x.back();
  plcol0(kInk);
  plschr(0, 0.6);
  std::vector<PlacedLabel> wanted;
  for (const PeakLabel& label :
       strongest_peaks(p.peaks, peak_kind(p), p.axis.labels, low, high, p.fit.zero_shift)) {
    const auto nearest = std::lower_bound(o.two_theta.begin(), o.two_theta.end(), label.two_theta);
    const std::size_t i = std::min(static_cast<std::size_t>(nearest - o.two_theta.begin()), c.x.size() - 1);
    wanted.push_back({measured_at(p, label.two_theta), std::max(c.calculated[i], c.observed[i]) + 0.02 * span,
                      label.text});
  }
  const TextExtent text = text_extent();
  // Along the axis's direction, which runs right to left for d.
  for (const PlacedLabel& label : spread_labels(wanted, text.char_width, text.line_height, x0, x1))
    plptex(label.x, label.y, x1 > x0 ? 1 : -1, 0, 0.5, label.text.c_str());
  plschr(0, 1.0);
}

// Upper panel: observed points, background, calculated line, the strongest
// peaks' h k l and the legend.
void draw_upper_panel(const FitPicture& p, const std::string& title, const FitCurves& c, const PanelScales& v,
                      const PanelLayout& l) {
  plvpor(l.left, l.right, l.strip_top, l.upper_top);
  plwind(c.x.front(), c.x.back(), v.bottom, v.bottom + 1.3 * v.span);
  draw_excluded_bands(p, v.bottom, v.bottom + 1.3 * v.span);
  plcol0(kInk);
  plbox("bcst", l.xtick, 0, "bcnstv", 0, 0);
  plmtex("l", 5.2, 0.5, 0.5, "Intensity (counts)");
  plmtex("t", 1.2, 0.5, 0.5, title.c_str());
  plcol0(kObserved);
  draw_thinned(c.x, c.observed, Mark::points);
  plcol0(kBackground);
  draw_thinned(c.x, p.fit.background_values, Mark::line);
  plwidth(1.3);
  plcol0(kCalculated);
  draw_thinned(c.x, c.calculated, Mark::line);
  plwidth(1.0);
  label_strongest_peaks(p, c, v.span);
  std::vector<LegendEntry> legend = {{kObserved, "observed", Key::points},
                                     {kCalculated, "calculated"},
                                     {kBackground, "background"},
                                     {kDifference, "observed - calculated"}};
  if (!p.excluded.empty()) legend.push_back({kExcluded, "excluded from the fit", Key::box});
  draw_legend(legend);
}

// The strip of tick rows, the first on top, each labelled at its left.
void draw_tick_rows(const std::vector<TickRow>& rows, const FitCurves& c, const PanelLayout& l) {
  plvpor(l.left, l.right, l.diff_top, l.strip_top);
  const auto nrows = static_cast<double>(rows.size());
  plwind(c.x.front(), c.x.back(), 0.0, nrows);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double row_top = nrows - static_cast<double>(r);
    plcol0(tick_colour(rows[r].kind));
    for (double at : tick_positions(rows[r])) pljoin(at, row_top - 0.2, at, row_top - 0.8);
    plmtex("lv", 0.6, (row_top - 0.5) / nrows, 1.0, rows[r].label.c_str());
  }
  plcol0(kInk);
  plbox("bc", l.xtick, 0, "bc", 0, 0);
}

// The difference panel's vertical numbers: ticks far enough apart for their
// numbers, written as multiples of 10^exponent when large or small. PLplot's own
// exponent would stand above the panel's top left corner, over the tick rows' labels.
struct DifferenceTicks {
  double step;
  int exponent, decimals;
};

// A tick's number this many pixels from the next, where the panel has room: 16-pixel text and a gap.
constexpr double kTickPixels = 20;

// Ticks of 1, 2 or 5 times a power of ten, the nearest that are kTickPixels
// apart, but one at least on each side of zero (the largest step within the
// panel's half height: its numbers are still some 16 pixels apart).
DifferenceTicks difference_ticks(double half, double pixels) {
  double step = 0, within = 0;
  for (double decade = std::pow(10.0, std::floor(std::log10(half)) - 2); step == 0; decade *= 10)
    for (double m : {1.0, 2.0, 5.0}) {
      if (m * decade <= 1.1 * half) within = m * decade;
      if (step == 0 && m * decade * pixels / (2.2 * half) >= kTickPixels) step = m * decade;
    }
  step = std::min(step, within);
  const double largest = std::floor(1.1 * half / step) * step;
  const int exponent =
      largest >= 1e4 || largest < 1e-2 ? 3 * static_cast<int>(std::floor(std::log10(largest) / 3)) : 0;
  const int decimals = std::max(0, exponent - static_cast<int>(std::floor(std::log10(step) + 1e-9)));
  return {step, exponent, decimals};
}

extern "C" void difference_label(PLINT, PLFLT value, char* label, PLINT length, PLPointer data) {
  const DifferenceTicks& t = *static_cast<const DifferenceTicks*>(data);
  const double shown = std::abs(value) < t.step / 2 ? 0.0 : value / std::pow(10.0, t.exponent);
  std::snprintf(label, static_cast<std::size_t>(length), "%.*f", t.decimals, shown);
}

// Difference panel, symmetric about zero, with the horizontal axis's label.
void draw_difference_panel(const FitPicture& p, const FitCurves& c, const PanelScales& v,
                           const PanelLayout& l) {
  plvpor(l.left, l.right, l.diff_bottom, l.diff_top);
  plwind(c.x.front(), c.x.back(), -v.diff_half * 1.1, v.diff_half * 1.1);
  draw_excluded_bands(p, -v.diff_half * 1.1, v.diff_half * 1.1);
  plcol0(kInk);
  DifferenceTicks ticks = difference_ticks(v.diff_half, (l.diff_top - l.diff_bottom) * kPageHeight);
  plslabelfunc(difference_label, &ticks);
  plbox("bcnst", l.xtick, 0, "bcnostv", ticks.step, 0);
  plslabelfunc(nullptr, nullptr);
  // The numbers' factor, where the upper panel has its title.
  if (ticks.exponent != 0)
    plmtex("l", 5.2, 0.5, 0.5, ("(×10#u" + std::to_string(ticks.exponent) + "#d)").c_str());
  plcol0(kDifference);
  draw_fitted_difference(c);
  plcol0(kInk);
  plmtex("b", 3.3, 0.5, 0.5, p.axis.label());
}

}  // namespace

bool draw_fit_plot(const std::string& file, const std::string& title, const FitPicture& p) {
  const FitCurves curves = fit_curves(p);
  const std::vector<TickRow> rows = fit_tick_rows(p);
  const PanelScales scales = panel_scales(curves);
  begin_page(file);
  const PanelLayout layout = panel_layout(curves, rows.size(), scales);
  draw_upper_panel(p, title, curves, scales, layout);
  draw_tick_rows(rows, curves, layout);
  draw_difference_panel(p, curves, scales, layout);
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
