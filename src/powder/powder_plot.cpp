// Drawing with PLplot's SVG driver, which lays out the axes, their ticks and
// numbers, the labels and the legend itself. Each panel is the pattern above a
// strip of tick marks, one row per kind of peak, sharing the 2-theta axis.
#include "powder/powder_plot.hpp"

#include "powder/powder_error.hpp"

#ifdef VELMORA_POWDER_PLOT
#include <plplot/plplot.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "powder/plot_thinning.hpp"
#include "powder/svg_page.hpp"

namespace velmora::powder {
namespace {

// Colour map 0 entries; 0 is the background.
enum Colour : PLINT { kPaper = 0, kInk = 1, kNeutron = 2, kMagnetic = 3, kMagneticFill = 4, kXray = 5 };

void set_colours() {
  plscol0(kPaper, 255, 255, 255);
  plscol0(kInk, 0, 0, 0);
  plscol0(kNeutron, 20, 50, 140);
  plscol0(kMagnetic, 205, 30, 30);
  plscol0(kMagneticFill, 250, 205, 205);
  plscol0(kXray, 15, 110, 60);
}

struct Curve {
  const std::vector<float>& values;
  Colour colour;
  const char* label;
  bool filled;  // the area under the curve is shaded too
};

// The colour of a row of ticks.
Colour tick_colour(TickKind kind) {
  return kind == TickKind::magnetic ? kMagnetic : kind == TickKind::xray ? kXray : kNeutron;
}

// An h k l written over its peak, in the panel's coordinates.
struct TextMark {
  double x, y;
  std::string text;
};

// The page: margins and the height of one tick row, in normalised page units.
// The pattern's frame reaches this far above its highest point, leaving room
// for the legend.
constexpr double kHeadroom = 1.3;

// Height of a one-panel page in points (900 wide).
constexpr int kPanelHeight = 560;

// Sizes in PLplot's millimetres.
constexpr double kCharacterMm = 4.4;
constexpr double kMajorTickMm = 2.6;

struct Frame {
  double left = 0.115, right = 0.97;
  double row_height;
};

// The points of a curve that shape it: thinned to the plot's width
// (plot_thinning.hpp). Values that are not observable beside the highest are
// drawn as zero (they lie within a millionth of the frame's height of it);
// inside a run of equal values (the baseline between peaks) only the run's
// ends are kept, which draws the same line with far fewer points.
Polyline shape_points(const std::vector<double>& x, const std::vector<float>& values, float highest) {
  const Polyline thin = thinned_curve(x, [&](std::size_t i) {
    return observable(values[i], highest) ? static_cast<double>(values[i]) : 0.0;
  });
  Polyline line;
  for (std::size_t i = 0; i < thin.x.size(); ++i) {
    if (i > 0 && i + 1 < thin.x.size() && thin.y[i] == thin.y[i - 1] && thin.y[i] == thin.y[i + 1]) continue;
    line.x.push_back(thin.x[i]);
    line.y.push_back(thin.y[i]);
  }
  return line;
}

// Shaded areas first, then the lines in order, so that a later curve is drawn
// over an earlier one where they meet.
void draw_curves(const std::vector<double>& x, const std::vector<Curve>& curves, float highest) {
  for (const Curve& c : curves) {
    if (!c.filled) continue;
    Polyline area = shape_points(x, c.values, highest);
    area.x.insert(area.x.begin(), x.front());
    area.y.insert(area.y.begin(), 0.0);
    area.x.push_back(x.back());
    area.y.push_back(0.0);
    plcol0(kMagneticFill);
    plfill(static_cast<PLINT>(area.x.size()), area.x.data(), area.y.data());
  }
  plwidth(1.3);
  for (const Curve& c : curves) {
    const Polyline line = shape_points(x, c.values, highest);
    plcol0(c.colour);
    plline(static_cast<PLINT>(line.x.size()), line.x.data(), line.y.data());
  }
  plwidth(1.0);
}

void draw_legend(const std::vector<Curve>& curves) {
  const auto n = static_cast<PLINT>(curves.size());
  std::vector<PLINT> opts(n, PL_LEGEND_LINE), colours, styles(n, 1), ink(n, kInk), zeros(n, 0);
  std::vector<PLFLT> widths(n, 2.0), ones(n, 1.0);
  std::vector<const char*> texts, empty(n, "");
  for (const Curve& c : curves) {
    colours.push_back(c.colour);
    texts.push_back(c.label);
  }
  PLFLT width = 0, height = 0;
  // In the top right corner, in the headroom left above the highest peak.
  pllegend(&width, &height, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
           PL_POSITION_TOP | PL_POSITION_RIGHT | PL_POSITION_INSIDE | PL_POSITION_VIEWPORT, 0.015, 0.025,
           0.06, kPaper, kInk, 1, n, 1, n, opts.data(), 1.0, 0.9, 2.0, 0.0, ink.data(), texts.data(),
           zeros.data(), zeros.data(), ones.data(), ones.data(), colours.data(), styles.data(), widths.data(),
           zeros.data(), ones.data(), zeros.data(), empty.data());
}

// Major ticks of the 2-theta axis: 1, 2 or 5 times a power of ten, about ten
// of them over the range.
double tick_spacing(double span) {
  for (double decade = 0.01; decade < 100; decade *= 10)
    for (double step : {1.0, 2.0, 5.0})
      if (span / (step * decade) <= 12) return step * decade;
  return 100;
}

// One panel between the page heights bottom and top: the pattern above, the
// tick rows below it, the 2-theta numbers and label under them.
void draw_panel(const Frame& frame, double bottom, double top, const std::vector<double>& x,
                const std::vector<Curve>& curves, const std::vector<TickRow>& rows, const char* y_label,
                const std::string& title, const char* x_label, const std::vector<TextMark>& marks) {
  const double x0 = x.front(), x1 = x.size() > 1 ? x.back() : x.front() + 1.0;
  const double strip_top = bottom + frame.row_height * static_cast<double>(rows.size());
  float highest = 0;
  for (const Curve& c : curves)
    for (float v : c.values) highest = std::max(highest, v);

  plvpor(frame.left, frame.right, strip_top, top);
  plwind(x0, x1, 0.0, highest > 0 ? kHeadroom * highest : 1.0);
  plcol0(kInk);
  const double xtick = tick_spacing(std::abs(x1 - x0));
  plbox("bcst", xtick, 0, "bcnstv", 0, 0);
  plmtex("l", 5.2, 0.5, 0.5, y_label);
  if (!title.empty()) plmtex("t", 1.2, 0.5, 0.5, title.c_str());
  draw_curves(x, curves, highest);
  plcol0(kInk);
  plschr(0, 0.6);
  std::vector<PlacedLabel> wanted;
  for (const TextMark& mark : marks) wanted.push_back({mark.x, mark.y + 0.02 * highest, mark.text});
  const TextExtent text = text_extent();
  // Along the axis's direction, which runs right to left for d.
  for (const PlacedLabel& label : spread_labels(wanted, text.char_width, text.line_height, x0, x1))
    plptex(label.x, label.y, x1 > x0 ? 1 : -1, 0, 0.5, label.text.c_str());
  plschr(0, 1.0);
  draw_legend(curves);

  plvpor(frame.left, frame.right, bottom, strip_top);
  const auto nrows = static_cast<double>(rows.size());
  plwind(x0, x1, 0.0, nrows);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double row_top = nrows - static_cast<double>(r);
    plcol0(tick_colour(rows[r].kind));
    plwidth(1.3);
    for (double at : tick_positions(rows[r])) pljoin(at, row_top - 0.2, at, row_top - 0.8);
    plwidth(1.0);
    plmtex("lv", 0.6, (row_top - 0.5) / nrows, 1.0, rows[r].label.c_str());
  }
  plcol0(kInk);
  plbox("bcnst", xtick, 0, "bc", 0, 0);
  plmtex("b", 3.3, 0.5, 0.5, x_label);
}

bool svg_driver_present() {
  std::array<const char*, 128> menu{}, names{};
  const char** menu_p = menu.data();
  const char** names_p = names.data();
  int count = static_cast<int>(names.size());
  plgDevs(&menu_p, &names_p, &count);
  return std::any_of(names.begin(), names.begin() + count,
                     [](const char* name) { return name != nullptr && std::string_view(name) == "svg"; });
}

// Labels over the strongest peaks of one kind, at the height of the curve there.
std::vector<TextMark> label_marks(const std::vector<PowderPeak>& peaks, Intensity kind, const PlotAxis& axis,
                                  const std::vector<float>& two_theta, const std::vector<float>& curve) {
  std::vector<TextMark> marks;
  for (const PeakLabel& label :
       strongest_peaks(peaks, kind, axis.labels, two_theta.front(), two_theta.back(), 0)) {
    const auto nearest =
        std::lower_bound(two_theta.begin(), two_theta.end(), static_cast<float>(label.two_theta));
    const std::size_t i = std::min(static_cast<std::size_t>(nearest - two_theta.begin()), curve.size() - 1);
    marks.push_back({axis.at(label.two_theta), curve[i], label.text});
  }
  return marks;
}

}  // namespace

bool plot_supported() { return svg_driver_present(); }

bool draw_powder_plot(const std::string& file, const std::string& title, const PowderPattern& pattern,
                      const std::vector<PowderPeak>& peaks, Radiation radiation, const PlotAxis& axis) {
  const bool neutron = radiation != Radiation::xray, xray = radiation != Radiation::neutron;
  std::vector<double> x;
  for (float two_theta : pattern.two_theta) x.push_back(axis.at(two_theta));
  const double x0 = pattern.two_theta.front(), x1 = pattern.two_theta.back();

  std::vector<TickRow> neutron_rows, xray_rows;
  for (TickRow& row : pattern_tick_rows(peaks, x0, x1, radiation, axis))
    (row.kind == TickKind::xray ? xray_rows : neutron_rows).push_back(std::move(row));
  const bool magnetic = neutron_rows.size() > 1;

  const int height = neutron && xray ? 2 * kPanelHeight - 80 : kPanelHeight;
  begin_svg_page(file, 900, height);
  set_colours();
  plinit();
  pladv(0);
  // Characters and ticks of a fixed size, whatever the page's height.
  plschr(kCharacterMm, 1.0);
  plsmaj(kMajorTickMm, 1.0);
  plsmin(kMajorTickMm / 2, 1.0);
  const Frame frame{.row_height = 44.0 / height};
  const double panel = neutron && xray ? 0.5 : 1.0;
  if (neutron) {
    std::vector<Curve> curves{
        {pattern.total, kNeutron, magnetic ? "neutron, nuclear + magnetic" : "neutron, nuclear", false}};
    if (magnetic) curves.push_back({pattern.magnetic, kMagnetic, "magnetic part", true});
    draw_panel(frame, 1.0 - panel + 80.0 / height, 1.0 - 50.0 / height, x, curves, neutron_rows,
               "Neutron intensity (barn/degree)", title, axis.label(),
               label_marks(peaks, Intensity::neutron_total, axis, pattern.two_theta, pattern.total));
  }
  if (xray) {
    draw_panel(frame, 80.0 / height, panel - 50.0 / height, x,
               {{pattern.xray, kXray, "X-ray, unpolarised beam", false}}, xray_rows,
               "X-ray intensity (e²/degree)", neutron ? "" : title, axis.label(),
               label_marks(peaks, Intensity::xray, axis, pattern.two_theta, pattern.xray));
  }
  return end_svg_page(file);
}

}  // namespace velmora::powder

#else  // built without PLplot

namespace velmora::powder {

bool plot_supported() { return false; }

bool draw_powder_plot(const std::string&, const std::string&, const PowderPattern&,
                      const std::vector<PowderPeak>&, Radiation, const PlotAxis&) {
  fail_powder("--plot: this velmora-powder was built without PLplot");
}

}  // namespace velmora::powder

#endif
