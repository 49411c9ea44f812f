// The table is aligned in columns for reading; the JSON keeps every digit
// (shortest text that reads back as the same double).
#include "powder/refinement_report.hpp"

#include <algorithm>
#include <cstdio>

#include "errors/escaping.hpp"
#include "numbers/shortest_text.hpp"
#include "rietveld/esd_text.hpp"

namespace velmora::powder {
namespace {

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string percent(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%", 100 * fraction);
  return text;
}

// A JSON string of the program's own words (parameter names, the engine's
// reasons): quotes and backslashes escaped, control bytes as \u escapes.
std::string quoted(const std::string& given) {
  std::string out = "\"";
  for (const char c : frontend::underscored_utf8(given)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

std::string refinement_table(const rietveld::PatternRefinement& r, const std::string& source) {
  std::string text = "refinement of " + frontend::valid_utf8(source) + ": " + std::to_string(r.iterations) +
                     " iterations, " + (r.converged ? "converged" : "not converged") + " (" + r.stop_reason +
                     ")\n";
  std::size_t width = 9;
  for (const rietveld::RefinedValue& v : r.values) width = std::max(width, v.name.size());
  for (const rietveld::RefinedValue& v : r.values) {
    if (v.refined) {
      text += "  " + padded(v.name, width) + "  " + rietveld::with_esd(v.value, v.esd) + "\n";
    } else if (!v.follows.empty()) {
      text += "  " + padded(v.name, width) + "  " + rietveld::with_esd(v.value, v.esd) + "  (= " + v.follows +
              ")\n";
    }
  }
  text += "  Rp " + percent(r.fit.rp) + "  Rwp " + percent(r.fit.rwp) + "  Rexp " + percent(r.fit.rexp) +
          "  chi2 " + shortest_text(static_cast<float>(r.fit.chi2)) + "\n";
  for (const std::string& basis : r.cell_bases) text += "  " + basis + "\n";
  for (const rietveld::NamedCorrelation& c : r.correlations) {
    char value[16];
    std::snprintf(value, sizeof value, "%.3f", c.value);
    text += "  correlation " + c.first + " / " + c.second + ": " + value + "\n";
  }
  for (const std::string& name : r.at_bound) text += "  " + name + " ended on its bound\n";
  return text;
}

std::string refinement_json_members(const rietveld::PatternRefinement& r) {
  std::string text = "  \"parameters\": [";
  for (std::size_t j = 0; j < r.values.size(); ++j) {
    const rietveld::RefinedValue& v = r.values[j];
    text += std::string(j == 0 ? "\n" : ",\n") + "    {\"name\": " + quoted(v.name) +
            ", \"value\": " + shortest_text(v.value) + ", \"esd\": " + shortest_text(v.esd) +
            ", \"refined\": " + (v.refined ? "true" : "false") +
            (v.follows.empty() ? "" : ", \"follows\": " + quoted(v.follows)) + "}";
  }
  text += "\n  ],\n  \"correlations\": [";
  for (std::size_t j = 0; j < r.correlations.size(); ++j) {
    const rietveld::NamedCorrelation& c = r.correlations[j];
    text += std::string(j == 0 ? "" : ", ") + "{\"first\": " + quoted(c.first) +
            ", \"second\": " + quoted(c.second) + ", \"value\": " + shortest_text(c.value) + "}";
  }
  text += "],\n  \"at_bound\": [";
  for (std::size_t j = 0; j < r.at_bound.size(); ++j)
    text += std::string(j == 0 ? "" : ", ") + quoted(r.at_bound[j]);
  text += "],\n  \"iterations\": " + std::to_string(r.iterations) +
          ",\n  \"converged\": " + (r.converged ? "true" : "false") +
          ",\n  \"stop_reason\": " + quoted(r.stop_reason);
  return text;
}

}  // namespace velmora::powder
