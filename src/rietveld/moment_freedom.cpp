// The constraints are written on the components along the edges' unit
// vectors, u = D f with f the components along a, b, c and D = diag(|a|, |b|,
// |c|): an operation keeps the moment when D (det(R) t R - I) D^-1 u = 0.
#include "rietveld/moment_freedom.hpp"

#include <cmath>
#include <numbers>

#include "model/cartesian_moment.hpp"

namespace velmora::rietveld {
namespace {

Matrix3 product(const Matrix3& p, const Matrix3& q) {
  Matrix3 r{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      for (std::size_t k = 0; k < 3; ++k) r[i][j] += p[i][k] * q[k][j];
  return r;
}

std::array<double, 3> applied(const Matrix3& p, const std::array<double, 3>& v) {
  std::array<double, 3> r{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t k = 0; k < 3; ++k) r[i] += p[i][k] * v[k];
  return r;
}

// The Cartesian frame of the model: x along a, y in the a-b plane, z along
// c*; the columns are a, b and c.
Matrix3 orthogonalisation(const CellParameters& cell) {
  const double radian = std::numbers::pi / 180;
  const double ca = std::cos(cell[3] * radian), cb = std::cos(cell[4] * radian);
  const double cg = std::cos(cell[5] * radian), sg = std::sin(cell[5] * radian);
  const double cy = (ca - cb * cg) / sg;
  const double cz = std::sqrt(std::max(0.0, 1 - cb * cb - cy * cy));
  return {{{cell[0], cell[1] * cg, cell[2] * cb}, {0, cell[1] * sg, cell[2] * cy}, {0, 0, cell[2] * cz}}};
}

// The solution of p x = v for an invertible p (Cramer's rule).
std::array<double, 3> solved(const Matrix3& p, const std::array<double, 3>& v) {
  const auto det = [](const Matrix3& q) {
    return q[0][0] * (q[1][1] * q[2][2] - q[1][2] * q[2][1]) -
           q[0][1] * (q[1][0] * q[2][2] - q[1][2] * q[2][0]) +
           q[0][2] * (q[1][0] * q[2][1] - q[1][1] * q[2][0]);
  };
  const double whole = det(p);
  std::array<double, 3> x{};
  for (std::size_t j = 0; j < 3; ++j) {
    Matrix3 q = p;
    for (std::size_t i = 0; i < 3; ++i) q[i][j] = v[i];
    x[j] = det(q) / whole;
  }
  return x;
}

// det(R) t R: how an operation turns a moment's components along a, b, c.
Matrix3 axial_rotation(const Crystal& crystal, std::size_t operation) {
  Matrix3 r{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  if (crystal.operations.empty()) return r;
  const SymmetryOperation& o = crystal.operations[operation];
  const double sign = o.op.det() * o.time_reversal;
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) r[i][j] = sign * o.op.rot[i][j];
  return r;
}

}  // namespace

std::array<double, 3> axis_components(const CellParameters& cell, const std::array<double, 3>& m) {
  const Matrix3 orth = orthogonalisation(cell);
  std::array<double, 3> u = solved(orth, m);
  for (std::size_t i = 0; i < 3; ++i) u[i] *= cell[i];
  return u;
}

double MomentFreedom::size(const std::array<double, 3>& m, std::array<double, 3>& gradient) const {
  const std::array<double, 3> v = applied(cartesian, m);
  const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  for (std::size_t k = 0; k < 3; ++k) {
    gradient[k] = 0;
    if (length > 0)
      for (std::size_t i = 0; i < 3; ++i) gradient[k] += cartesian[i][k] * v[i] / length;
  }
  return length;
}

void MomentFreedom::move_atoms(const std::array<double, 3>& m, std::vector<CrystalAtom>& atoms) const {
  for (const MomentImage& image : images)
    atoms[image.atom].moment = moment_angles(applied(image.cartesian, m));
}

std::vector<MomentFreedom> moment_freedoms(const Crystal& crystal, const std::vector<SiteFreedom>& sites) {
  const Matrix3 orth = orthogonalisation(crystal.cell);
  Matrix3 to_fractions{}, to_edges{};  // D^-1 and D
  for (std::size_t i = 0; i < 3; ++i) {
    to_fractions[i][i] = 1 / crystal.cell[i];
    to_edges[i][i] = crystal.cell[i];
  }
  std::vector<MomentFreedom> freedoms;
  for (std::size_t s = 0; s < sites.size(); ++s) {
    MomentFreedom& f = freedoms.emplace_back();
    f.kind.fill(ComponentFreedom::Kind::fixed);
    if (!crystal.sites[s].magnetic || sites[s].images.empty()) continue;
    std::vector<std::array<double, 3>> rows;
    for (std::size_t o : sites[s].keeping_operations) {
      Matrix3 kept = product(product(to_edges, axial_rotation(crystal, o)), to_fractions);
      for (std::size_t i = 0; i < 3; ++i) {
        kept[i][i] -= 1;
        rows.push_back(kept[i]);
      }
    }
    static_cast<ComponentFreedom&>(f) = freedom_of(std::move(rows));
    f.cartesian = product(orth, to_fractions);
    for (const SiteImage& image : sites[s].images)
      f.images.push_back(
          {image.atom, product(product(orth, axial_rotation(crystal, image.operation)), to_fractions)});
    // The start from the atom at the site's position (else its first), the
    // components the symmetry fixes or ties made exact.
    const MomentImage* own = &f.images.front();
    for (std::size_t k = 0; k < f.images.size(); ++k)
      if (sites[s].images[k].start == sites[s].position) {
        own = &f.images[k];
        break;
      }
    f.start = solved(own->cartesian, moment_components(crystal.atoms[own->atom].moment));
    const double whole =
        std::sqrt(f.start[0] * f.start[0] + f.start[1] * f.start[1] + f.start[2] * f.start[2]);
    for (double& v : f.start)
      if (std::abs(v) <= 1e-9 * whole) v = 0;
    for (std::size_t j = 0; j < 3; ++j) {
      if (f.kind[j] == ComponentFreedom::Kind::fixed) f.start[j] = 0;
      if (f.kind[j] != ComponentFreedom::Kind::tied) continue;
      f.start[j] = 0;
      for (std::size_t k = 0; k < 3; ++k) f.start[j] += f.follows[j][k] * f.start[k];
    }
  }
  return freedoms;
}

}  // namespace velmora::rietveld
