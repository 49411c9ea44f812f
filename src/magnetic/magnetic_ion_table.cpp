// Reading the magnetic ion table: plain CSV (fields separated by commas, a
// field with commas in double quotes), UTF-8 text in the configurations, and
// each number read to the nearest float.
#include "magnetic/magnetic_ion_table.hpp"

#include <charconv>
#include <fstream>
#include <sstream>

#include "tables/table_folder.hpp"

namespace velmora {
namespace {

constexpr std::size_t kFields = 22;  // label, configuration, term, source, 9 of <j0>, 9 of <j2>

std::vector<std::string> csv_fields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// Superscript digits (UTF-8 ¹ ² ³ and U+2070 ... U+2079) as plain digits,
// each group of an orbital and its count joined to the next by '-'.
std::string plain_configuration(const std::string& text) {
  static const std::string supers[10] = {"⁰", "¹", "²", "³", "⁴", "⁵", "⁶", "⁷", "⁸", "⁹"};
  std::string out;
  bool after_count = false;
  for (std::size_t i = 0; i < text.size();) {
    int digit = -1;
    for (int d = 0; d < 10 && digit < 0; ++d)
      if (text.compare(i, supers[d].size(), supers[d]) == 0) digit = d;
    if (digit >= 0) {
      out += static_cast<char>('0' + digit);
      i += supers[digit].size();
      after_count = true;
    } else {
      if (after_count) out += '-';
      out += text[i++];
      after_count = false;
    }
  }
  return out;
}

}  // namespace

std::string MagneticIon::name() const {
  return several ? label + ":" + plain_configuration(configuration) : label;
}

std::vector<const MagneticIon*> MagneticIonTable::rows_of(std::string_view label) const {
  std::vector<const MagneticIon*> rows;
  for (const MagneticIon& ion : ions)
    if (ion.label == label) rows.push_back(&ion);
  return rows;
}

const MagneticIon& MagneticIonTable::named(std::string_view name) const {
  const std::string_view label = name.substr(0, name.find(':'));
  const std::vector<const MagneticIon*> rows = rows_of(label);
  if (rows.empty())
    throw MagneticModelError(std::string(label) + ": " + path + " has no magnetic form factor of this name");
  // The configuration as the file writes it (6s¹5d⁵) or plainly (6s1-5d5), or its start (6s1).
  const std::string_view configuration = name.size() > label.size() ? name.substr(label.size() + 1) : "";
  const std::string wanted = std::string(label) + ":" + plain_configuration(std::string(configuration));
  std::vector<const MagneticIon*> fit;
  for (const MagneticIon* ion : rows)
    if (name.size() == label.size() || (ion->several && ion->name().starts_with(wanted))) fit.push_back(ion);
  if (fit.size() == 1) return *fit.front();
  std::string names;
  for (const MagneticIon* ion : rows) names.append(" ").append(ion->name());
  throw MagneticModelError(std::string(name) + ": " + path + " has fits of " + std::string(label) +
                           " for several configurations; name one:" + names);
}

MagneticIonTable parse_magnetic_ion_table(const std::string& text, const std::string& name) {
  MagneticIonTable table;
  table.path = name;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 || line.empty()) continue;  // the header names the columns
    const std::vector<std::string> f = csv_fields(line);
    const std::string place = name + ", line " + std::to_string(number);
    if (f.size() != kFields)
      throw MagneticModelError(place + ": " + std::to_string(f.size()) + " fields, not " +
                               std::to_string(kFields));
    MagneticIon ion{f[0], f[1], f[2], f[3], {}, {}, false};
    for (std::size_t k = 0; k < 18; ++k) {
      const std::string& field = f[4 + k];
      float& value = k < 9 ? ion.j0[k] : ion.j2[k - 9];
      const auto [end, fault] = std::from_chars(field.data(), field.data() + field.size(), value);
      if (field.empty() || fault != std::errc() || end != field.data() + field.size())
        throw MagneticModelError(place + ": '" + field + "' is not a number");
    }
    table.ions.push_back(std::move(ion));
  }
  if (table.ions.empty()) throw MagneticModelError(name + ": no magnetic form factor in the file");
  for (MagneticIon& ion : table.ions) ion.several = table.rows_of(ion.label).size() > 1;
  return table;
}

MagneticIonTable read_magnetic_ion_table(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  if (!file || file.bad() || path.empty())
    throw MagneticModelError((path.empty() ? std::string(kMagneticIonFileName) : path.string()) +
                             ": cannot read the table of magnetic form factors");
  return parse_magnetic_ion_table(text.str(), path.string());
}

std::filesystem::path find_magnetic_ion_file(const std::filesystem::path& tables_folder) {
  std::error_code error;
  if (std::filesystem::is_regular_file(tables_folder / kMagneticIonFileName, error))
    return tables_folder / kMagneticIonFileName;
  for (const std::filesystem::path& folder : table_folder_candidates())
    if (std::filesystem::is_regular_file(folder / kMagneticIonFileName, error))
      return folder / kMagneticIonFileName;
  return {};
}

}  // namespace velmora
