// A symmetry operation held exactly: an integer rotation and a translation of
// fractions over one denominator, so any denominator a file writes (1/5, 1/9)
// is kept as it is, and, for a magnetic structure, the time reversal that the
// operation applies to magnetic moments. Products stay exact, so the
// operations of a structure can be checked to form a group.
#pragma once

#include <array>
#include <string>

namespace velmora {

// x' = rot x + num / den on fractional coordinates. The translation is kept
// reduced: each numerator in [0, den), and den the smallest that serves.
struct SeitzOp {
  std::array<std::array<int, 3>, 3> rot{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  std::array<long long, 3> num{};
  long long den = 1;

  // Translations with a larger denominator are refused: they keep every
  // product of two operations, and its sums, far inside 64-bit integers.
  static constexpr long long kMostDenominator = 1000000;

  // The product a b (b applied first), reduced.
  SeitzOp operator*(const SeitzOp& b) const;
  bool operator==(const SeitzOp& b) const { return rot == b.rot && num == b.num && den == b.den; }
  double tran(int i) const { return static_cast<double>(num[i]) / static_cast<double>(den); }
  int det() const;
  // As a file writes it: -y+1/2,x,z.
  std::string triplet() const;
  // Numerators into [0, den) and the fractions in lowest terms.
  void reduce();
};

struct SymmetryOperation {
  SeitzOp op;
  int time_reversal = 1;  // -1: the operation also reverses every moment
};

// The product a b (b first), time reversals multiplied.
SymmetryOperation product(const SymmetryOperation& a, const SymmetryOperation& b);

}  // namespace velmora
