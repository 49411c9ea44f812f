// GSAS raw powder data files as the GSAS manual defines them (A. C. Larson and
// R. B. Von Dreele, General Structure Analysis System, LANL report LAUR
// 86-748, 2004: "GSAS Standard Powder Data File"): a title line, then
// "BANK IBANK NCHAN NREC BINTYP BCOEF1..4 TYPE" and NREC 80-column records,
// each a line or, as GSAS writes them on Unix, 80 bytes without a line end.
#include <charconv>
#include <cmath>
#include <vector>

#include "powder/pattern_readers.hpp"
#include "powder/text_lines.hpp"

namespace velmora::powder {
namespace {

// A BANK line is looked for among the first lines: the title, an optional
// "Instrument parameter" line and comment lines starting with #.
constexpr std::size_t kLinesBeforeBank = 20;

constexpr std::size_t kRecordLength = 80;

bool bank_line(std::string_view line) { return line.size() > 5 && line.substr(0, 5) == "BANK "; }

// GSAS on Unix writes its files as 80-byte records without line ends (direct
// access); such a file is a title record, then the BANK record.
bool unended_records(std::string_view text) {
  return text.size() >= 2 * kRecordLength && text.size() % kRecordLength == 0 &&
         text.find_first_of("\r\n") == std::string_view::npos &&
         bank_line(text.substr(kRecordLength, kRecordLength));
}

std::string as_lines(std::string_view records) {
  std::string lines;
  for (std::size_t i = 0; i < records.size(); i += kRecordLength) {
    lines += records.substr(i, kRecordLength);
    lines += '\n';
  }
  return lines;
}

std::string_view trimmed(std::string_view field) {
  const auto first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return field.substr(first, field.find_last_not_of(' ') - first + 1);
}

// A Fortran number field: blanks around digits, an optional sign and point.
bool field_value(std::string_view field, double& value) {
  field = trimmed(field);
  if (!field.empty() && field[0] == '+') field.remove_prefix(1);
  const auto result = std::from_chars(field.data(), field.data() + field.size(), value);
  return !field.empty() && result.ec == std::errc() && result.ptr == field.data() + field.size() &&
         std::isfinite(value);
}

std::vector<std::string_view> words_of(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while ((i = line.find_first_not_of(" \t", i)) != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(" \t", i), line.size());
    words.push_back(line.substr(i, end - i));
    i = end;
  }
  return words;
}

enum class Layout { std_counts, esd, fxye };

struct Bank {
  std::size_t points = 0;
  double start = 0, step = 0;  // centidegrees, for STD and ESD
  Layout layout = Layout::std_counts;
};

Bank bank_of(std::string_view line, const std::string& where) {
  const auto words = words_of(line);
  double value = 0;
  if (words.size() < 5 || !field_value(words[2], value) || value < 1 || value != std::floor(value))
    fail_powder(where +
                "expected BANK IBANK NCHAN NREC BINTYP BCOEF..., the number of points NCHAN a whole number");
  if (value > kMostObservedPoints)
    fail_powder(where + "more than 10^7 points, beyond what velmora-powder fits");
  Bank bank;
  bank.points = static_cast<std::size_t>(value);
  const std::string binning(words[4]);
  if (binning != "CONST" && binning != "CONS")
    fail_powder(where + "binning " + binning.substr(0, 20) +
                " is not read; velmora-powder reads constant-wavelength 2theta scans (CONST)");
  std::vector<double> coefficients;
  std::size_t i = 5;
  for (; i < words.size() && field_value(words[i], value); ++i) coefficients.push_back(value);
  if (i < words.size()) {
    const std::string type(words[i]);
    if (type == "ESD")
      bank.layout = Layout::esd;
    else if (type == "FXYE")
      bank.layout = Layout::fxye;
    else if (type != "STD")
      fail_powder(where + "data type " + type.substr(0, 20) +
                  " is not read; velmora-powder reads STD, ESD and FXYE");
  }
  if (bank.layout != Layout::fxye) {
    if (coefficients.size() < 2 || !(coefficients[1] > 0))
      fail_powder(where + "CONST needs the start and a step above 0, in centidegrees");
    bank.start = coefficients[0];
    bank.step = coefficients[1];
  }
  return bank;
}

// STD: ten pairs a record, the number of counters in 2 columns (blank: 1) and
// the intensity in 6 (I2,F6). The intensity is the mean over the counters,
// so its variance is the counts' over their number squared: sigma =
// sqrt(I / NCTR), the manual's esd. With every NCTR 1 the intensities are
// plain counts, and the fit's Poisson weighting from the calculated counts
// applies, as for counts given without sigma; with any other NCTR those
// weights would be wrong by the factor NCTR, so the file's sigma is used.
// A count of 0 keeps the weight of a single count spread over the counters.
void add_std_record(std::string_view line, const std::string& where, std::size_t points, ObservedPattern& o,
                    std::vector<double>& counters) {
  for (std::size_t k = 0; k < 10 && o.intensity.size() < points; ++k) {
    if (8 * k + 2 >= line.size() || trimmed(line.substr(8 * k + 2, 6)).empty()) return;
    double n = 1, y = 0;
    const std::string_view counter_field = line.substr(8 * k, 2);
    if ((!trimmed(counter_field).empty() && !field_value(counter_field, n)) || n < 1 || n != std::floor(n) ||
        !field_value(line.substr(8 * k + 2, 6), y))
      fail_powder(where + "columns " + std::to_string(8 * k + 1) + "-" + std::to_string(8 * k + 8) + " \"" +
                  std::string(line.substr(8 * k, 8)) +
                  "\": an STD record holds ten pairs of counters (2 columns) and intensity (6)");
    o.intensity.push_back(y);
    o.sigma.push_back(std::sqrt(std::max(y, 1.0 / n) / n));
    counters.push_back(n);
  }
}

// ESD: five pairs a record of intensity and its esd, eight columns each.
void add_esd_record(std::string_view line, const std::string& where, std::size_t points, ObservedPattern& o) {
  for (std::size_t k = 0; k < 5 && o.intensity.size() < points; ++k) {
    if (16 * k >= line.size() || trimmed(line.substr(16 * k, 16)).empty()) return;
    double y = 0, e = 0;
    if (!field_value(line.substr(16 * k, 8), y) || 16 * k + 8 >= line.size() ||
        !field_value(line.substr(16 * k + 8, 8), e))
      fail_powder(where + "columns " + std::to_string(16 * k + 1) + "-" + std::to_string(16 * k + 16) +
                  ": an ESD record holds five pairs of intensity and esd, eight columns each");
    o.intensity.push_back(y);
    o.sigma.push_back(e);
  }
}

// FXYE: one point a record, 2-theta in centidegrees, intensity and esd.
void add_fxye_record(std::string_view line, const std::string& where, ObservedPattern& o) {
  const auto words = words_of(line);
  double x = 0, y = 0, e = 0;
  if (words.size() != 3 || !field_value(words[0], x) || !field_value(words[1], y) ||
      !field_value(words[2], e))
    fail_powder(where + "an FXYE record is 2theta (centidegrees), intensity and esd");
  o.two_theta.push_back(x / 100);
  o.intensity.push_back(y);
  o.sigma.push_back(e);
}

// The other banks' BANK lines, for the note.
std::string other_banks(TextLines& lines) {
  std::string others;
  std::string_view line;
  while (lines.next(line))
    if (bank_line(line))
      others += (others.empty() ? "" : ", ") + std::string("line ") + std::to_string(lines.number());
  return others;
}

}  // namespace

bool is_gsas_raw(std::string_view text) {
  if (unended_records(text)) return true;
  TextLines lines(text);
  std::string_view line;
  while (lines.next(line) && lines.number() <= kLinesBeforeBank)
    if (lines.number() > 1 && bank_line(line)) return true;
  return false;
}

ObservedPattern read_gsas_raw(std::string_view text, const std::string& name, Remarks& remarks) {
  if (unended_records(text)) return read_gsas_raw(as_lines(text), name, remarks);
  TextLines lines(text);
  std::string_view line;
  while (lines.next(line) && !(lines.number() > 1 && bank_line(line))) {
  }
  const std::size_t bank_line_number = lines.number();
  const std::string at_bank = name + ", line " + std::to_string(bank_line_number) + ": ";
  const Bank bank = bank_of(line, at_bank);
  ObservedPattern observed;
  observed.source = name;
  std::vector<double> counters;
  while (observed.intensity.size() < bank.points && lines.next(line)) {
    const std::string where = name + ", line " + std::to_string(lines.number()) + ": ";
    if (bank_line(line)) break;
    if (bank.layout == Layout::std_counts) add_std_record(line, where, bank.points, observed, counters);
    if (bank.layout == Layout::esd) add_esd_record(line, where, bank.points, observed);
    if (bank.layout == Layout::fxye) add_fxye_record(line, where, observed);
  }
  if (observed.intensity.size() < bank.points)
    fail_powder(at_bank + "the bank has " + std::to_string(bank.points) +
                " points (NCHAN), its records hold " + std::to_string(observed.intensity.size()));
  if (bank.layout != Layout::fxye)
    for (std::size_t i = 0; i < bank.points; ++i)
      observed.two_theta.push_back((bank.start + static_cast<double>(i) * bank.step) / 100);
  observed.sigma_given = bank.layout != Layout::std_counts;
  for (double n : counters) observed.sigma_given = observed.sigma_given || n != 1;
  const std::string others = other_banks(lines);
  if (!others.empty())
    remarks.note(name + ": the first bank (line " + std::to_string(bank_line_number) +
                 ") is fitted; the file's other banks (" + others + ") are not fitted");
  return observed;
}

}  // namespace velmora::powder
