// The lattice parameters each kind of symmetry leaves free, by rotations given as
// generators: the cases are rows of cell_freedoms.txt.
#include "rietveld/cell_freedom.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace velmora::rietveld {
namespace {

// The rotation of a triplet such as "x-y,x,z"; translations are passed over.
std::array<std::array<int, 3>, 3> rotation_of(const std::string& triplet) {
  std::array<std::array<int, 3>, 3> rot{};
  std::istringstream parts(triplet);
  std::string part;
  for (int row = 0; std::getline(parts, part, ','); ++row) {
    int sign = 1;
    for (char c : part) {
      if (c == '-') sign = -1;
      if (c == '+') sign = 1;
      if (c >= 'x' && c <= 'z')
        rot[static_cast<std::size_t>(row)][static_cast<std::size_t>(c - 'x')] = sign, sign = 1;
    }
  }
  return rot;
}

std::string kinds_text(const CellFreedom& f) {
  std::string text;
  for (std::size_t j = 0; j < 6; ++j) {
    if (!text.empty()) text += ' ';
    if (f.kind[j] == CellFreedom::Kind::free) text += 'F';
    if (f.kind[j] == CellFreedom::Kind::fixed) text += 'X';
    if (f.kind[j] != CellFreedom::Kind::tied) continue;
    std::string on;
    for (std::size_t k = 0; k < 6; ++k) {
      const double c = f.follows[j][k];
      if (c == 0) continue;
      on += '=';
      if (std::abs(c - 1) > 1e-9) on += std::to_string(c) + '*';
      on += kCellNames[k];
    }
    text += on;
  }
  return text;
}

TEST(CellFreedom, EachSymmetryLeavesItsOwnParametersFree) {
  std::ifstream rows(std::string(VELMORA_TESTS_DIR) + "/rietveld/cell_freedoms.txt");
  ASSERT_TRUE(rows) << "cell_freedoms.txt";
  std::string line;
  int cases = 0;
  while (std::getline(rows, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string name, generators;
    CellParameters cell{};
    in >> name >> generators;
    for (double& v : cell) in >> v;
    std::string expected, word;
    while (in >> word) expected += (expected.empty() ? "" : " ") + word;
    std::vector<SymmetryOperation> operations;
    if (generators != "-") {
      std::istringstream each(generators);
      std::string triplet;
      while (std::getline(each, triplet, ';'))
        operations.push_back({SeitzOp{rotation_of(triplet), {}, 1}, 1});
    }
    const CellFreedom freedom = cell_freedom(cell, operations);
    EXPECT_EQ(kinds_text(freedom), expected) << name;
    EXPECT_FALSE(freedom.basis.empty()) << name;
    ++cases;
  }
  EXPECT_GE(cases, 15);
}

}  // namespace
}  // namespace velmora::rietveld
