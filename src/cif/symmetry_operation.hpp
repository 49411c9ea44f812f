// Symmetry operations as the CIF lists them: a triplet such as -y+1/2,x,z
// acting on fractional coordinates and, in a magnetic CIF, a fourth field +1
// or -1, the time reversal that the operation applies to magnetic moments.
// The operations of a structure must form a group, of bounded size; each is
// held exactly (model/symmetry_operation.hpp).
#pragma once

#include <array>
#include <cstddef>
#include <gemmi/symmetry.hpp>
#include <string>
#include <unordered_map>
#include <vector>

#include "cif/conversion_error.hpp"
#include "model/symmetry_operation.hpp"

namespace velmora::cif {

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
