// Exact arithmetic of symmetry operations: products over the least common
// denominator, reduction of the translation, and the triplet text.
#include "model/symmetry_operation.hpp"

#include <cstdlib>
#include <numeric>

namespace velmora {

void SeitzOp::reduce() {
  long long g = den;
  for (long long& n : num) {
    n %= den;
    if (n < 0) n += den;
    g = std::gcd(g, n);
  }
  if (g > 1) {
    for (long long& n : num) n /= g;
    den /= g;
  }
}

SeitzOp SeitzOp::operator*(const SeitzOp& b) const {
  SeitzOp ab;
  ab.den = std::lcm(den, b.den);
  for (int i = 0; i < 3; ++i) {
    ab.num[i] = num[i] * (ab.den / den);
    for (int j = 0; j < 3; ++j) {
      int sum = 0;
      for (int k = 0; k < 3; ++k) sum += rot[i][k] * b.rot[k][j];
      ab.rot[i][j] = sum;
      ab.num[i] += rot[i][j] * b.num[j] * (ab.den / b.den);
    }
  }
  ab.reduce();
  return ab;
}

int SeitzOp::det() const {
  const auto& r = rot;
  return r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
         r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
         r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
}

std::string SeitzOp::triplet() const {
  std::string out;
  for (int i = 0; i < 3; ++i) {
    std::string field;
    for (int j = 0; j < 3; ++j) {
      const int c = rot[i][j];
      if (c == 0) continue;
      if (c < 0 || !field.empty()) field.push_back(c < 0 ? '-' : '+');
      if (std::abs(c) != 1) field.append(std::to_string(std::abs(c))).push_back('*');
      field.push_back(static_cast<char>('x' + j));
    }
    if (num[i] != 0) {
      const long long g = std::gcd(num[i], den);
      if (!field.empty()) field.push_back('+');
      field.append(std::to_string(num[i] / g));
      if (den / g != 1) field.append(1, '/').append(std::to_string(den / g));
    }
    if (i > 0) out.push_back(',');
    out.append(field.empty() ? std::string(1, '0') : field);
  }
  return out;
}

SymmetryOperation product(const SymmetryOperation& a, const SymmetryOperation& b) {
  return {a.op * b.op, a.time_reversal * b.time_reversal};
}

}  // namespace velmora
