// Reflection lists. The reflections with d >= dmin are found row by row inside
// the sphere |s| <= 1/dmin of the reciprocal lattice, so the work follows the
// number of reflections, and both the reflections and the rows searched are
// counted against a limit before memory grows.
#include "cif/reflection_list.hpp"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cif/conversion_error.hpp"
#include "files/input_file.hpp"
#include "numbers/shortest_text.hpp"

namespace velmora::cif {
namespace {

// More reflections than this are refused rather than written: velmora holds
// every reflection in memory and prints one line each, so a list this long is
// a mistaken --dmin, not a calculation anyone wants.
constexpr std::size_t kMostReflections = 10'000'000;
// The search stops after this many rows of indices, however few they hold, so
// that a needle-shaped cell cannot keep it going for hours.
constexpr double kMostRows = 1e8;

// A limit as its messages write it: in millions.
std::string millions(double count) { return shortest_text(count / 1e6) + " million"; }

struct Candidate {
  double d;
  Hkl hkl;
};

bool read_number(const std::string& text, double& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  auto result = std::from_chars(begin, end, value);
  return result.ec == std::errc() && result.ptr == end && std::fabs(value) <= FLT_MAX;
}

// A line as a message may show it: at most 40 characters, any byte that is
// no printable ASCII character written as \xNN.
std::string shown(const std::string& line) {
  std::string out;
  for (std::size_t i = 0; i < line.size() && i < 40; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      const char* hex = "0123456789abcdef";
      out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
    }
  }
  return line.size() > 40 ? out + "..." : out;
}

}  // namespace

std::vector<Hkl> reflections_to_dmin(const gemmi::UnitCell& cell, double dmin) {
  if (!(dmin > 0)) fail_conversion("--dmin " + shortest_text(dmin) + ": the smallest d must be above 0");
  const std::string too_many = "--dmin " + shortest_text(dmin) + ": far too many reflections (more than " +
                               millions(static_cast<double>(kMostReflections)) + ")";
  // s = F^T (h, k, l) with F the fractionalisation matrix, upper triangular:
  // s_x = F00 h, s_y = F01 h + F11 k, s_z = F02 h + F12 k + F22 l. For each h
  // the k that keep |s| <= 1/dmin form one range, and for each h, k the l.
  const gemmi::Mat33& f = cell.frac.mat;
  const double slack = 1e-9;  // d = dmin exactly may come out a rounding below it
  const double r_sq = (1 + 4 * slack) / (dmin * dmin);
  // |h| <= a / dmin, as h = a . s; likewise k and l.
  const double hmax = std::floor(std::sqrt(r_sq) * cell.a), kmax = std::floor(std::sqrt(r_sq) * cell.b);
  const double lmax = std::floor(std::sqrt(r_sq) * cell.c);
  if (!(std::max({hmax, kmax, lmax}) <= kMostRows))
    fail_conversion("--dmin " + shortest_text(dmin) + ": the indices h k l would run beyond " +
                    millions(kMostRows));
  // Two passes over the sphere: the first counts, so that a list beyond the
  // limit is refused before any memory is taken; the second keeps.
  std::vector<Candidate> found;
  auto search = [&](bool keep) {
    std::size_t count = 0;
    double rows = 0;  // rows of l searched: bounded like the reflections
    for (double h = -hmax; h <= hmax; ++h) {
      const double rest_h = r_sq - f[0][0] * h * f[0][0] * h;
      if (rest_h < 0) continue;
      const double ky = f[0][1] * h, wk = std::sqrt(rest_h);
      const double k_last = std::min(kmax, std::floor((-ky + wk) / f[1][1]));
      for (double k = std::max(-kmax, std::ceil((-ky - wk) / f[1][1])); k <= k_last; ++k) {
        if (++rows > kMostRows) fail_conversion(too_many);
        const double sy = ky + f[1][1] * k, rest_k = rest_h - sy * sy;
        if (rest_k < 0) continue;
        const double lz = f[0][2] * h + f[1][2] * k, wl = std::sqrt(rest_k);
        const double l_last = std::min(lmax, std::floor((-lz + wl) / f[2][2]));
        for (double l = std::max(-lmax, std::ceil((-lz - wl) / f[2][2])); l <= l_last; ++l) {
          if (h == 0 && k == 0 && l == 0) continue;
          if (!keep) {  // counting: every l of the range lies in the sphere
            if (++count > kMostReflections) fail_conversion(too_many);
            continue;
          }
          const double d = cell.calculate_d({int(h), int(k), int(l)});
          if (d >= dmin * (1 - slack)) found.push_back({d, {h, k, l}});
        }
      }
    }
    return count;
  };
  found.reserve(search(false));
  search(true);
  std::sort(found.begin(), found.end(), [](const Candidate& x, const Candidate& y) { return x.d > y.d; });
  // Reflections of one d differ only by rounding in the last bits: each run
  // of them is sorted by its indices.
  for (auto run = found.begin(); run != found.end();) {
    auto next = run;
    while (next != found.end() && run->d - next->d <= slack * run->d) ++next;
    std::sort(run, next, [](const Candidate& x, const Candidate& y) { return x.hkl < y.hkl; });
    run = next;
  }
  std::vector<Hkl> list;
  list.reserve(found.size());
  for (const Candidate& c : found) list.push_back(c.hkl);
  return list;
}

std::vector<Hkl> read_reflection_file(const std::string& path) {
  std::istringstream file(frontend::read_input_file(path, "the reflections", frontend::kMostInputBytes));
  std::vector<Hkl> list;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; fields.size() < 4 && words >> word;) fields.push_back(word);
    if (fields.empty() || fields[0][0] == '#') continue;
    Hkl hkl{};
    bool good = fields.size() == 3;
    for (std::size_t i = 0; good && i < 3; ++i) good = read_number(fields[i], hkl[i]);
    if (!good)
      fail_conversion(path + ":" + std::to_string(number) + ": '" + shown(line) +
                      "' is not three numbers h k l");
    if (list.size() == kMostReflections)
      fail_conversion(path + ":" + std::to_string(number) + ": more than " +
                      millions(static_cast<double>(kMostReflections)) + " reflections");
    list.push_back(hkl);
  }
  return list;
}

}  // namespace velmora::cif
