// Reflection lists from the cell's metric. The Laue group is found from the
// intensities themselves, so that it holds for an answer file, which carries
// atoms but no space group, and for a magnetic structure whose moments lower
// the symmetry of its nuclear cell.
#include "powder/reflection_range.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <set>

#include "powder/number_text.hpp"

namespace velmora::powder {
namespace {

using Index = std::array<long, 3>;
using Metric = std::array<std::array<double, 3>, 3>;

// The reciprocal metric G* = G^-1 of the direct metric G_ij = a_i . a_j.
Metric reciprocal_metric(const LatticeParameters& p) {
  const double a = p[0], b = p[1], c = p[2];
  const double ca = std::cos(p[3]), cb = std::cos(p[4]), cg = std::cos(p[5]);
  const Metric g = {
      {{a * a, a * b * cg, a * c * cb}, {a * b * cg, b * b, b * c * ca}, {a * c * cb, b * c * ca, c * c}}};
  Metric inverse{};
  const double det = g[0][0] * (g[1][1] * g[2][2] - g[1][2] * g[2][1]) -
                     g[0][1] * (g[1][0] * g[2][2] - g[1][2] * g[2][0]) +
                     g[0][2] * (g[1][0] * g[2][1] - g[1][1] * g[2][0]);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
      inverse[i][j] = (g[i1][j1] * g[i2][j2] - g[i1][j2] * g[i2][j1]) / det;
    }
  return inverse;
}

double inverse_d_squared(const Metric& m, const std::array<double, 3>& h) {
  double sum = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) sum += h[i] * m[i][j] * h[j];
  return sum;
}

bool integral(const Reflection& h) {
  return std::all_of(h.begin(), h.end(), [](float v) { return v == std::round(v); });
}

// Whole indices small enough to turn into integers and to rotate without overflow; a float
// beyond 2^24 is whole only because its precision ran out, and no measured range reaches it.
bool indexable(const Reflection& h) {
  return integral(h) && std::all_of(h.begin(), h.end(), [](float v) { return std::abs(v) <= 16777216.0f; });
}

Index index_of(const Reflection& h) { return {std::lround(h[0]), std::lround(h[1]), std::lround(h[2])}; }

Index rotated(const Index& h, const std::array<int, 9>& m) {
  return {h[0] * m[0] + h[1] * m[3] + h[2] * m[6], h[0] * m[1] + h[1] * m[4] + h[2] * m[7],
          h[0] * m[2] + h[1] * m[5] + h[2] * m[8]};
}

std::string index_text(const Index& h) {
  return std::to_string(h[0]) + " " + std::to_string(h[1]) + " " + std::to_string(h[2]);
}

// Equal within single-precision rounding of the value and of the largest of its kind.
bool same_value(float a, float b, float largest) {
  return std::abs(a - b) <= 1e-4f * std::max(std::abs(a), std::abs(b)) + 1e-6f * largest;
}

}  // namespace

double smallest_d(double wavelength, double two_theta_max) {
  return wavelength / (2.0 * std::sin(std::min(two_theta_max, 180.0) / 2.0 * std::numbers::pi / 180.0));
}

double reflections_within(const LatticeParameters& p, double dmin) {
  const double ca = std::cos(p[3]), cb = std::cos(p[4]), cg = std::cos(p[5]);
  const double volume = double(p[0]) * p[1] * p[2] *
                        std::sqrt(std::max(0.0, 1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg));
  return 4.0 / 3.0 * std::numbers::pi * volume / (dmin * dmin * dmin);
}

std::vector<Reflection> reflections_to_dmin(const LatticeParameters& param, double dmin) {
  const Metric m = reciprocal_metric(param);
  // |h| <= |a| / dmin, as h = a . s for a scattering vector s of length 1/d.
  const auto reach = [&](int i) { return static_cast<long>(std::floor(param[i] / dmin * (1.0 + 1e-9))); };
  const long hmax = reach(0), kmax = reach(1), lmax = reach(2);
  const double box =
      8.0 * static_cast<double>(hmax + 1) * static_cast<double>(kmax + 1) * static_cast<double>(lmax + 1);
  if (box > 50.0 * kMostReflections)
    fail_powder("d-spacings down to " + shortest_text(static_cast<float>(dmin)) + " Å reach about " +
                std::to_string(static_cast<long long>(box / 2)) + " reflections of this cell, beyond the " +
                std::to_string(kMostReflections) +
                " velmora-powder computes; narrow the 2theta range or raise --dmin");
  std::vector<std::pair<double, Index>> found;
  const double limit = 1.0 / (dmin * dmin) * (1.0 + 1e-9);
  for (long h = -hmax; h <= hmax; ++h)
    for (long k = -kmax; k <= kmax; ++k)
      for (long l = -lmax; l <= lmax; ++l) {
        if (h == 0 && k == 0 && l == 0) continue;
        const double s2 = inverse_d_squared(m, {double(h), double(k), double(l)});
        if (s2 > limit) continue;
        found.push_back({s2, {h, k, l}});
        if (found.size() > kMostReflections)
          fail_powder("d-spacings down to " + shortest_text(static_cast<float>(dmin)) +
                      " Å reach more than " + std::to_string(kMostReflections) +
                      " reflections of this cell, beyond what velmora-powder computes; narrow the 2theta "
                      "range or raise --dmin");
      }
  std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) {
    const bool same_d = std::abs(x.first - y.first) <= 1e-9 * std::max(x.first, y.first);
    return same_d ? x.second < y.second : x.first < y.first;
  });
  std::vector<Reflection> list;
  list.reserve(found.size());
  for (const auto& [s2, h] : found) list.push_back({float(h[0]), float(h[1]), float(h[2])});
  return list;
}

std::vector<std::array<int, 9>> intensity_laue_group(const LatticeParameters& param,
                                                     const std::vector<ReflectionValues>& full) {
  const Metric m = reciprocal_metric(param);
  std::map<Index, const ReflectionValues*> by_index;
  float fn = 0, fm = 0, fx = 0;
  for (const ReflectionValues& v : full) {
    by_index[index_of(v.geometry.h)] = &v;
    fn = std::max(fn, v.fn_squared), fm = std::max(fm, v.fm_squared), fx = std::max(fx, v.fx_squared);
  }
  std::vector<std::array<int, 9>> group;
  std::array<int, 9> e{};
  // Every matrix of -1, 0, 1 (the rotations of any lattice in a reduced cell have no larger entries).
  for (int code = 0; code < 19683; ++code) {
    for (int i = 0, c = code; i < 9; ++i, c /= 3) e[static_cast<std::size_t>(i)] = c % 3 - 1;
    // Keeps the metric: M G* M^T = G*.
    bool keeps = true;
    for (int i = 0; i < 3 && keeps; ++i)
      for (int j = 0; j < 3 && keeps; ++j) {
        double sum = 0;
        for (int k = 0; k < 3; ++k)
          for (int l = 0; l < 3; ++l) sum += e[3 * i + k] * m[k][l] * e[3 * j + l];
        keeps = std::abs(sum - m[i][j]) <= 1e-5 * std::sqrt(m[i][i] * m[j][j]);
      }
    if (!keeps) continue;
    const bool symmetry = std::all_of(by_index.begin(), by_index.end(), [&](const auto& entry) {
      const auto other = by_index.find(rotated(entry.first, e));
      if (other == by_index.end()) return true;  // beyond the set's edge, by rounding of d
      const ReflectionValues& a = *entry.second;
      const ReflectionValues& b = *other->second;
      return same_value(a.fn_squared, b.fn_squared, fn) && same_value(a.fm_squared, b.fm_squared, fm) &&
             same_value(a.fx_squared, b.fx_squared, fx);
    });
    if (symmetry) group.push_back(e);
  }
  return group;
}

void check_listed_reflections(const std::vector<Reflection>& listed,
                              const std::vector<ReflectionValues>& full,
                              const std::vector<std::array<int, 9>>& group, double dmin,
                              const std::string& range, Remarks& remarks) {
  // Reach: reflections of the full set with d below every listed one.
  float listed_d = INFINITY;
  std::set<Index> listed_indices;
  bool fractional = false;
  for (const Reflection& h : listed) {
    if (!integral(h))
      fractional = true;
    else if (indexable(h))
      listed_indices.insert(index_of(h));
  }
  std::map<Index, float> d_of;
  for (const ReflectionValues& v : full) d_of[index_of(v.geometry.h)] = v.geometry.d;
  for (const Reflection& h : listed) {
    if (!indexable(h)) continue;
    if (const auto d = d_of.find(index_of(h)); d != d_of.end()) listed_d = std::min(listed_d, d->second);
  }
  std::size_t unreached = 0;
  for (const ReflectionValues& v : full)
    if (v.geometry.d < listed_d) ++unreached;
  if (unreached > 0)
    remarks.warn("the answers' own reflections reach d = " + shortest_text(listed_d) + " Å, but " + range +
                 " reaches d = " + shortest_text(static_cast<float>(dmin)) +
                 " Å: " + std::to_string(unreached) +
                 " reflections beyond the list's last are missing, so that part of the pattern has no peaks"
                 " (leave out --answer-hkl to compute every reflection)");
  if (fractional) return;
  // Closure: every listed h k l with each of its equivalents.
  std::size_t lacking = 0;
  Index first{}, partner{};
  for (const Index& h : listed_indices) {
    for (const auto& m : group) {
      const Index other = rotated(h, m);
      if (listed_indices.count(other) != 0) continue;
      if (lacking++ == 0) first = h, partner = other;
      break;
    }
  }
  if (lacking > 0)
    remarks.warn(std::to_string(lacking) + " of " + std::to_string(listed_indices.size()) +
                 " listed reflections lack equivalents under the structure's Laue group (" +
                 std::to_string(group.size()) + " operations; " + index_text(first) + " is listed, " +
                 index_text(partner) +
                 " is not): each listed h k l is one peak, so the relative"
                 " intensities are wrong (leave out --answer-hkl to compute every reflection)");
}

}  // namespace velmora::powder
