// A phase's structure as refined parameters: each chosen site's coordinates
// as its site symmetry leaves them free (the others following or fixed), its
// B and its occupancy, named "site.O3.y", "site.Pb.biso", "site.Fe1.occ", and
// a magnetic site's moment: the components along a/|a|, b/|b|, c/|c| its
// magnetic site symmetry leaves free ("moment.Mn1.mx"), or its size alone
// with its direction kept ("moment.Mn1.size"); and one B added to every
// site's ("biso.overall"); and a site's anisotropic displacements as its
// site symmetry leaves them free ("site.O3.u11"), in place of its B. The
// sites of one position that share it (a mixed site) stay together: their
// occupancies keep the sum they start with, the later ones' coordinates and B
// follow the first's. The crystal at any values of them is the start with
// the sites moved and every atom of the cell following its site.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "errors/remarks.hpp"
#include "model/crystal.hpp"
#include "refine/parameter.hpp"
#include "rietveld/displacement_freedom.hpp"
#include "rietveld/moment_freedom.hpp"
#include "rietveld/refine_choice.hpp"
#include "rietveld/site_freedom.hpp"

namespace velmora::rietveld {

struct StructureSlot {
  enum class What { x, y, z, biso, occ, mx, my, mz, size, overall_biso, u11, u22, u33, u12, u13, u23 };
  std::size_t site = 0;
  What what = What::x;
};

// A magnetic site whose moment's components are refined: its size follows from them.
struct MomentSize {
  std::string name;  // "moment.Mn1.size"
  std::size_t site = 0;
  std::array<std::ptrdiff_t, 3> slot{-1, -1, -1};  // the slot of each component, -1 for a fixed one
};

class PhaseStructure {
 public:
  // The parameters of the groups chosen, named with prefix ("" or
  // "phase.2."); ends the run naming the fault when a site the choice names
  // is not in the crystal or the crystal's atoms are not images of its sites.
  PhaseStructure(const Crystal& crystal, const RefineChoice& choice, const std::string& prefix,
                 frontend::Remarks& remarks);

  std::size_t size() const { return slots_.size(); }
  const std::vector<StructureSlot>& slots() const { return slots_; }
  // The parameters as they stand at index first of the whole vector (ties
  // point there).
  std::vector<refine::Parameter> parameters(std::size_t first) const;
  // The crystal at the values of the parameters, in their order.
  Crystal crystal_at(std::span<const double> values) const;
  // A difference step for parameter m, small against what it changes, large against float rounding.
  double step(std::size_t m) const;
  const Crystal& start() const { return start_; }
  const std::vector<MomentSize>& moment_sizes() const { return moment_sizes_; }
  // Whether some site's U_ij are refined: its atoms' Debye-Waller factors then differ by reflection.
  bool anisotropic() const;
  // Each atom's covariance of displacements in crystal c (crystal_at), for the atoms of the sites
  // whose U_ij are refined; none for the others, which keep their B.
  std::vector<std::optional<Covariance>> atom_covariances(const Crystal& c) const;
  // The sites of crystal c whose refined U_ij are not positive definite: no
  // real displacement ellipsoid has them.
  std::vector<std::string> unphysical_displacements(const Crystal& c) const;
  // A moment's size at the values of the parameters, and its derivatives by its components.
  double moment_size(const MomentSize& m, std::span<const double> values,
                     std::array<double, 3>& gradient) const;

 private:
  std::array<double, 3> moment_at(std::size_t site, std::span<const double> values) const;

  Crystal start_;
  std::vector<SiteFreedom> freedoms_;
  std::vector<MomentFreedom> moments_;
  std::vector<MomentSize> moment_sizes_;
  std::vector<std::optional<DisplacementFreedom>> displacements_;  // by site: those whose U_ij are refined
  std::vector<StructureSlot> slots_;
  std::vector<refine::Parameter> parameters_;  // ties by index within the block
};

// A site's name in parameter names: its label, or for an answer file's
// atoms (which have none) the table label numbered within its kind ("FE1").
std::vector<std::string> site_names(const Crystal& crystal);

}  // namespace velmora::rietveld
