// Symmetry operations as the CIF lists them: a triplet such as -y+1/2,x,z
// acting on fractional coordinates and, in a magnetic CIF, a fourth field +1
// or -1, the time reversal that the operation applies to magnetic moments.
// The operations of a structure must form a group, of bounded size. Each is
// held exactly: an integer rotation and a translation of fractions over one
// denominator, so any denominator a file writes (1/5, 1/9) is kept as it is.
#pragma once

#include <array>
#include <cstddef>
#include <gemmi/symmetry.hpp>
#include <string>
#include <unordered_map>
#include <vector>

#include "cif/conversion_error.hpp"

namespace velmora::cif {

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

// More operations (times centrings) than this are refused: no real space or
// magnetic group of a sensible cell comes near, and each costs work per site.
inline constexpr std::size_t kMostOperations = 20000;

// Reads one operation. With time reversal the text must end in ,+1 or ,-1
// (also ,1); without, it must be a triplet alone. Its numbers must be small
// (at most 999), the rotation a matrix of integers with determinant +1 or -1.
// A coefficient written without '*' (2x-y) is read as the product, and sets
// starless. A failure ends the conversion with a message that starts with
// `where` (the file, line and operation).
SymmetryOperation parse_operation(const std::string& text, bool with_time_reversal, const std::string& where,
                                  bool& starless);

// gemmi's operation (in units of 1/gemmi::Op::DEN) as an exact one.
SeitzOp seitz_of(const gemmi::Op& op);

// Every operation followed by every centring translation, as the magnetic CIF
// lists them apart: the rotation of the operation, the translation of both,
// and the product of the two time reversals.
std::vector<SymmetryOperation> combine_with_centerings(const std::vector<SymmetryOperation>& operations,
                                                       const std::vector<SymmetryOperation>& centerings);

// All operations of a space group as gemmi generates them from its symbol,
// each combined with each centring, none of them reversing time.
std::vector<SymmetryOperation> operations_of_group(const gemmi::GroupOps& group);

// The operations without repeats (a warning when there were any). Ends the
// conversion, naming a product that is missing, when they are no group, and
// when there are more than kMostOperations.
std::vector<SymmetryOperation> checked_group(std::vector<SymmetryOperation> ops, const std::string& where,
                                             Warnings& warnings);

// The product a b (b first), time reversals multiplied.
SymmetryOperation product(const SymmetryOperation& a, const SymmetryOperation& b);

// Finds an operation of a list by its value.
class OperationIndex {
 public:
  explicit OperationIndex(const std::vector<SymmetryOperation>& ops);
  // The position of s in the list, or ops.size() when it is not there.
  std::size_t find(const SymmetryOperation& s) const;

 private:
  std::unordered_map<std::string, std::size_t> index_;
  std::size_t size_;
};

}  // namespace velmora::cif
