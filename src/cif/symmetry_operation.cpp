// Reading symmetry operations with gemmi's triplet parser, after the
// time-reversal field of a magnetic operation has been split off (gemmi reads
// three fields only), and checking that the rotation is one.
#include "cif/symmetry_operation.hpp"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "cif/conversion_error.hpp"

namespace velmora::cif {
namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

void check_rotation(const gemmi::Op& op, const std::string& text, const std::string& where) {
  constexpr int den = gemmi::Op::DEN;
  for (const auto& row : op.rot)
    for (int element : row)
      if (element % den != 0)
        fail_conversion(where + " '" + text + "': the rotation part is not a matrix of integers");
  if (std::abs(op.det_rot()) != den * den * den)
    fail_conversion(where + " '" + text + "': the rotation part has determinant " +
                    std::to_string(op.det_rot() / (den * den * den)) + ", not +1 or -1");
}

}  // namespace

SymmetryOperation parse_operation(const std::string& text, bool with_time_reversal,
                                  const std::string& where) {
  SymmetryOperation result;
  std::string triplet = text;
  const auto commas = std::count(text.begin(), text.end(), ',');
  if (with_time_reversal) {
    if (commas != 3)
      fail_conversion(where + " '" + text +
                      "': a magnetic operation has four fields, x,y,z and the time reversal +1 or -1");
    const auto last_comma = text.rfind(',');
    const std::string sign = trimmed(text.substr(last_comma + 1));
    if (sign == "+1" || sign == "1") {
      result.time_reversal = 1;
    } else if (sign == "-1") {
      result.time_reversal = -1;
    } else {
      fail_conversion(where + " '" + text + "': the time reversal is '" + sign + "', not +1 or -1");
    }
    triplet = text.substr(0, last_comma);
  } else if (commas != 2) {
    fail_conversion(where + " '" + text + "': an operation has three fields, such as -y+1/2,x,z");
  }
  try {
    result.op = gemmi::parse_triplet(triplet);
  } catch (const std::exception& e) {
    fail_conversion(where + " '" + text + "' cannot be read: " + e.what());
  }
  check_rotation(result.op, text, where);
  result.op.wrap();
  return result;
}

std::vector<SymmetryOperation> combine_with_centerings(const std::vector<SymmetryOperation>& operations,
                                                       const std::vector<SymmetryOperation>& centerings) {
  std::vector<SymmetryOperation> all;
  all.reserve(operations.size() * centerings.size());
  for (const SymmetryOperation& centering : centerings)
    for (const SymmetryOperation& operation : operations)
      all.push_back({centering.op * operation.op, centering.time_reversal * operation.time_reversal});
  return all;
}

std::vector<SymmetryOperation> operations_of_group(const gemmi::GroupOps& group) {
  std::vector<SymmetryOperation> all;
  for (const gemmi::Op::Tran& centering : group.cen_ops)
    for (const gemmi::Op& op : group.sym_ops) all.push_back({op.add_centering(centering), 1});
  return all;
}

}  // namespace velmora::cif
