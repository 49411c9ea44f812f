// The coordinates each Wyckoff position leaves free, for space groups given by
// generators (rows of site_freedoms.txt); and a step of the free coordinates,
// the tied ones following, keeps the site on its special position with every
// atom of the cell an image of it.
#include "rietveld/site_freedom.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace velmora::rietveld {
namespace {

constexpr long long kDenominator = 24;

// A triplet such as "-x+1/2,y+1/2,z" as an operation.
SeitzOp operation_of(const std::string& triplet) {
  SeitzOp op;
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
  return op;
}

// Every product of the generators.
std::vector<SymmetryOperation> group_of(const std::string& generators) {
  std::vector<SeitzOp> ops{SeitzOp{}};
  if (generators != "-") {
    std::istringstream each(generators);
    std::string triplet;
    std::vector<SeitzOp> given;
    while (std::getline(each, triplet, ';')) given.push_back(operation_of(triplet));
    for (bool grown = true; grown;) {
      grown = false;
      for (std::size_t i = 0; i < ops.size(); ++i)
        for (const SeitzOp& g : given) {
          const SeitzOp product = g * ops[i];
          if (std::find(ops.begin(), ops.end(), product) == ops.end()) ops.push_back(product), grown = true;
        }
    }
  }
  std::vector<SymmetryOperation> group;
  for (const SeitzOp& op : ops) group.push_back({op, 1});
  return group;
}

std::array<double, 3> image(const SeitzOp& op, const std::array<double, 3>& x) {
  std::array<double, 3> y{};
  for (std::size_t i = 0; i < 3; ++i)
    y[i] = op.tran(static_cast<int>(i)) + op.rot[i][0] * x[0] + op.rot[i][1] * x[1] + op.rot[i][2] * x[2];
  return y;
}

bool same_place(const std::array<double, 3>& a, const std::array<double, 3>& b, double tolerance) {
  for (std::size_t i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i] - std::round(a[i] - b[i])) > tolerance) return false;
  return true;
}

// One site and the atoms of the cell its images make.
Crystal crystal_of(const std::vector<SymmetryOperation>& group, const std::array<double, 3>& x) {
  Crystal c;
  c.cell = {5, 6, 7, 90, 90, 90};
  c.operations = group.size() > 1 ? group : std::vector<SymmetryOperation>{};
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

std::string freedom_text(const SiteFreedom& f) {
  std::string text;
  for (std::size_t j = 0; j < 3; ++j) {
    if (!text.empty()) text += ' ';
    if (f.kind[j] == SiteFreedom::Kind::free) text += static_cast<char>('x' + j);
    if (f.kind[j] == SiteFreedom::Kind::fixed) text += '.';
    if (f.kind[j] != SiteFreedom::Kind::tied) continue;
    for (std::size_t k = 0; k < 3; ++k) {
      const double c = f.follows[j][k];
      if (c == 0) continue;
      if (c == -1) text += '-';
      else if (c != 1) text += std::to_string(static_cast<int>(std::lround(c)));
      text += static_cast<char>('x' + k);
    }
  }
  return text;
}

TEST(SiteFreedom, EachWyckoffPositionLeavesItsOwnCoordinatesFree) {
  std::ifstream rows(std::string(VELMORA_TESTS_DIR) + "/rietveld/site_freedoms.txt");
  ASSERT_TRUE(rows) << "site_freedoms.txt";
  std::string line;
  int cases = 0;
  while (std::getline(rows, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string name, generators;
    std::array<double, 3> x{};
    int keeping = 0;
    in >> name >> generators;
    for (double& v : x) {  // a number or a fraction p/q
      std::string text;
      in >> text;
      const std::size_t slash = text.find('/');
      v = slash == std::string::npos ? std::stod(text) : std::stod(text.substr(0, slash)) / std::stod(text.substr(slash + 1));
    }
    in >> keeping;
    std::string expected, word;
    while (in >> word) expected += (expected.empty() ? "" : " ") + word;
    const std::vector<SymmetryOperation> group = group_of(generators);
    Crystal crystal = crystal_of(group, x);
    std::string fault;
    const auto freedoms = site_freedoms(crystal, fault);
    ASSERT_TRUE(freedoms) << name << ": " << fault;
    const SiteFreedom& f = freedoms->front();
    EXPECT_EQ(freedom_text(f), expected) << name;
    EXPECT_EQ(f.keeping, keeping) << name;
    EXPECT_EQ(f.images.size() * static_cast<std::size_t>(keeping), group.size()) << name << ": multiplicity";

    // A step of the free coordinates, the tied ones following.
    std::array<double, 3> moved = f.position;
    const std::array<double, 3> step = {0.013, 0.007, 0.011};
    for (std::size_t j = 0; j < 3; ++j)
      if (f.kind[j] == SiteFreedom::Kind::free) moved[j] += step[j];
    for (std::size_t j = 0; j < 3; ++j)
      if (f.kind[j] == SiteFreedom::Kind::tied)
        for (std::size_t k = 0; k < 3; ++k) moved[j] += f.follows[j][k] * (moved[k] - f.position[k]);
    int still_keeping = 0;
    for (const SymmetryOperation& op : group) still_keeping += same_place(image(op.op, moved), moved, 1e-9);
    EXPECT_EQ(still_keeping, keeping) << name << ": the step broke the site's symmetry";
    f.move_atoms(moved, crystal.atoms);
    for (const CrystalAtom& atom : crystal.atoms) {
      const bool an_image = std::any_of(group.begin(), group.end(), [&](const SymmetryOperation& op) {
        return same_place(image(op.op, moved), atom.xyz, 1e-9);
      });
      EXPECT_TRUE(an_image) << name << ": an atom left its site's orbit";
    }
    ++cases;
  }
  EXPECT_GE(cases, 16);
}

TEST(SiteFreedom, AnAtomNoOperationMakesIsNamed) {
  Crystal c = crystal_of(group_of("-x,-y,-z"), {0.1, 0.2, 0.3});
  c.atoms.back().xyz = {0.4, 0.4, 0.4};
  std::string fault;
  EXPECT_FALSE(site_freedoms(c, fault));
  EXPECT_NE(fault.find("site A1: its atom at (0.4, 0.4, 0.4)"), std::string::npos) << fault;
}

}  // namespace
}  // namespace velmora::rietveld
