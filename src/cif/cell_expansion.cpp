// Expansion of the atom sites over the symmetry operations, which form a
// group: each site is placed on its special position, then gives one atom per
// coset of its site-symmetry group, so the work is linear in the operations.
// Distances are first compared along each axis alone: a fractional difference
// du along a means a distance of at least |du| / |a*|.
#include "cif/cell_expansion.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace velmora::cif {
namespace {

// An operation as matrices: x' = rot x + tran on fractional coordinates, and
// m' = axial m on Cartesian moments.
struct OperationMatrices {
  gemmi::Mat33 rot;
  gemmi::Vec3 tran;
  gemmi::Mat33 axial;
};

OperationMatrices matrices_of(const SymmetryOperation& operation, const gemmi::UnitCell& cell) {
  OperationMatrices m;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) m.rot[i][j] = operation.op.rot[i][j];
    m.tran.at(i) = operation.op.tran(i);
  }
  // The rotation in the Cartesian frame, A R A^-1 with A the orthogonalisation
  // matrix; a moment is an axial vector, so an improper rotation (determinant
  // -1) does not reverse it, and time reversal does.
  const double sign = (m.rot.determinant() > 0 ? 1.0 : -1.0) * operation.time_reversal;
  const gemmi::Mat33 cartesian = cell.orth.mat.multiply(m.rot).multiply(cell.frac.mat);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.axial[i][j] = sign * cartesian[i][j];
  return m;
}

// x reduced to [0, 1); a value that would print as 1 in single precision is 0.
double reduced(double x) {
  double r = x - std::floor(x);
  if (static_cast<float>(r) >= 1.0f) r = 0.0;
  return r;
}

// Squared distance of two fractional positions to the nearest lattice
// translation, or a value above limit_sq when they are further apart than
// the limit along one axis alone.
double distance_sq_within(const gemmi::UnitCell& cell, const std::array<double, 3>& p,
                          const std::array<double, 3>& q, double limit_sq) {
  const double reciprocal[3] = {cell.ar, cell.br, cell.cr};
  gemmi::Vec3 d;
  for (int k = 0; k < 3; ++k) {
    const double du = p[k] - q[k];
    d.at(k) = du - std::nearbyint(du);
    if (d.at(k) * d.at(k) > limit_sq * reciprocal[k] * reciprocal[k]) return 2 * limit_sq + 1;
  }
  return cell.orth.mat.multiply(d).length_sq();
}

std::string axis_components(const gemmi::UnitCell& cell, const gemmi::Vec3& moment) {
  const gemmi::Vec3 f = cell.frac.mat.multiply(moment);
  char text[96];
  // Adding 0 turns a negative zero into 0.
  std::snprintf(text, sizeof text, "(%.4g %.4g %.4g)", f.x * cell.a + 0.0, f.y * cell.b + 0.0,
                f.z * cell.c + 0.0);
  return text;
}

}  // namespace

gemmi::Vec3 cartesian_moment(const gemmi::UnitCell& cell, const std::array<double, 3>& m) {
  return cell.orth.mat.multiply(gemmi::Vec3(m[0] / cell.a, m[1] / cell.b, m[2] / cell.c));
}

std::vector<CellAtom> expand_cell(const CifStructure& s, Warnings& warnings) {
  std::vector<OperationMatrices> operations;
  operations.reserve(s.operations.size());
  for (const SymmetryOperation& operation : s.operations)
    operations.push_back(matrices_of(operation, s.cell));
  const OperationIndex index(s.operations);

  constexpr double limit_sq = kCoincidence * kCoincidence;
  std::vector<CellAtom> atoms;
  std::vector<std::size_t> stabilizer;
  std::vector<bool> covered(s.operations.size());
  for (std::size_t i = 0; i < s.sites.size(); ++i) {
    const CifSite& site = s.sites[i];
    const gemmi::Vec3 fract(site.fract[0], site.fract[1], site.fract[2]);
    const gemmi::Vec3 moment = site.magnetic ? cartesian_moment(s.cell, site.moment) : gemmi::Vec3();
    // Components rounded in the file leave the images of an allowed moment a
    // little apart; a moment the site symmetry forbids differs by its size.
    const double allowed = 0.01 + 0.005 * moment.length();
    // The operations that leave the site in place (to within kCoincidence):
    // the site is put exactly on its special position, the average of its
    // images under them, and its moment is averaged the same way.
    stabilizer.clear();
    gemmi::Vec3 sum_position, sum_moment;
    double largest_sq = 0.0;
    for (std::size_t g = 0; g < operations.size(); ++g) {
      gemmi::Vec3 image = operations[g].rot.multiply(fract) + operations[g].tran;
      const std::array<double, 3> a = {image.x, image.y, image.z}, b = {fract.x, fract.y, fract.z};
      const double distance_sq = distance_sq_within(s.cell, a, b, limit_sq);
      if (distance_sq >= limit_sq) continue;
      stabilizer.push_back(g);
      largest_sq = std::max(largest_sq, distance_sq);
      for (int k = 0; k < 3; ++k) image.at(k) -= std::nearbyint(image.at(k) - fract.at(k));
      sum_position += image;
      const gemmi::Vec3 turned = site.magnetic ? operations[g].axial.multiply(moment) : gemmi::Vec3();
      if ((turned - moment).length() > allowed)
        fail_conversion(s.source + ": atom '" + site.label + "': the operations give it the moments " +
                        axis_components(s.cell, moment) + " and " + axis_components(s.cell, turned) +
                        " (along the axes) at one place: its moment breaks the symmetry of its site,"
                        " or an operation has the wrong time reversal");
      sum_moment += turned;
    }
    const double n = static_cast<double>(stabilizer.size());  // at least 1: the identity
    const gemmi::Vec3 placed = sum_position / n, placed_moment = sum_moment / n;
    if (largest_sq > 1e-6)
      warnings.add(s.source + ": atoms within 0.05 A of a special position are moved onto it", site.label);
    // One atom per coset g S of the stabilizer S: g s gives the image of g.
    std::fill(covered.begin(), covered.end(), false);
    for (std::size_t g = 0; g < operations.size(); ++g) {
      if (covered[g]) continue;
      for (std::size_t h : stabilizer) {
        const std::size_t gh = index.find(product(s.operations[g], s.operations[h]));
        if (gh < covered.size()) covered[gh] = true;
      }
      const gemmi::Vec3 image = operations[g].rot.multiply(placed) + operations[g].tran;
      CellAtom atom;
      atom.site = i;
      atom.xyz = {reduced(image.x), reduced(image.y), reduced(image.z)};
      if (site.magnetic) atom.moment = operations[g].axial.multiply(placed_moment);
      atoms.push_back(atom);
    }
  }
  return atoms;
}

}  // namespace velmora::cif
