// Which coordinates of an atom site a refinement may change without breaking
// the crystal's symmetry, found from the operations that keep the site where it
// is: a shift d of the site keeps every such operation R only if R d = d, so
// the free shifts are the null space of the stacked R - I. On a general
// position x y z are all free; on a mirror of Pnma y stays at 1/4; on a
// three-fold axis x x x moves as one. Each atom of the cell follows its site
// through the operation that made it.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "model/crystal.hpp"

namespace velmora::rietveld {

// One atom of the cell as an image of its site by an operation of rotation
// rot: a shift d of the site moves it by rot d.
struct SiteImage {
  std::size_t atom = 0;       // index in Crystal::atoms
  std::size_t operation = 0;  // the operation that makes it, in Crystal::operations (0 when there are none)
  std::array<std::array<int, 3>, 3> rot{};
  std::array<double, 3> start{};  // where the atom is with the site at its position
};

// Which of N components linear constraints leave free, which follow the
// free ones and which they fix.
template <std::size_t N>
struct LinearFreedom {
  enum class Kind { free, tied, fixed };
  std::array<Kind, N> kind{};
  // For a tied component j: v_j = v0_j + sum over free k of follows[j][k] (v_k - v0_k).
  std::array<std::array<double, N>, N> follows{};

  int free_count() const;
};
using ComponentFreedom = LinearFreedom<3>;

// The freedom the constraints rows . v = 0 leave, pivots taken on the
// components in pivot_order, so that those left free are the ones a table of
// Wyckoff positions names.
template <std::size_t N>
LinearFreedom<N> freedom_of(std::vector<std::array<double, N>> rows,
                            const std::array<std::size_t, N>& pivot_order);

// For three components, pivots on the third before the second before the
// first: x x x, x 2x z.
ComponentFreedom freedom_of(std::vector<std::array<double, 3>> rows);

struct SiteFreedom : ComponentFreedom {
  // The site's position as its atoms hold it (placed on its special position).
  std::array<double, 3> position{};
  int keeping = 1;  // operations that keep the site (its site-symmetry order)
  std::vector<std::size_t>
      keeping_operations;  // which they are, in Crystal::operations (none: there are none)
  std::vector<SiteImage> images;

  // The site's atoms moved with the site to xyz (ties applied by the caller);
  // at the site's own position every atom keeps its value to the last bit.
  void move_atoms(const std::array<double, 3>& xyz, std::vector<CrystalAtom>& atoms) const;
};

// The freedom of every site of the crystal, in site order; std::nullopt with
// fault naming the site when an atom is no image of its site under the
// crystal's operations (no operations: each atom is a site of its own, and
// free). Images within 0.05 angstrom of a position count as on it, as the
// cell's atoms were placed.
std::optional<std::vector<SiteFreedom>> site_freedoms(const Crystal& crystal, std::string& fault);

}  // namespace velmora::rietveld
