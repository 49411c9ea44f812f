// The metric tensor G of a b c alpha beta gamma has the six entries a^2, b^2,
// c^2, ab cos gamma, ac cos beta, bc cos alpha. A rotation R of the group
// asks R^T dG R = dG of every change dG; through the derivatives of G by the
// parameters that is a set of linear equations on the parameters' changes,
// whose reduced row echelon form names the parameters that stay free (the
// earliest ones: a before b, alpha before beta) and what the others follow.
#include "rietveld/cell_freedom.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

namespace velmora::rietveld {
namespace {

using Row = std::array<double, 6>;
using Matrix3 = std::array<std::array<double, 3>, 3>;

constexpr double kRadian = std::numbers::pi / 180.0;

// Index of the symmetric entry (i, j) among G11 G22 G33 G12 G13 G23.
int entry(int i, int j) {
  if (i == j) return i;
  const int low = std::min(i, j), high = std::max(i, j);
  return low == 0 ? (high == 1 ? 3 : 4) : 5;
}

// dG_e / dp_k at the cell, the angles' derivatives per degree.
std::array<Row, 6> metric_derivatives(const CellParameters& cell) {
  const double a = cell[0], b = cell[1], c = cell[2];
  const double al = cell[3] * kRadian, be = cell[4] * kRadian, ga = cell[5] * kRadian;
  std::array<Row, 6> d{};
  d[0][0] = 2 * a;
  d[1][1] = 2 * b;
  d[2][2] = 2 * c;
  d[3] = {b * std::cos(ga), a * std::cos(ga), 0, 0, 0, -a * b * std::sin(ga) * kRadian};
  d[4] = {c * std::cos(be), 0, a * std::cos(be), 0, -a * c * std::sin(be) * kRadian, 0};
  d[5] = {0, c * std::cos(al), b * std::cos(al), -b * c * std::sin(al) * kRadian, 0, 0};
  return d;
}

// The rows R^T dG R - dG = 0 of one rotation, on the parameters' changes.
std::vector<Row> rotation_rows(const std::array<std::array<int, 3>, 3>& rot, const std::array<Row, 6>& dg) {
  std::vector<Row> rows;
  for (int i = 0; i < 3; ++i)
    for (int j = i; j < 3; ++j) {
      // (R^T dG R)_ij = sum_kl R_ki dG_kl R_lj, as a combination of the entries.
      Row on_entries{};
      for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) on_entries[entry(k, l)] += rot[k][i] * rot[l][j];
      on_entries[entry(i, j)] -= 1;
      Row row{};
      for (int e = 0; e < 6; ++e)
        for (int p = 0; p < 6; ++p) row[p] += on_entries[e] * dg[e][p];
      rows.push_back(row);
    }
  return rows;
}

// Brings the equations to reduced row echelon form, eliminating the latest
// parameters first so that the earliest stay free. Entries below tolerance
// times the largest are zero.
CellFreedom solve(std::vector<Row> rows) {
  double largest = 0;
  for (const Row& r : rows)
    for (double v : r) largest = std::max(largest, std::abs(v));
  const double tolerance = 1e-9 * std::max(largest, 1.0);
  CellFreedom freedom;
  freedom.kind.fill(CellFreedom::Kind::free);
  std::vector<int> pivots;  // the parameter each of the first rows solves for
  std::size_t next = 0;
  for (int p = 5; p >= 0 && next < rows.size(); --p) {
    std::size_t best = next;
    for (std::size_t r = next; r < rows.size(); ++r)
      if (std::abs(rows[r][p]) > std::abs(rows[best][p])) best = r;
    if (std::abs(rows[best][p]) <= tolerance) continue;
    std::swap(rows[next], rows[best]);
    const double pivot = rows[next][p];
    for (double& v : rows[next]) v /= pivot;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (r == next || rows[r][p] == 0) continue;
      const double f = rows[r][p];
      for (int q = 0; q < 6; ++q) rows[r][q] -= f * rows[next][q];
    }
    pivots.push_back(p);
    ++next;
  }
  for (std::size_t r = 0; r < pivots.size(); ++r) {
    const int p = pivots[r];
    bool follows_any = false;
    for (int q = 0; q < 6; ++q) {
      if (q == p || std::abs(rows[r][q]) <= tolerance) continue;
      // A parameter is tied to a later one only if that one is solved too,
      // which the elimination order rules out: q < p here, and q is free.
      freedom.follows[static_cast<std::size_t>(p)][static_cast<std::size_t>(q)] = -rows[r][q];
      follows_any = true;
    }
    freedom.kind[static_cast<std::size_t>(p)] =
        follows_any ? CellFreedom::Kind::tied : CellFreedom::Kind::fixed;
  }
  return freedom;
}

// Equal edges and angles, right and hexagonal angles, read off the values.
CellFreedom freedom_of_values(const CellParameters& cell) {
  std::vector<Row> rows;
  for (int p = 0; p < 6; ++p) {
    const int first = p < 3 ? 0 : 3;
    for (int q = first; q < p; ++q)
      if (cell[static_cast<std::size_t>(q)] == cell[static_cast<std::size_t>(p)]) {
        Row row{};
        row[p] = 1, row[q] = -1;
        rows.push_back(row);
        break;
      }
    if (p >= 3 && (cell[static_cast<std::size_t>(p)] == 90 || cell[static_cast<std::size_t>(p)] == 120)) {
      Row row{};
      row[p] = 1;
      rows.push_back(row);
    }
  }
  CellFreedom freedom = solve(rows);
  freedom.basis =
      "the cell's values (no symmetry given): equal edges and angles stay equal, angles of 90 and 120 "
      "degrees stay";
  return freedom;
}

}  // namespace

int CellFreedom::free_count() const {
  return static_cast<int>(std::count(kind.begin(), kind.end(), Kind::free));
}

CellFreedom cell_freedom(const CellParameters& cell, const std::vector<SymmetryOperation>& operations) {
  if (operations.empty()) return freedom_of_values(cell);
  const std::array<Row, 6> dg = metric_derivatives(cell);
  std::set<std::array<std::array<int, 3>, 3>> rotations;
  for (const SymmetryOperation& o : operations) rotations.insert(o.op.rot);
  std::vector<Row> rows;
  for (const auto& rot : rotations)
    for (const Row& row : rotation_rows(rot, dg)) rows.push_back(row);
  CellFreedom freedom = solve(std::move(rows));
  freedom.basis = "the " + std::to_string(rotations.size()) + " rotations of the structure's operations";
  return freedom;
}

}  // namespace velmora::rietveld
