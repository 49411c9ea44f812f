// The constraints are written on U: (R C R' - C)_pq = 0 for each pair p <= q,
// C_rs = U_rs a*_r a*_s. Pivots are taken on U23, U13, U12, U33, U22 before
// U11, so that the ones left free are those a table of site symmetries names
// first (U11, then U33 beside U11 = U22).
#include "rietveld/displacement_freedom.hpp"

#include <cmath>
#include <numbers>

namespace velmora::rietveld {
namespace {

constexpr std::array<std::array<std::size_t, 2>, 6> kPairs = {
    {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}}};

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix direct_metric(const CellParameters& cell) {
  const double r = std::numbers::pi / 180;
  const double a = cell[0], b = cell[1], c = cell[2];
  const double ca = std::cos(cell[3] * r), cb = std::cos(cell[4] * r), cg = std::cos(cell[5] * r);
  return {
      {{a * a, a * b * cg, a * c * cb}, {a * b * cg, b * b, b * c * ca}, {a * c * cb, b * c * ca, c * c}}};
}

Matrix inverse(const Matrix& m) {
  Matrix inv{};
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) {
      const std::size_t i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
      inv[i][j] = (m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1]) / det;
    }
  return inv;
}

std::array<double, 3> reciprocal_lengths(const CellParameters& cell) {
  const Matrix g = inverse(direct_metric(cell));
  return {std::sqrt(g[0][0]), std::sqrt(g[1][1]), std::sqrt(g[2][2])};
}

}  // namespace

Covariance covariance_of(const CellParameters& cell, const std::array<double, 6>& u) {
  const std::array<double, 3> star = reciprocal_lengths(cell);
  Covariance c{};
  for (std::size_t n = 0; n < 6; ++n) {
    const auto [p, q] = kPairs[n];
    c[p][q] = c[q][p] = u[n] * star[p] * star[q];
  }
  return c;
}

double equivalent_b(const CellParameters& cell, const std::array<double, 6>& u) {
  const Matrix g = direct_metric(cell);
  const Covariance c = covariance_of(cell, u);
  double sum = 0;
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) sum += c[i][j] * g[i][j];
  return 8 * std::numbers::pi * std::numbers::pi * sum / 3;
}

Covariance turned(const std::array<std::array<int, 3>, 3>& rot, const Covariance& c) {
  Covariance t{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      for (std::size_t k = 0; k < 3; ++k)
        for (std::size_t l = 0; l < 3; ++l) t[i][j] += rot[i][k] * c[k][l] * rot[j][l];
  return t;
}

double effective_b(const CellParameters& cell, const Covariance& c, const std::array<double, 3>& h) {
  const Matrix g = inverse(direct_metric(cell));
  double hch = 0, hgh = 0;
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) {
      hch += h[i] * c[i][j] * h[j];
      hgh += h[i] * g[i][j] * h[j];
    }
  return hgh > 0 ? 8 * std::numbers::pi * std::numbers::pi * hch / hgh : 0.0;
}

DisplacementFreedom displacement_freedom(const Crystal& crystal, const SiteFreedom& site,
                                         const std::array<double, 6>& u) {
  const std::array<double, 3> star = reciprocal_lengths(crystal.cell);
  std::vector<std::array<double, 6>> rows;
  for (std::size_t o : site.keeping_operations) {
    const auto& rot = crystal.operations[o].op.rot;
    for (const auto& [p, q] : kPairs) {
      std::array<double, 6> row{};
      for (std::size_t n = 0; n < 6; ++n) {
        const auto [r, s] = kPairs[n];
        double turned_part = rot[p][r] * rot[q][s];
        if (r != s) turned_part += rot[p][s] * rot[q][r];
        row[n] = turned_part * star[r] * star[s];
      }
      for (std::size_t n = 0; n < 6; ++n)
        if (kPairs[n][0] == p && kPairs[n][1] == q) row[n] -= star[p] * star[q];
      rows.push_back(row);
    }
  }
  DisplacementFreedom f;
  static_cast<LinearFreedom<6>&>(f) = freedom_of<6>(std::move(rows), {5, 4, 3, 2, 1, 0});
  for (const SiteImage& image : site.images) f.images.push_back({image.atom, image.rot});
  f.start = u;
  for (std::size_t j = 0; j < 6; ++j) {
    if (f.kind[j] == LinearFreedom<6>::Kind::fixed) f.start[j] = 0;
    if (f.kind[j] != LinearFreedom<6>::Kind::tied) continue;
    f.start[j] = 0;
    for (std::size_t k = 0; k < 6; ++k) f.start[j] += f.follows[j][k] * u[k];
  }
  return f;
}

}  // namespace velmora::rietveld
