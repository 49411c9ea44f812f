// Reading symmetry operations with a parser of our own, after the
// time-reversal field of a magnetic operation has been split off; holding
// them as exact fractions; then checking that the rotation is one, and that
// the operations of a structure form a group.
#include "cif/symmetry_operation.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <stdexcept>
#include <unordered_set>

namespace velmora::cif {
namespace {

// The denominators of one parsed translation stay below this, so that an
// operation combined with a centring stays within SeitzOp::kMostDenominator.
constexpr long long kMostParsedDenominator = 1000;

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// Numbers of at most three digits and a text of at most kLongestOperation
// characters keep every sum and product the parser forms far inside its integers.
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

// A fraction p / q, q > 0.
struct Fraction {
  long long p = 0, q = 1;
};

Fraction add(Fraction a, Fraction b) {
  const long long q = std::lcm(a.q, b.q);
  Fraction sum{a.p * (q / a.q) + b.p * (q / b.q), q};
  const long long g = std::gcd(sum.p, sum.q);
  return g > 1 ? Fraction{sum.p / g, sum.q / g} : sum;
}

// A decimal translation of a few digits (0.333) that stands for a fraction
// of a small denominator is read as that fraction.
Fraction decimal_fraction(long long digits, long long scale) {
  for (long long q : {2, 3, 4, 6, 8, 12}) {
    const double p = std::nearbyint(static_cast<double>(digits) * q / scale);
    if (std::fabs(p / q - static_cast<double>(digits) / scale) <= 1e-3) return {static_cast<long long>(p), q};
  }
  return add({digits, scale}, {0, 1});
}

// One field of a triplet (-x+y+1/2, 2x-y, 1/2-z, x+0.25) into its row of the
// rotation and its translation. Each term is a signed number, a number times
// an axis (with or without '*'), or an axis.
void parse_field(const std::string& field, int row, SeitzOp& op, Fraction& tran, bool& starless,
                 const std::string& fail_prefix) {
  std::string f;
  for (char c : field)
    if (c != ' ' && c != '\t') f += c;
  if (f.empty()) fail_conversion(fail_prefix + "an empty field");
  std::size_t at = 0;
  auto is_digit = [&](std::size_t i) {
    return i < f.size() && std::isdigit(static_cast<unsigned char>(f[i]));
  };
  auto axis_at = [&](std::size_t i) {
    if (i >= f.size()) return -1;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(f[i])));
    return c >= 'x' && c <= 'z' ? c - 'x' : -1;
  };
  for (bool first = true; at < f.size(); first = false) {
    int sign = 1;
    if (f[at] == '+' || f[at] == '-') {
      sign = f[at] == '-' ? -1 : 1;
      ++at;
    } else if (!first) {
      fail_conversion(fail_prefix + "'" + f.substr(at) + "' where a sign should stand");
    }
    Fraction value{1, 1};
    bool number = false;
    if (is_digit(at)) {
      number = true;
      long long p = 0;
      for (; is_digit(at); ++at) p = p * 10 + (f[at] - '0');
      value = {p, 1};
      if (at < f.size() && f[at] == '/') {
        long long q = 0;
        for (++at; is_digit(at); ++at) q = q * 10 + (f[at] - '0');
        if (q == 0) fail_conversion(fail_prefix + "a fraction without a denominator above 0");
        value = add({p, q}, {0, 1});
      } else if (at < f.size() && f[at] == '.') {
        long long scale = 1;
        for (++at; is_digit(at); ++at) p = p * 10 + (f[at] - '0'), scale *= 10;
        value = decimal_fraction(p, scale);
      }
    }
    bool star = false;
    if (number && at < f.size() && f[at] == '*') star = true, ++at;
    const int axis = axis_at(at);
    if (axis >= 0) {
      ++at;
      if (number && !star) starless = true;
      if (value.q != 1) fail_conversion(fail_prefix + "the rotation part is not a matrix of integers");
      op.rot[row][axis] += sign * static_cast<int>(value.p);
    } else if (number && !star) {
      tran = add(tran, {sign * value.p, value.q});
      if (tran.q > kMostParsedDenominator)
        fail_conversion(fail_prefix + "a translation with a denominator above " +
                        std::to_string(kMostParsedDenominator));
    } else {
      fail_conversion(fail_prefix + "'" + f.substr(at) + "' is no term of an operation");
    }
  }
}

// An operation as bytes, to find it by value.
std::string key_of(const SymmetryOperation& s) {
  std::array<long long, 14> k{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) k[3 * i + j] = s.op.rot[i][j];
    k[9 + i] = s.op.num[i];
  }
  k[12] = s.op.den;
  k[13] = s.time_reversal;
  return std::string(reinterpret_cast<const char*>(k.data()), sizeof k);
}

std::string text_of(const SymmetryOperation& s) {
  return s.op.triplet() + (s.time_reversal < 0 ? ",-1" : "");
}

}  // namespace

SeitzOp seitz_of(const gemmi::Op& op) {
  SeitzOp s;
  s.den = gemmi::Op::DEN;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) s.rot[i][j] = op.rot[i][j] / gemmi::Op::DEN;
    s.num[i] = op.tran[i];
  }
  s.reduce();
  return s;
}

OperationIndex::OperationIndex(const std::vector<SymmetryOperation>& ops) : size_(ops.size()) {
  for (std::size_t i = 0; i < ops.size(); ++i) index_.emplace(key_of(ops[i]), i);
}

std::size_t OperationIndex::find(const SymmetryOperation& s) const {
  auto found = index_.find(key_of(s));
  return found == index_.end() ? size_ : found->second;
}

SymmetryOperation parse_operation(const std::string& text, bool with_time_reversal, const std::string& where,
                                  bool& starless) {
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
  const std::string prefix = where + " '" + text + "': ";
  result.op.rot = {};
  Fraction tran[3];
  std::size_t begin = 0;
  for (int row = 0; row < 3; ++row) {
    const std::size_t comma = row < 2 ? triplet.find(',', begin) : triplet.size();
    parse_field(triplet.substr(begin, comma - begin), row, result.op, tran[row], starless, prefix);
    result.op.den = std::lcm(result.op.den, tran[row].q);
    begin = comma + 1;
  }
  for (int row = 0; row < 3; ++row) {
    result.op.num[row] = tran[row].p * (result.op.den / tran[row].q);
    for (int element : result.op.rot[row])
      if (std::abs(element) > 8)
        fail_conversion(prefix + "a rotation coefficient beyond 8 is no crystallographic rotation");
  }
  if (std::abs(result.op.det()) != 1)
    fail_conversion(prefix + "the rotation part has determinant " + std::to_string(result.op.det()) +
                    ", not +1 or -1");
  result.op.reduce();
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
    for (const gemmi::Op& op : group.sym_ops) all.push_back({seitz_of(op.add_centering(centering)), 1});
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
  std::map<std::array<std::array<int, 3>, 3>, std::vector<const SymmetryOperation*>> by_rotation;
  for (const SymmetryOperation& s : group) {
    if (s.op.rot == SeitzOp().rot) translations.push_back(s);
    by_rotation[s.op.rot].push_back(&s);
  }
  for (const SymmetryOperation& s : group)
    if (s.op.den > SeitzOp::kMostDenominator)
      fail_conversion(where + ": the operation " + text_of(s) + " has a translation of denominator above " +
                      std::to_string(SeitzOp::kMostDenominator));
  if (translations.empty())
    fail_conversion(where + ": the symmetry operations are no group: the identity x,y,z is not among them");
  if (by_rotation.size() > 48)
    fail_conversion(where + ": the symmetry operations are no crystallographic group: " +
                    std::to_string(by_rotation.size()) + " different rotations, where 48 is the most");
  std::unordered_set<std::string> translation_keys;
  for (const SymmetryOperation& t : translations) translation_keys.insert(key_of(t));
  for (const SymmetryOperation& t : translations)
    for (const SymmetryOperation& u : translations)
      if (translation_keys.count(key_of(product(t, u))) == 0) require(t, u);
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
