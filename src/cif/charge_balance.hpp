// The charges of atoms a file types without one, from the content of the
// converted cell: every assignment of common oxidation states to the
// uncharged elements (one state per element) whose total charge is zero,
// kept only where all such assignments agree. A charge so found is a
// guess the user is told of, never a silent choice.
#pragma once

#include <gemmi/elem.hpp>
#include <map>
#include <optional>
#include <vector>

namespace velmora::cif {

// One site's atoms in the cell: its element, the charge the file or the
// command line gives (none when unknown) and its number of atoms times its
// occupancy.
struct SiteContent {
  gemmi::Element element = gemmi::El::X;
  std::optional<int> charge;
  double count = 0;
};

// The oxidation states a chemist first thinks of for an element, most
// common first; empty for an element without one (noble gases, most of the
// transuranium elements).
std::vector<int> common_oxidation_states(gemmi::Element element);

// The charge of each element of the uncharged sites that every balancing
// assignment gives it, by atomic number; an element whose charge differs
// between balancing assignments is left out, and so is every element when
// none balances (a mixed-valence or intermetallic cell).
std::map<int, int> balanced_charges(const std::vector<SiteContent>& content);

// The crystal chemist's default charge of an element when the cell does not
// decide: 3 for the magnetic rare earths (Ce to Tm) other than Eu, whose
// 2+ and 3+ are both common (as for Yb).
std::optional<int> default_charge(gemmi::Element element);

// Eu and Yb, the rare earths with no default: their 2+ and 3+ are both common.
bool two_common_charges(gemmi::Element element);

}  // namespace velmora::cif
