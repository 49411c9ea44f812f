// Symmetry operations as the CIF lists them: a triplet such as -y+1/2,x,z
// acting on fractional coordinates and, in a magnetic CIF, a fourth field +1
// or -1, the time reversal that the operation applies to magnetic moments.
#pragma once

#include <gemmi/symmetry.hpp>
#include <string>
#include <vector>

namespace velmora::cif {

struct SymmetryOperation {
  gemmi::Op op;           // rotation and translation, in units of 1/gemmi::Op::DEN
  int time_reversal = 1;  // -1: the operation also reverses every moment
};

// Reads one operation. With time reversal the text must end in ,+1 or ,-1
// (also ,1); without, it must be a triplet alone. The rotation must be a
// matrix of integers with determinant +1 or -1. A failure ends the conversion
// with a message that starts with `where` (the file, line and operation).
SymmetryOperation parse_operation(const std::string& text, bool with_time_reversal, const std::string& where);

// Every operation followed by every centring translation, as the magnetic CIF
// lists them apart: the rotation of the operation, the translation of both,
// and the product of the two time reversals.
std::vector<SymmetryOperation> combine_with_centerings(const std::vector<SymmetryOperation>& operations,
                                                       const std::vector<SymmetryOperation>& centerings);

// All operations of a space group as gemmi generates them from its symbol,
// each combined with each centring, none of them reversing time.
std::vector<SymmetryOperation> operations_of_group(const gemmi::GroupOps& group);

}  // namespace velmora::cif
