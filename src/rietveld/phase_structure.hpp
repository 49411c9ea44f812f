// A phase's structure as refined parameters: each chosen site's coordinates
// as its site symmetry leaves them free (the others following or fixed), its
// B and its occupancy, named "site.O3.y", "site.Pb.biso", "site.Fe1.occ". The
// sites of one position that share it (a mixed site) stay together: their
// occupancies keep the sum they start with, the later ones' coordinates and B
// follow the first's. The crystal at any values of them is the start with
// the sites moved and every atom of the cell following its site.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "errors/remarks.hpp"
#include "model/crystal.hpp"
#include "refine/parameter.hpp"
#include "rietveld/refine_choice.hpp"
#include "rietveld/site_freedom.hpp"

namespace velmora::rietveld {

struct StructureSlot {
  enum class What { x, y, z, biso, occ };
  std::size_t site = 0;
  What what = What::x;
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

 private:
  Crystal start_;
  std::vector<SiteFreedom> freedoms_;
  std::vector<StructureSlot> slots_;
  std::vector<refine::Parameter> parameters_;  // ties by index within the block
};

// A site's name in parameter names: its label, or for an answer file's
// atoms (which have none) the table label numbered within its kind ("FE1").
std::vector<std::string> site_names(const Crystal& crystal);

}  // namespace velmora::rietveld
