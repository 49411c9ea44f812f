// The table is written column by column from the values: h k l, d, the
// scattering vector qx qy qz and its length q = 2 pi / d, the squared moduli
// |Fn|^2, |Fm|^2 and |FX|^2, and with sets the multiplicity.
#include "cif/reflection_table.hpp"

#include <charconv>
#include <cmath>
#include <functional>

#include "errors/escaping.hpp"
#include "numbers/shortest_text.hpp"

namespace velmora::cif {
namespace {

struct Column {
  const char* name;
  const char* unit;
  std::function<float(const ReflectionValues&)> value;
};

const std::vector<Column>& columns() {
  static const std::vector<Column> all = {
      {"h", "", [](const ReflectionValues& v) { return v.geometry.h[0]; }},
      {"k", "", [](const ReflectionValues& v) { return v.geometry.h[1]; }},
      {"l", "", [](const ReflectionValues& v) { return v.geometry.h[2]; }},
      {"d", "angstrom", [](const ReflectionValues& v) { return v.geometry.d; }},
      {"qx", "1/angstrom", [](const ReflectionValues& v) { return v.geometry.q.x; }},
      {"qy", "1/angstrom", [](const ReflectionValues& v) { return v.geometry.q.y; }},
      {"qz", "1/angstrom", [](const ReflectionValues& v) { return v.geometry.q.z; }},
      {"q", "1/angstrom", [](const ReflectionValues& v) { return v.geometry.kappa; }},
      {"fn2", "barn", [](const ReflectionValues& v) { return v.fn_squared; }},
      {"fm2", "barn", [](const ReflectionValues& v) { return v.fm_squared; }},
      {"fx2", "electron^2", [](const ReflectionValues& v) { return v.fx_squared; }},
  };
  return all;
}

std::string json_string(const std::string& given) {
  std::string out = "\"";
  for (char c : frontend::underscored_utf8(given)) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      const char* hex = "0123456789abcdef";
      out += std::string("\\u00") + hex[u >> 4] + hex[u & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string json_number(float value) { return std::isfinite(value) ? shortest_text(value) : "null"; }

// The rows: every reflection, or each set's representative.
std::vector<std::size_t> row_indices(const std::vector<ReflectionValues>& values,
                                     const std::vector<EquivalentSet>* sets) {
  std::vector<std::size_t> rows;
  if (sets != nullptr) {
    for (const EquivalentSet& set : *sets) rows.push_back(set.representative);
  } else {
    for (std::size_t i = 0; i < values.size(); ++i) rows.push_back(i);
  }
  return rows;
}

std::string csv_table(const std::vector<ReflectionValues>& values, const std::vector<EquivalentSet>* sets,
                      const std::vector<ModelEntry>& model) {
  std::string out;
  for (const Column& c : columns()) {
    if (!out.empty()) out += ',';
    out += c.name;
  }
  out += sets != nullptr ? ",multiplicity\n" : "\n";
  const std::vector<std::size_t> rows = row_indices(values, sets);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::string line;
    for (const Column& c : columns()) {
      if (!line.empty()) line += ',';
      line += shortest_text(c.value(values[rows[r]]));
    }
    if (sets != nullptr) line += ',' + std::to_string((*sets)[r].multiplicity);
    out += line;
    out += '\n';
  }
  for (const ModelEntry& e : model) {
    std::string value = e.value;
    for (char& ch : value)
      if (ch == '\n' || ch == '\r') ch = ' ';
    out += "# " + e.name + ": " + value + "\n";
  }
  std::string units = "# units:";
  for (const Column& c : columns())
    if (*c.unit != '\0') units += std::string(" ") + c.name + " " + c.unit + ",";
  units.back() = '\n';
  return out + units;
}

std::string json_table(const std::vector<ReflectionValues>& values, const std::vector<EquivalentSet>* sets,
                       const std::vector<ModelEntry>& model) {
  std::string out = "{\n  \"model\": {";
  for (std::size_t i = 0; i < model.size(); ++i)
    out += std::string(i == 0 ? "\n" : ",\n") + "    " + json_string(model[i].name) + ": " +
           (model[i].text ? json_string(model[i].value) : model[i].value);
  out += "\n  },\n  \"units\": {";
  bool first = true;
  for (const Column& c : columns()) {
    if (*c.unit == '\0') continue;
    out += std::string(first ? "" : ", ") + json_string(c.name) + ": " + json_string(c.unit);
    first = false;
  }
  out += "},\n  \"reflections\": {";
  const std::vector<std::size_t> rows = row_indices(values, sets);
  for (const Column& c : columns()) {
    out +=
        std::string(c.name == columns().front().name ? "\n" : ",\n") + "    " + json_string(c.name) + ": [";
    for (std::size_t r = 0; r < rows.size(); ++r)
      out.append(r == 0 ? "" : ", ").append(json_number(c.value(values[rows[r]])));
    out += "]";
  }
  if (sets != nullptr) {
    out += ",\n    \"multiplicity\": [";
    for (std::size_t r = 0; r < sets->size(); ++r)
      out.append(r == 0 ? "" : ", ").append(std::to_string((*sets)[r].multiplicity));
    out += "]";
  }
  return out + "\n  }\n}\n";
}

}  // namespace

std::string reflection_table(TableFormat format, const std::vector<ReflectionValues>& values,
                             const std::vector<EquivalentSet>* sets, const std::vector<ModelEntry>& model) {
  return format == TableFormat::csv ? csv_table(values, sets, model) : json_table(values, sets, model);
}

}  // namespace velmora::cif
