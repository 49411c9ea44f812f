// Expansion of the atom sites over the symmetry operations. The comparison of
// images is first made along each axis alone: a fractional difference du
// along a means a distance of at least |du| / |a*|, which settles most pairs
// without the Cartesian distance.
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
  m.rot = gemmi::rot_as_mat33(operation.op);
  m.tran = gemmi::tran_as_vec3(operation.op);
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

  constexpr double limit_sq = kCoincidence * kCoincidence;
  std::vector<CellAtom> atoms;
  for (std::size_t i = 0; i < s.sites.size(); ++i) {
    const CifSite& site = s.sites[i];
    const gemmi::Vec3 fract(site.fract[0], site.fract[1], site.fract[2]);
    const gemmi::Vec3 moment = site.magnetic ? cartesian_moment(s.cell, site.moment) : gemmi::Vec3();
    // Components rounded in the file leave the images of an allowed moment a
    // little apart; a moment the site symmetry forbids differs by its size.
    const double allowed = 0.01 + 0.005 * moment.length();
    const std::size_t first = atoms.size();
    double largest_merged_sq = 0.0;
    for (const OperationMatrices& operation : operations) {
      const gemmi::Vec3 image = operation.rot.multiply(fract) + operation.tran;
      CellAtom atom;
      atom.site = i;
      atom.xyz = {reduced(image.x), reduced(image.y), reduced(image.z)};
      if (site.magnetic) atom.moment = operation.axial.multiply(moment);
      bool merged = false;
      for (std::size_t j = first; j < atoms.size() && !merged; ++j) {
        const double distance_sq = distance_sq_within(s.cell, atom.xyz, atoms[j].xyz, limit_sq);
        if (distance_sq >= limit_sq) continue;
        merged = true;
        largest_merged_sq = std::max(largest_merged_sq, distance_sq);
        if ((atom.moment - atoms[j].moment).length() > allowed)
          fail_conversion(s.source + ": atom '" + site.label + "': the operations give it the moments " +
                          axis_components(s.cell, atoms[j].moment) + " and " +
                          axis_components(s.cell, atom.moment) +
                          " (along the axes) at one place: its moment breaks the symmetry of its site,"
                          " or an operation has the wrong time reversal");
      }
      if (!merged) atoms.push_back(atom);
    }
    if (largest_merged_sq > 1e-6) {
      char distance[32];
      std::snprintf(distance, sizeof distance, "%.3f", std::sqrt(largest_merged_sq));
      warnings.add(s.source + ": atom '" + site.label + "': images " + distance +
                   " A apart are taken as one atom on a special position");
    }
  }
  return atoms;
}

}  // namespace velmora::cif
