// The page is written as it is made: the head with the styles, the tables as
// HTML text, then the plot's data as JSON in a <script> element (every point
// of the measurement, so that a zoom into a peak's tails shows them all), the
// plotting library and the page's script. Colours are those of the SVG plot.
#include "powder/html_report.hpp"

#include <cmath>
#include <numbers>
#include <string_view>

#include "powder/html_text.hpp"
#include "powder/json_text.hpp"
#include "powder/number_text.hpp"

namespace velmora::powder {

// The files compiled in from third_party/uplot and beside this one (cmake/embed_file.cmake).
std::string_view uplot_script();
std::string_view uplot_style();
std::string_view report_script();
std::string_view report_style();

namespace {

constexpr std::size_t kChunk = 1 << 16;  // bytes of numbers handed to the sink at a time

// A curve of the plot: its legend's text, colour, how it is drawn (points,
// line, filled) and its vertical scale (y, or y2 for X-rays beside neutrons).
struct PageSeries {
  std::string label;
  const char* colour;
  const char* style;
  const char* scale = "y";
};

// Values as a JSON array; a point not kept (left out of the fit) as null, a gap.
template <typename Real>
void add_numbers(TextSink& out, const std::vector<Real>& values, const std::vector<bool>* kept = nullptr) {
  std::string text = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ',';
    text += kept != nullptr && !(*kept)[i] ? "null" : json_number(static_cast<float>(values[i]));
    if (text.size() > kChunk) out.add(text), text.clear();
  }
  out.add(text + "]");
}

// A peak's d in angstroms: its own, or from its angle and wavelength for a
// peak the refinement placed, d = lambda / (2 sin theta).
double d_of(const PowderPeak& peak) {
  if (peak.d > 0) return peak.d;
  return peak.wavelength / (2 * std::sin(peak.two_theta * std::numbers::pi / 360));
}

// The rows of ticks: each mark's position, h k l, the row's intensity of its peak and d.
void add_ticks(TextSink& out, const std::vector<TickRow>& rows) {
  static constexpr const char* kColours[] = {"#14328c", "#cd1e1e", "#0f6e3c", "#c87800"};
  std::string text = "[";
  for (const TickRow& row : rows) {
    text += (text.size() > 1 ? ",{\"label\":" : "{\"label\":") + script_json_string(row.label) +
            ",\"colour\":\"" + kColours[static_cast<int>(row.kind)] + "\",\"marks\":[";
    for (std::size_t i = 0; i < row.marks.size(); ++i) {
      const PowderPeak& peak = *row.marks[i].peak;
      text += (i == 0 ? "[" : ",[") + json_number(static_cast<float>(row.marks[i].at)) + ",\"" +
              hkl_text(peak.h) + "\"," + json_number(peak.*row.intensity) + "," + json_number(d_of(peak)) +
              "]";
      if (text.size() > kChunk) out.add(text), text.clear();
    }
    text += "]}";
  }
  out.add(text + "]");
}

void add_series(TextSink& out, const PageSeries& s) {
  out.add("{\"label\":" + script_json_string(s.label) + ",\"colour\":\"" + s.colour + "\",\"style\":\"" +
          s.style + "\",\"scale\":\"" + s.scale + "\",\"y\":");
}

// A table of rows under its heading, and the notes that go with it.
void add_table(TextSink& out, const char* heading, const std::vector<ReportRow>& rows,
               const std::vector<std::string>& notes) {
  if (rows.empty()) return;
  std::string text = std::string("<section><h2>") + heading + "</h2><table>";
  for (const ReportRow& row : rows)
    text += "<tr><th>" + html_text(row.name) + "</th><td>" + html_text(row.value) + "</td><td>" +
            html_text(row.note) + "</td></tr>";
  text += "</table>";
  if (!notes.empty()) {
    text += "<ul class=\"notes\">";
    for (const std::string& note : notes) text += "<li>" + html_text(note) + "</li>";
    text += "</ul>";
  }
  out.add(text + "</section>\n");
}

// The page around the plot's data, which `data` writes as the members of one JSON object.
void add_page(TextSink& out, const ReportTables& t, const TextFill& data) {
  const std::string title = html_text(t.title);
  out.add(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "script-src 'unsafe-inline'; style-src 'unsafe-inline'\">\n"
      "<meta name=\"viewport\" content=\"width=device-width\">\n<title>" +
      title +
      " — velmora-powder</title>\n<script>window.onerror = function (message) {\n"
      "  document.documentElement.setAttribute(\"data-script-error\", "
      "String(message));\n};</script>\n<style>");
  out.add(uplot_style());
  out.add("</style>\n<style>");
  out.add(report_style());
  out.add("</style>\n</head>\n<body>\n<header><h1>" + title + "</h1></header>\n");
  out.add(
      "<div id=\"legend\"></div>\n<div id=\"plot\"></div>\n<p class=\"hint\">Drag across the plot to "
      "zoom (up or down too, for the intensity), turn the wheel to zoom about the cursor, drag with shift or "
      "the middle button to pan, double-click to see it all.</p>\n<div id=\"readout\">The cursor's 2θ, d "
      "and Q, the curves there and the nearest reflections show here.</div>\n");
  out.add("<div class=\"tables\">\n");
  add_table(out, "Agreement", t.agreement, {});
  add_table(out, "Parameters", t.parameters, t.notes);
  add_table(out, "Model", t.model, {});
  out.add("</div>\n");
  if (!t.remarks.empty()) {
    std::string text = "<section><h2>Remarks</h2><ul class=\"remarks\">";
    for (const frontend::Remark& r : t.remarks)
      text += std::string(r.kind == frontend::Remark::Kind::warning ? "<li class=\"warning\">" : "<li>") +
              html_text(r.line()) + "</li>";
    out.add(text + "</ul></section>\n");
  }
  out.add("<script id=\"pattern-data\" type=\"application/json\">{");
  data(out);
  out.add("}</script>\n<script>");
  out.add(uplot_script());
  out.add("</script>\n<script>");
  out.add(report_script());
  out.add("</script>\n</body>\n</html>\n");
}

// The members every page's data has before its curves.
std::string axis_members(double wavelength, double zero, const char* y_label, const char* y2_label) {
  return "\"xLabel\":\"2θ (degrees)\",\"wavelength\":" + json_number(wavelength) +
         ",\"zero\":" + json_number(zero) + ",\"yLabel\":" + script_json_string(y_label) +
         ",\"y2Label\":" + (y2_label ? script_json_string(y2_label) : std::string("null")) + ",\"x\":";
}

}  // namespace

TextFill fit_html(const FitPicture& picture, const ReportTables& tables) {
  return [&picture, &tables](TextSink& out) {
    FitPicture p = picture;
    p.axis.axis = Axis::two_theta;
    const FitCurves c = fit_curves(p);
    add_page(out, tables, [&](TextSink& data) {
      // The first line's wavelength as the fit left it (refined, when it was).
      const double wavelength =
          !p.peaks.empty() && p.peaks.front().wavelength > 0 ? p.peaks.front().wavelength : p.axis.wavelength;
      data.add(axis_members(wavelength, p.fit.zero_shift, "Intensity (counts)", nullptr));
      add_numbers(data, c.x);
      data.add(",\"series\":[");
      add_series(data, {"observed", "#14328c", "points"});
      add_numbers(data, c.observed);
      data.add("},");
      add_series(data, {"calculated", "#cd1e1e", "line"});
      add_numbers(data, c.calculated);
      data.add("},");
      add_series(data, {"background", "#828282", "line"});
      add_numbers(data, p.fit.background_values);
      data.add("}],\"difference\":");
      add_numbers(data, c.difference, &c.fitted);
      data.add(",\"ticks\":");
      add_ticks(data, fit_tick_rows(p));
      std::string excluded = ",\"excluded\":[";
      for (const ExcludedRange& range : p.excluded)
        excluded += (excluded.back() == '[' ? "[" : ",[") + json_number(range.from) + "," +
                    json_number(range.to) + "]";
      data.add(excluded + "]");
    });
  };
}

TextFill pattern_html(const PowderPattern& pattern, const std::vector<PowderPeak>& peaks, Radiation radiation,
                      double wavelength, const ReportTables& tables) {
  return [&pattern, &peaks, radiation, wavelength, &tables](TextSink& out) {
    const bool neutron = radiation != Radiation::xray, xray = radiation != Radiation::neutron;
    const std::vector<TickRow> rows = pattern_tick_rows(
        peaks, pattern.two_theta.front(), pattern.two_theta.back(), radiation, {Axis::two_theta, wavelength});
    const bool magnetic = neutron && rows.size() > (xray ? 2 : 1);
    add_page(out, tables, [&](TextSink& data) {
      data.add(axis_members(wavelength, 0,
                            neutron ? "Neutron intensity (barn/degree)" : "X-ray intensity (e²/degree)",
                            neutron && xray ? "X-ray intensity (e²/degree)" : nullptr));
      add_numbers(data, pattern.two_theta);
      data.add(",\"series\":[");
      if (neutron) {
        add_series(data, {magnetic ? "neutron, nuclear + magnetic" : "neutron, nuclear", "#14328c", "line"});
        add_numbers(data, pattern.total);
        data.add("}");
      }
      if (magnetic) {
        data.add(",");
        add_series(data, {"magnetic part", "#cd1e1e", "filled"});
        add_numbers(data, pattern.magnetic);
        data.add("}");
      }
      if (xray) {
        data.add(neutron ? "," : "");
        add_series(data, {"X-ray", "#0f6e3c", "line", neutron ? "y2" : "y"});
        add_numbers(data, pattern.xray);
        data.add("}");
      }
      data.add("],\"difference\":null,\"ticks\":");
      add_ticks(data, rows);
      data.add(",\"excluded\":[]");
    });
  };
}

}  // namespace velmora::powder
