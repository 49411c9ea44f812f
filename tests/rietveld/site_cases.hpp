// Sites under symmetry for the tests: space groups and magnetic space groups
// written as their generators (triplets joined by ';', a trailing ' on a
// triplet marking an operation that reverses time: "-x+1/2,-y,z+1/2'", "-"
// for P1), a crystal of one site and its images, and a freedom as a table
// of Wyckoff positions writes it.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/crystal.hpp"
#include "rietveld/site_freedom.hpp"

namespace velmora::rietveld::testing {

constexpr long long kDenominator = 24;

// A triplet such as "-x+1/2,y+1/2,z'" as an operation.
inline SymmetryOperation operation_of(std::string triplet) {
  SymmetryOperation o;
  if (!triplet.empty() && triplet.back() == '\'') {
    o.time_reversal = -1;
    triplet.pop_back();
  }
  SeitzOp& op = o.op;
  op.rot = {};
  op.den = kDenominator;
  std::istringstream parts(triplet);
  std::string part;
  for (std::size_t row = 0; std::getline(parts, part, ','); ++row) {
    int sign = 1;
    for (std::size_t i = 0; i < part.size(); ++i) {
      const char c = part[i];
      if (c == '-' || c == '+') sign = c == '-' ? -1 : 1;
      if (c >= 'x' && c <= 'z') op.rot[row][static_cast<std::size_t>(c - 'x')] = sign, sign = 1;
      if (c >= '0' && c <= '9') {  // p/q
        const long long p = c - '0', q = part[i + 2] - '0';
        op.num[row] = ((sign * p * kDenominator / q) % kDenominator + kDenominator) % kDenominator;
        i += 2;
        sign = 1;
      }
    }
  }
  op.reduce();
  return o;
}

// Every product of the generators, the identity first.
inline std::vector<SymmetryOperation> group_of(const std::string& generators) {
  std::vector<SymmetryOperation> ops{SymmetryOperation{}};
  if (generators == "-") return ops;
  std::istringstream each(generators);
  std::string triplet;
  std::vector<SymmetryOperation> given;
  while (std::getline(each, triplet, ';')) given.push_back(operation_of(triplet));
  const auto same = [](const SymmetryOperation& a, const SymmetryOperation& b) {
    return a.op == b.op && a.time_reversal == b.time_reversal;
  };
  for (bool grown = true; grown;) {
    grown = false;
    for (std::size_t i = 0; i < ops.size(); ++i)
      for (const SymmetryOperation& g : given) {
        const SymmetryOperation p = product(g, ops[i]);
        if (std::none_of(ops.begin(), ops.end(), [&](const SymmetryOperation& o) { return same(o, p); }))
          ops.push_back(p), grown = true;
      }
  }
  return ops;
}

inline std::array<double, 3> image(const SeitzOp& op, const std::array<double, 3>& x) {
  std::array<double, 3> y{};
  for (std::size_t i = 0; i < 3; ++i)
    y[i] = op.tran(static_cast<int>(i)) + op.rot[i][0] * x[0] + op.rot[i][1] * x[1] + op.rot[i][2] * x[2];
  return y;
}

inline bool same_place(const std::array<double, 3>& a, const std::array<double, 3>& b, double tolerance) {
  for (std::size_t i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i] - std::round(a[i] - b[i])) > tolerance) return false;
  return true;
}

// The cases of a table in tests/rietveld: its lines but the blank ones and the comments.
inline std::vector<std::string> table_rows(const std::string& file) {
  std::ifstream in(std::string(VELMORA_TESTS_DIR) + "/rietveld/" + file);
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') rows.push_back(line);
  return rows;
}

// A number or a fraction p/q.
inline double number_of(const std::string& text) {
  const std::size_t slash = text.find('/');
  return slash == std::string::npos ? std::stod(text)
                                    : std::stod(text.substr(0, slash)) / std::stod(text.substr(slash + 1));
}

// One site and the atoms of the cell its images make.
inline Crystal crystal_of(const std::vector<SymmetryOperation>& group, const std::array<double, 3>& x,
                          const CellParameters& cell = {5, 6, 7, 90, 90, 90}) {
  Crystal c;
  c.cell = cell;
  c.operations = group.size() > 1 ? group : std::vector<SymmetryOperation>{};
  c.magnetic_operations =
      std::any_of(group.begin(), group.end(), [](const SymmetryOperation& o) { return o.time_reversal < 0; });
  CrystalSite site;
  site.label = "A1";
  site.xyz = x;
  c.sites.push_back(site);
  for (const SymmetryOperation& op : group) {
    std::array<double, 3> y = image(op.op, x);
    for (double& v : y) v -= std::floor(v);
    const bool known = std::any_of(c.atoms.begin(), c.atoms.end(),
                                   [&](const CrystalAtom& a) { return same_place(a.xyz, y, 1e-6); });
    if (!known) c.atoms.push_back({0, y, {}});
  }
  return c;
}

// A name for a free component, a multiple of one for a component that
// follows it (2x, -x, 0.5u11), '.' for a fixed one: "x 2x .", "mx mx mx".
template <std::size_t N>
std::string freedom_text(const LinearFreedom<N>& f, const std::array<const char*, N>& names) {
  using Kind = typename LinearFreedom<N>::Kind;
  std::string text;
  for (std::size_t j = 0; j < N; ++j) {
    if (!text.empty()) text += ' ';
    if (f.kind[j] == Kind::free) text += names[j];
    if (f.kind[j] == Kind::fixed) text += '.';
    if (f.kind[j] != Kind::tied) continue;
    for (std::size_t k = 0; k < N; ++k) {
      const double c = f.follows[j][k];
      if (c == 0) continue;
      if (std::abs(c + 1) < 1e-12) {
        text += '-';
      } else if (std::abs(c - 1) > 1e-12) {
        std::ostringstream number;
        number << std::round(c * 1e6) / 1e6;
        text += number.str();
      }
      text += names[k];
    }
  }
  return text;
}

// A row of a table of sites in a cell: name, a,b,c,alpha,beta,gamma,
// generators, x y z, then the expected freedom as words.
struct SiteRow {
  std::string name, generators, expected;
  CellParameters cell{};
  std::array<double, 3> x{};
};

inline SiteRow site_row(const std::string& line) {
  SiteRow row;
  std::istringstream in(line);
  std::string cell_text, word;
  in >> row.name >> cell_text >> row.generators;
  std::istringstream cell_in(cell_text);
  for (double& v : row.cell) {
    std::getline(cell_in, word, ',');
    v = std::stod(word);
  }
  for (double& v : row.x) in >> word, v = number_of(word);
  while (in >> word) row.expected += (row.expected.empty() ? "" : " ") + word;
  return row;
}

}  // namespace velmora::rietveld::testing
