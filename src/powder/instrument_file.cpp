// The GSAS instrument parameter file, as the GSAS manual describes it (A. C.
// Larson & R. B. Von Dreele, General Structure Analysis System, LAUR 86-748,
// 2004: "Instrument Parameter File" and the constant-wavelength profile
// functions 1 to 3). Each line is "INS", the bank in columns 4-6 and a
// keyword in columns 7-12, then its values; the constants of ICONS stand in
// fixed columns, as GSAS's Fortran reads them, a blank field being 0.
//   INS   BANK   number of banks (one here)
//   INS   HTYPE  P (powder), N or X (neutrons, X-rays), C or T (constant
//                wavelength, time of flight), R
//   INS  1 ICONS LAM1 LAM2 ZERO (columns 13-22, 23-32, 33-42), columns 43-52
//                unused, POLA (53-62), IPOLA (63-67), KRATIO (68-77)
//   INS  1PRCFk  the profile function, its number of terms, the peak cut-off
//   INS  1PRCFkm the terms, four to a line (m = 1, 2, ...)
// Set 1 is the default profile ("the first set specified is the default",
// B. H. Toby on the Rietveld list, 18 Feb 1997); lines of the incident
// spectrum (I HEAD, I ITYP), IRAD, INAME and DETAZM serve GSAS only.
#include "powder/instrument_file.hpp"

#include <charconv>
#include <cmath>
#include <map>
#include <numbers>

#include "errors/failure.hpp"
#include "files/input_file.hpp"
#include "powder/number_text.hpp"
#include "powder/pattern_checks.hpp"

namespace velmora::powder {
namespace {

// GSAS's Gaussian terms give the variance sigma^2 in centidegrees^2 and
// FWHM^2 = 8 ln 2 sigma^2: the factor to velmora's FWHM^2 in degrees^2.
const double kFwhmSquaredPerVariance = 8.0 * std::numbers::ln2 / 1e4;
// Angles (ZERO, the Lorentzian LX and LY) are in centidegrees.
constexpr double kDegreesPerCentidegree = 0.01;
// Each profile line holds up to this many terms.
constexpr std::size_t kTermsPerLine = 4;

// The terms of the profile functions in the file's order (the manual's names).
const std::vector<std::string>& term_names(int type) {
  static const std::vector<std::string> gaussian = {"GU", "GV", "GW", "asym", "F1", "F2"};
  static const std::vector<std::string> howard = {"GU",   "GV",   "GW",  "LX",   "LY",   "trns",
                                                  "asym", "shft", "GP",  "stec", "ptec", "sfec",
                                                  "L11",  "L22",  "L33", "L12",  "L13",  "L23"};
  static const std::vector<std::string> finger = {"GU",  "GV",   "GW",   "GP",   "LX",   "LY",   "S/L",
                                                  "H/L", "trns", "shft", "stec", "ptec", "sfec", "L11",
                                                  "L22", "L33",  "L12",  "L13",  "L23"};
  static const std::vector<std::string> none;
  return type == 1 ? gaussian : type == 2 ? howard : type == 3 ? finger : none;
}

[[noreturn]] void fail_at(const std::string& file, long line, const std::string& reason) {
  frontend::Failure failure;
  failure.code = frontend::FailureCode::file;
  failure.file = file;
  failure.line = line;
  failure.reason = reason;
  frontend::fail(std::move(failure));
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A Fortran field: blank is 0.
bool number_of(std::string_view text, double& value) {
  text = trimmed(text);
  value = 0;
  if (text.empty()) return true;
  if (text[0] == '+' && text.size() > 1) text.remove_prefix(1);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && std::isfinite(value);
}

std::vector<std::string_view> words_of(std::string_view text) {
  std::vector<std::string_view> words;
  while (!(text = trimmed(text)).empty()) {
    const std::size_t end = std::min(text.find_first_of(" \t"), text.size());
    words.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return words;
}

std::string quoted(std::string_view text) {
  std::string q(1, '"');
  q.append(text.substr(0, 60));
  q.push_back('"');
  return q;
}

struct ProfileSet {
  long header_line = 0;
  int type = 0, terms = 0;
  std::map<int, long> lines;                  // m of PRCFkm: its line in the file
  std::map<int, std::vector<double>> values;  // m: its terms
};

struct Reading {
  std::string name;
  long htype_line = 0, icons_line = 0;
  std::string htype;
  double lam1 = 0, lam2 = 0, zero = 0, pola = 0, ipola = 0, kratio = 0;
  std::map<int, ProfileSet> sets;
  std::map<std::string, long> seen;  // keyword: its line, for one given twice
};

void read_htype(Reading& r, std::string_view data, long line) {
  const std::vector<std::string_view> words = words_of(data);
  const std::string htype = words.size() == 1 ? std::string(words[0]) : std::string();
  if (htype.size() != 4)
    fail_at(r.name, line, "HTYPE " + quoted(trimmed(data)) + ": expected four letters such as PNCR or PXCR");
  if (htype[0] != 'P') fail_at(r.name, line, "HTYPE " + htype + ": not powder data (P...)");
  if (htype[1] != 'N' && htype[1] != 'X')
    fail_at(r.name, line, "HTYPE " + htype + ": the second letter says neutrons (N) or X-rays (X)");
  if (htype[2] == 'T')
    fail_at(r.name, line,
            "HTYPE " + htype +
                ": time-of-flight data; velmora-powder computes constant-wavelength patterns (PNCR, PXCR)");
  if (htype[2] != 'C')
    fail_at(r.name, line,
            "HTYPE " + htype +
                ": not constant-wavelength data (the third letter C); velmora-powder computes those only");
  r.htype = htype;
  r.htype_line = line;
}

// The constants in their columns (from 0: 12-21, 22-31, 32-41, unused 42-51,
// 52-61, 62-66, 67-76).
void read_icons(Reading& r, std::string_view text, long line) {
  struct Field {
    std::size_t from, to;
    const char* name;
    double* value;
  };
  const Field fields[] = {{12, 22, "LAM1", &r.lam1},   {22, 32, "LAM2", &r.lam2},
                          {32, 42, "ZERO", &r.zero},   {52, 62, "POLA", &r.pola},
                          {62, 67, "IPOLA", &r.ipola}, {67, 77, "KRATIO", &r.kratio}};
  for (const Field& f : fields) {
    const std::string_view field =
        f.from < text.size() ? text.substr(f.from, f.to - f.from) : std::string_view();
    if (!number_of(field, *f.value))
      fail_at(r.name, line,
              std::string("ICONS: ") + quoted(field) + " in columns " + std::to_string(f.from + 1) + "-" +
                  std::to_string(f.to) + " (" + f.name +
                  ") is no number; GSAS reads the constants in fixed columns");
  }
  if (text.size() > 77 && !trimmed(text.substr(77)).empty())
    fail_at(r.name, line,
            "ICONS: " + quoted(trimmed(text.substr(77))) + " beyond column 77, where KRATIO ends");
  if (r.ipola != std::floor(r.ipola)) fail_at(r.name, line, "ICONS: IPOLA must be a whole number");
  r.icons_line = line;
}

int whole_number(const Reading& r, std::string_view word, long line, const char* what) {
  int value = 0;
  const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
  if (result.ec != std::errc() || result.ptr != word.data() + word.size())
    fail_at(r.name, line, quoted(word) + " is no whole number (" + what + ")");
  return value;
}

void read_profile_line(Reading& r, std::string_view key, std::string_view data, long line) {
  const int set = key[4] - '0';
  const std::vector<std::string_view> words = words_of(data);
  if (key.size() == 5) {
    if (words.size() != 3)
      fail_at(r.name, line,
              std::string(key) + ": expected the profile function, its number of terms and the cut-off");
    ProfileSet& s = r.sets[set];
    s.header_line = line;
    s.type = whole_number(r, words[0], line, "the profile function");
    s.terms = whole_number(r, words[1], line, "the number of terms");
    double cutoff = 0;
    if (!number_of(words[2], cutoff))
      fail_at(r.name, line, quoted(words[2]) + " is no number (the peak cut-off)");
    return;
  }
  const int m = whole_number(r, key.substr(5), line, "the line of the profile terms");
  if (r.sets.count(set) == 0)
    fail_at(r.name, line,
            std::string(key) + " before the line PRCF" + std::to_string(set) + " that names its profile");
  if (words.empty() || words.size() > kTermsPerLine)
    fail_at(r.name, line,
            std::string(key) + ": expected 1 to 4 profile terms, found " + std::to_string(words.size()));
  std::vector<double>& values = r.sets[set].values[m];
  for (std::string_view word : words) {
    double value = 0;
    if (!number_of(word, value))
      fail_at(r.name, line, std::string(key) + ": " + quoted(word) + " is no number");
    values.push_back(value);
  }
  r.sets[set].lines[m] = line;
}

void read_line(Reading& r, std::string_view text, long line) {
  if (text.substr(0, 3) != "INS")
    fail_at(r.name, line, "expected a line INS ... of GSAS instrument parameters, found " + quoted(text));
  const std::string_view bank = trimmed(text.substr(3, 3));
  const std::string key(trimmed(text.size() > 6 ? text.substr(6, 6) : std::string_view()));
  const std::string_view data = text.size() > 12 ? text.substr(12) : std::string_view();
  if (const auto [earlier, fresh] = r.seen.emplace(std::string(bank) + "|" + key, line); !fresh)
    fail_at(r.name, line, key + ": given twice (first on line " + std::to_string(earlier->second) + ")");
  if (bank.empty() && key == "BANK") {
    const std::vector<std::string_view> words = words_of(data);
    if (words.size() != 1 || whole_number(r, words[0], line, "the number of banks") != 1)
      fail_at(
          r.name, line,
          "BANK " + quoted(trimmed(data)) + ": velmora-powder reads an instrument file of one bank (BANK 1)");
  } else if (bank.empty() && key == "HTYPE") {
    read_htype(r, data, line);
  } else if (bank.empty()) {
    fail_at(r.name, line, quoted(key) + " (columns 7-12): no instrument parameter velmora-powder knows");
  } else if (bank != "1") {
    fail_at(r.name, line,
            "a line of bank " + std::string(bank) + "; velmora-powder reads files of one bank (1)");
  } else if (key == "ICONS") {
    read_icons(r, text, line);
  } else if (key.size() >= 5 && key.size() <= 6 && key.compare(0, 4, "PRCF") == 0 && key[4] >= '1' &&
             key[4] <= '9') {
    read_profile_line(r, key, data, line);
  } else if (key != "I HEAD" && key != "I ITYP" && key != "IRAD" && key != "INAME" && key != "DETAZM") {
    fail_at(r.name, line, quoted(key) + " (columns 7-12): no instrument parameter velmora-powder knows");
  }
}

// A set's terms in order, with the file line of each; the lines must run 1, 2, ...
// and hold the number of terms the header names, a last line filled out with
// zeros (as GSAS writes them) beyond it.
std::vector<double> terms_of(const Reading& r, int set, const ProfileSet& s, std::vector<long>& lines) {
  std::vector<double> terms;
  int expected = 1;
  const std::string name = "PRCF" + std::to_string(set);
  for (const auto& [m, values] : s.values) {
    const long line = s.lines.at(m);
    if (m != expected)
      fail_at(
          r.name, line,
          name + std::to_string(m) + " without the line " + name + std::to_string(expected) + " before it");
    if (terms.size() >= static_cast<std::size_t>(s.terms))
      fail_at(r.name, line,
              name + std::to_string(m) + ": a line beyond the " + std::to_string(s.terms) + " terms that " +
                  name + " names");
    ++expected;
    for (double value : values) {
      if (terms.size() < static_cast<std::size_t>(s.terms)) {
        terms.push_back(value);
        lines.push_back(line);
      } else if (value != 0) {
        fail_at(r.name, line,
                name + std::to_string(m) + ": more terms than the " + std::to_string(s.terms) + " that " +
                    name + " names");
      }
    }
  }
  if (terms.size() != static_cast<std::size_t>(s.terms))
    fail_at(r.name, s.header_line,
            name + " names " + std::to_string(s.terms) + " terms; its lines give " +
                std::to_string(terms.size()));
  return terms;
}

InstrumentProfile profile_of(const Reading& r, int set, const ProfileSet& s) {
  const std::vector<std::string>& names = term_names(s.type);
  if (names.empty())
    fail_at(r.name, s.header_line,
            "PRCF" + std::to_string(set) + ": profile function " + std::to_string(s.type) +
                "; velmora-powder takes the constant-wavelength functions 1, 2 and 3");
  if (s.terms < 3 || static_cast<std::size_t>(s.terms) > names.size())
    fail_at(r.name, s.header_line,
            "PRCF" + std::to_string(set) + ": function " + std::to_string(s.type) + " has from 3 to " +
                std::to_string(names.size()) + " terms, not " + std::to_string(s.terms));
  InstrumentProfile p;
  p.set = set;
  p.type = s.type;
  std::vector<long> lines;
  p.terms = terms_of(r, set, s, lines);
  p.terms.resize(names.size(), 0.0);
  lines.resize(names.size(), s.header_line);
  const auto term = [&](const char* name) {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return p.terms[i];
    return 0.0;
  };
  // sigma^2 = GU tan^2 + GV tan + GW + GP / cos^2, and 1 / cos^2 = 1 + tan^2:
  // GP adds to GU and GW exactly.
  const double gp = term("GP");
  const double u = (term("GU") + gp) * kFwhmSquaredPerVariance, v = term("GV") * kFwhmSquaredPerVariance,
               w = (term("GW") + gp) * kFwhmSquaredPerVariance;
  p.width.given_by = r.name + " (its profile PRCF" + std::to_string(set) + ")";
  if (s.type == 1) {
    p.width.caglioti = {u, v, w};
  } else {
    // GSAS's Lorentzian FWHM is LX / cos theta + LY tan theta; velmora's
    // Thompson-Cox-Hastings terms name them the other way round: X tan theta + Y / cos theta.
    p.width.tch =
        TchParameters{u, v, w, term("LY") * kDegreesPerCentidegree, term("LX") * kDegreesPerCentidegree};
    for (const char* name : {"LX", "LY"})
      for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name && p.terms[i] < 0)
          fail_at(r.name, lines[i],
                  std::string(name) + " " + shortest_text(static_cast<float>(p.terms[i])) +
                      ": a Lorentzian width must not fall below 0");
    for (const char* name : {"S/L", "H/L"})
      for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name && p.terms[i] < 0)
          fail_at(r.name, lines[i],
                  std::string(name) + " " + shortest_text(static_cast<float>(p.terms[i])) +
                      ": a half-height over the diffractometer's radius must not fall below 0");
  }
  p.asymmetry = term("asym");
  p.s_over_l = term("S/L");
  p.h_over_l = term("H/L");
  for (std::size_t i = 0; i < names.size(); ++i) {
    const bool applied = names[i] == "GU" || names[i] == "GV" || names[i] == "GW" || names[i] == "GP" ||
                         names[i] == "LX" || names[i] == "LY";
    if (!applied && p.terms[i] != 0)
      p.unapplied.push_back(names[i] + " " + shortest_text(static_cast<float>(p.terms[i])));
  }
  return p;
}

// Lines, zero and polarisation from ICONS, as the radiation reads them.
void set_constants(const Reading& r, Instrument& instrument) {
  const long line = r.icons_line;
  if (!(r.lam1 > 0)) fail_at(r.name, line, "ICONS: LAM1 must be above 0 (the wavelength in angstroms)");
  if (r.lam2 < 0) fail_at(r.name, line, "ICONS: LAM2 must not be below 0 (0: a single wavelength)");
  instrument.lines = {{r.lam1, 1.0}};
  if (r.lam2 > 0) {
    if (!(r.kratio > 0))
      fail_at(r.name, line,
              "ICONS: LAM2 is given, and KRATIO (its intensity relative to LAM1) must be above 0");
    instrument.lines.push_back({r.lam2, r.kratio});
  }
  if (const auto fault = source_lines_fault(instrument.lines))
    fail_at(r.name, line, "ICONS: the wavelengths " + *fault);
  // GSAS places a peak at the Bragg angle plus ZERO, in centidegrees: the sense
  // of velmora's zero shift, 2theta_obs = 2theta_calc + zero_shift.
  instrument.zero_shift = r.zero * kDegreesPerCentidegree;
  if (instrument.radiation != Radiation::xray) return;  // GSAS reads POLA for X-rays only
  if (r.ipola == 0) {
    if (!(r.pola >= 0 && r.pola <= 1))
      fail_at(r.name, line,
              "ICONS: POLA " + shortest_text(static_cast<float>(r.pola)) +
                  " with IPOLA 0 is the polarised fraction, from 0 to 1 (0.5: unpolarised)");
    instrument.polarisation = {r.pola};
  } else if (r.ipola == 1) {
    if (!(r.pola >= 0 && r.pola <= 1))
      fail_at(r.name, line,
              "ICONS: POLA " + shortest_text(static_cast<float>(r.pola)) +
                  " with IPOLA 1 is cos^2 2theta of the monochromator, from 0 to 1");
    instrument.polarisation = Polarisation::of_monochromator(r.pola);
  } else {
    fail_at(r.name, line,
            "ICONS: IPOLA " + shortest_text(static_cast<float>(r.ipola)) +
                ": 0 (POLA the polarised fraction) or 1 (POLA = cos^2 2theta of a monochromator)");
  }
}

bool ruler(std::string_view text) { return text.find_first_not_of("0123456789 ") == std::string_view::npos; }

}  // namespace

Instrument parse_instrument_file(const std::string& text, const std::string& name) {
  Reading r;
  r.name = name;
  long number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The column ruler GSAS writes at the top, blank lines and comments.
    if (trimmed(line).empty() || ruler(line) || line.substr(0, 4) == "COMM") continue;
    read_line(r, line, number);
  }
  if (r.htype.empty())
    frontend::fail_file(name, "no line INS   HTYPE: neither X-rays nor neutrons are named");
  if (r.icons_line == 0) frontend::fail_file(name, "no line INS  1 ICONS: the wavelength is not given");
  Instrument instrument;
  instrument.source = name;
  instrument.htype = r.htype;
  instrument.radiation = r.htype[1] == 'X' ? Radiation::xray : Radiation::neutron;
  set_constants(r, instrument);
  std::vector<long> unused;
  for (const auto& [set, s] : r.sets) terms_of(r, set, s, unused);  // every set well formed
  if (!r.sets.empty()) instrument.profile = profile_of(r, r.sets.begin()->first, r.sets.begin()->second);
  return instrument;
}

Instrument read_instrument_file(const std::string& path) {
  return parse_instrument_file(
      frontend::read_input_file(path, "the instrument parameters", frontend::kMostInputBytes),
      frontend::input_name(path));
}

}  // namespace velmora::powder
