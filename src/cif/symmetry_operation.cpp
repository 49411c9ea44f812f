// Reading symmetry operations with gemmi's triplet parser, after the
// time-reversal field of a magnetic operation has been split off (gemmi reads
// three fields only) and the text checked for numbers small enough that the
// parser's integer arithmetic cannot overflow; then checking that the
// rotation is one, and that the operations of a structure form a group.
#include "cif/symmetry_operation.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <unordered_set>

namespace velmora::cif {
namespace {

constexpr int kDen = gemmi::Op::DEN;

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// Numbers of at most three digits and a text of at most kLongestOperation
// characters keep every sum and product the parser forms far inside an int.
constexpr std::size_t kLongestOperation = 200;

void check_text(const std::string& text, const std::string& where) {
  if (text.size() > kLongestOperation)
    fail_conversion(where + ": an operation of " + std::to_string(text.size()) + " characters (at most " +
                    std::to_string(kLongestOperation) + ")");
  std::size_t digits = 0;
  for (char c : text) {
    digits = std::isdigit(static_cast<unsigned char>(c)) ? digits + 1 : 0;
    if (digits > 3) fail_conversion(where + " '" + text + "': a number above 999 is no symmetry operation");
  }
}

void check_rotation(const gemmi::Op& op, const std::string& text, const std::string& where) {
  for (const auto& row : op.rot)
    for (int element : row) {
      if (element % kDen != 0)
        fail_conversion(where + " '" + text + "': the rotation part is not a matrix of integers");
      if (std::abs(element) > 8 * kDen)
        fail_conversion(where + " '" + text +
                        "': a rotation coefficient beyond 8 is no crystallographic rotation");
    }
  if (std::abs(op.det_rot()) != kDen * kDen * kDen)
    fail_conversion(where + " '" + text + "': the rotation part has determinant " +
                    std::to_string(op.det_rot() / (kDen * kDen * kDen)) + ", not +1 or -1");
}

// An operation as bytes, to find it by value.
std::string key_of(const SymmetryOperation& s) {
  std::array<int, 13> k{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) k[3 * i + j] = s.op.rot[i][j];
    k[9 + i] = s.op.tran[i];
  }
  k[12] = s.time_reversal;
  return std::string(reinterpret_cast<const char*>(k.data()), sizeof k);
}

std::string text_of(const SymmetryOperation& s) {
  return s.op.triplet() + (s.time_reversal < 0 ? ",-1" : "");
}

}  // namespace

SymmetryOperation product(const SymmetryOperation& a, const SymmetryOperation& b) {
  return {a.op * b.op, a.time_reversal * b.time_reversal};
}

OperationIndex::OperationIndex(const std::vector<SymmetryOperation>& ops) : size_(ops.size()) {
  for (std::size_t i = 0; i < ops.size(); ++i) index_.emplace(key_of(ops[i]), i);
}

std::size_t OperationIndex::find(const SymmetryOperation& s) const {
  auto found = index_.find(key_of(s));
  return found == index_.end() ? size_ : found->second;
}

SymmetryOperation parse_operation(const std::string& text, bool with_time_reversal,
                                  const std::string& where) {
  check_text(text, where);
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
    for (const SymmetryOperation& operation : operations) all.push_back(product(centering, operation));
  return all;
}

std::vector<SymmetryOperation> operations_of_group(const gemmi::GroupOps& group) {
  std::vector<SymmetryOperation> all;
  for (const gemmi::Op::Tran& centering : group.cen_ops)
    for (const gemmi::Op& op : group.sym_ops) all.push_back({op.add_centering(centering), 1});
  return all;
}

// A finite set G of operations (modulo lattice translations) is a group when
// its pure translations T form a group, the operations of each rotation are
// exactly r T for one of them r, T is carried into itself (t r lies in G),
// and the products of the representatives r lie in G. That costs |T|^2
// look-ups of translations and a few per operation, never |G|^2.
std::vector<SymmetryOperation> checked_group(std::vector<SymmetryOperation> ops, const std::string& where,
                                             Warnings& warnings) {
  if (ops.size() > kMostOperations)
    fail_conversion(where + ": " + std::to_string(ops.size()) +
                    " symmetry operations (with the centrings); at most " + std::to_string(kMostOperations) +
                    " are taken");
  std::unordered_set<std::string> seen;
  std::vector<SymmetryOperation> group;
  for (const SymmetryOperation& s : ops)
    if (seen.insert(key_of(s)).second) group.push_back(s);
  if (group.size() < ops.size())
    warnings.add(where + ": " + std::to_string(ops.size() - group.size()) +
                 " symmetry operations are listed more than once; each is used once");
  auto require = [&](const SymmetryOperation& a, const SymmetryOperation& b) {
    const SymmetryOperation ab = product(a, b);
    if (seen.count(key_of(ab)) == 0)
      fail_conversion(where + ": the symmetry operations are no group: the product of " + text_of(a) +
                      " and " + text_of(b) + ", " + text_of(ab) + ", is not among them");
  };
  std::vector<SymmetryOperation> translations;
  std::map<gemmi::Op::Rot, std::vector<const SymmetryOperation*>> by_rotation;
  for (const SymmetryOperation& s : group) {
    if (s.op.rot == gemmi::Op::identity().rot) translations.push_back(s);
    by_rotation[s.op.rot].push_back(&s);
  }
  if (translations.empty())
    fail_conversion(where + ": the symmetry operations are no group: the identity x,y,z is not among them");
  if (by_rotation.size() > 48)
    fail_conversion(where + ": the symmetry operations are no crystallographic group: " +
                    std::to_string(by_rotation.size()) + " different rotations, where 48 is the most");
  // Pure translations are checked in a table of all 24^3 translations and both time reversals.
  auto index_of = [](const SymmetryOperation& t) {
    return ((t.op.tran[0] * kDen + t.op.tran[1]) * kDen + t.op.tran[2]) * 2 + (t.time_reversal < 0 ? 1 : 0);
  };
  std::vector<bool> is_translation(kDen * kDen * kDen * 2, false);
  for (const SymmetryOperation& t : translations) is_translation[index_of(t)] = true;
  for (const SymmetryOperation& t : translations)
    for (const SymmetryOperation& u : translations) {
      SymmetryOperation tu = t;
      for (int i = 0; i < 3; ++i) tu.op.tran[i] = (t.op.tran[i] + u.op.tran[i]) % kDen;
      tu.time_reversal *= u.time_reversal;
      if (!is_translation[index_of(tu)]) require(t, u);
    }
  for (const auto& [rot, members] : by_rotation) {
    const SymmetryOperation& r = *members.front();
    if (members.size() != translations.size())
      fail_conversion(where + ": the symmetry operations are no group: " + std::to_string(members.size()) +
                      " of them have the rotation of " + text_of(r) + ", " +
                      std::to_string(translations.size()) + " the identity's");
    for (const SymmetryOperation& t : translations) require(r, t), require(t, r);
    for (const auto& [other_rot, others] : by_rotation) require(r, *others.front());
  }
  return group;
}

}  // namespace velmora::cif
