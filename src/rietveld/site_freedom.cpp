// The constraints come from a row reduction of the stacked R - I of the
// operations that keep the site. Pivots are taken on z before y before x, so
// that the coordinate left free is the first one a table of Wyckoff positions
// names (x x x, x 2x z, x 1/4 z) and the others follow it.
#include "rietveld/site_freedom.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "numbers/shortest_text.hpp"

namespace velmora::rietveld {
namespace {

// Images of a site closer than this (angstroms) are one atom, as the cell's
// atoms were placed on special positions.
constexpr double kCoincidence = 0.05;

using Metric = std::array<std::array<double, 3>, 3>;

Metric direct_metric(const CellParameters& cell) {
  const double radian = std::numbers::pi / 180;
  const double a = cell[0], b = cell[1], c = cell[2];
  const double ca = std::cos(cell[3] * radian), cb = std::cos(cell[4] * radian),
               cg = std::cos(cell[5] * radian);
  return {
      {{a * a, a * b * cg, a * c * cb}, {a * b * cg, b * b, b * c * ca}, {a * c * cb, b * c * ca, c * c}}};
}

// The squared distance between two fractional positions, the nearest lattice vector apart.
double distance_squared(const Metric& g, const std::array<double, 3>& p, const std::array<double, 3>& q) {
  std::array<double, 3> d{};
  for (std::size_t i = 0; i < 3; ++i) d[i] = p[i] - q[i] - std::round(p[i] - q[i]);
  double sum = 0;
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) sum += d[i] * g[i][j] * d[j];
  return sum;
}

std::array<double, 3> image_of(const SeitzOp& op, const std::array<double, 3>& x) {
  std::array<double, 3> y{};
  for (int i = 0; i < 3; ++i) {
    y[static_cast<std::size_t>(i)] = op.tran(i);
    for (std::size_t j = 0; j < 3; ++j)
      y[static_cast<std::size_t>(i)] += op.rot[static_cast<std::size_t>(i)][j] * x[j];
  }
  return y;
}

std::string position_text(const std::array<double, 3>& x) {
  std::string text = "(";
  for (std::size_t i = 0; i < 3; ++i) {
    text += shortest_text(x[i]);
    text += i < 2 ? ", " : ")";
  }
  return text;
}

}  // namespace

template <std::size_t N>
LinearFreedom<N> freedom_of(std::vector<std::array<double, N>> rows,
                            const std::array<std::size_t, N>& pivot_order) {
  using Kind = typename LinearFreedom<N>::Kind;
  LinearFreedom<N> f;
  std::vector<std::size_t> pivots;  // the column of each reduced row, in row order
  std::size_t next = 0;
  for (std::size_t column : pivot_order) {
    std::size_t best = next;
    for (std::size_t r = next; r < rows.size(); ++r)
      if (std::abs(rows[r][column]) > std::abs(rows[best][column])) best = r;
    if (best >= rows.size() || std::abs(rows[best][column]) < 1e-9) continue;
    std::swap(rows[next], rows[best]);
    const double lead = rows[next][column];
    for (double& v : rows[next]) v /= lead;
    for (std::size_t r = 0; r < rows.size(); ++r)
      if (r != next && rows[r][column] != 0) {
        const double factor = rows[r][column];
        for (std::size_t k = 0; k < N; ++k) rows[r][k] -= factor * rows[next][k];
      }
    pivots.push_back(column);
    ++next;
  }
  f.kind.fill(Kind::free);
  for (std::size_t r = 0; r < pivots.size(); ++r) {
    const std::size_t j = pivots[r];
    bool tied = false;
    for (std::size_t k = 0; k < N; ++k)
      if (k != j && std::abs(rows[r][k]) > 1e-9) {
        f.follows[j][k] = -rows[r][k];
        tied = true;
      }
    f.kind[j] = tied ? Kind::tied : Kind::fixed;
  }
  return f;
}

ComponentFreedom freedom_of(std::vector<std::array<double, 3>> rows) {
  return freedom_of<3>(std::move(rows), {2, 1, 0});
}

template <std::size_t N>
int LinearFreedom<N>::free_count() const {
  return static_cast<int>(std::count(kind.begin(), kind.end(), Kind::free));
}

template struct LinearFreedom<3>;
template struct LinearFreedom<6>;
template LinearFreedom<6> freedom_of<6>(std::vector<std::array<double, 6>>,
                                        const std::array<std::size_t, 6>&);

void SiteFreedom::move_atoms(const std::array<double, 3>& xyz, std::vector<CrystalAtom>& atoms) const {
  const std::array<double, 3> d = {xyz[0] - position[0], xyz[1] - position[1], xyz[2] - position[2]};
  for (const SiteImage& image : images)
    for (std::size_t i = 0; i < 3; ++i)
      atoms[image.atom].xyz[i] =
          image.start[i] + (image.rot[i][0] * d[0] + image.rot[i][1] * d[1] + image.rot[i][2] * d[2]);
}

std::optional<std::vector<SiteFreedom>> site_freedoms(const Crystal& crystal, std::string& fault) {
  const Metric g = direct_metric(crystal.cell);
  const double near = kCoincidence * kCoincidence;
  std::vector<SeitzOp> operations;
  for (const SymmetryOperation& o : crystal.operations) operations.push_back(o.op);
  if (operations.empty()) operations.emplace_back();  // the identity
  std::vector<std::vector<std::size_t>> atoms_of(crystal.sites.size());
  for (std::size_t a = 0; a < crystal.atoms.size(); ++a) atoms_of[crystal.atoms[a].site].push_back(a);
  std::vector<SiteFreedom> freedoms;
  for (std::size_t s = 0; s < crystal.sites.size(); ++s) {
    const CrystalSite& site = crystal.sites[s];
    const std::string name = site.label.empty() ? "atom " + std::to_string(s + 1) : "site " + site.label;
    SiteFreedom f;
    if (atoms_of[s].empty()) {
      f.position = site.xyz;
      f.kind.fill(SiteFreedom::Kind::fixed);
      freedoms.push_back(f);
      continue;
    }
    // The site's position as its atoms hold it: the atom at the site itself, else its first.
    f.position = crystal.atoms[atoms_of[s].front()].xyz;
    for (std::size_t a : atoms_of[s])
      if (distance_squared(g, crystal.atoms[a].xyz, site.xyz) < near) {
        f.position = crystal.atoms[a].xyz;
        break;
      }
    for (std::size_t a : atoms_of[s]) {
      const auto maker = std::find_if(operations.begin(), operations.end(), [&](const SeitzOp& op) {
        return distance_squared(g, image_of(op, f.position), crystal.atoms[a].xyz) < near;
      });
      if (maker == operations.end()) {
        fault = name + ": its atom at " + position_text(crystal.atoms[a].xyz) +
                " is the image of its position " + position_text(f.position) + " by none of the " +
                std::to_string(operations.size()) + " operations";
        return std::nullopt;
      }
      f.images.push_back(
          {a, static_cast<std::size_t>(maker - operations.begin()), maker->rot, crystal.atoms[a].xyz});
    }
    std::vector<std::array<double, 3>> rows;
    f.keeping = 0;
    for (std::size_t o = 0; o < operations.size(); ++o) {
      const SeitzOp& op = operations[o];
      if (distance_squared(g, image_of(op, f.position), f.position) >= near) continue;
      ++f.keeping;
      if (!crystal.operations.empty()) f.keeping_operations.push_back(o);
      for (std::size_t i = 0; i < 3; ++i)
        rows.push_back({op.rot[i][0] - (i == 0 ? 1.0 : 0.0), op.rot[i][1] - (i == 1 ? 1.0 : 0.0),
                        op.rot[i][2] - (i == 2 ? 1.0 : 0.0)});
    }
    static_cast<ComponentFreedom&>(f) = freedom_of(std::move(rows));
    freedoms.push_back(std::move(f));
  }
  return freedoms;
}

}  // namespace velmora::rietveld
