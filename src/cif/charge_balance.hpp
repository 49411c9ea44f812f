// The charges of atoms a file types without one, from the content of the
// converted cell. First the balance of elements: every assignment of one
// oxidation state per uncharged element whose total charge is zero (or, when
// none is, nearest zero within 2 %, for occupancies a little short of full),
// with the common states first and rarer ones only when those do not balance;
// an element is decided where all such assignments agree. Then, for cations
// the balance leaves open in a cell with anions, the bond-valence sum of each
// site chooses among the assignments of a state per site that balance (so
// that charge-ordered sites may differ), when the sums decide clearly. In a
// cell without anions (an intermetallic) a magnetic rare earth or actinide
// takes the ion magnetic-structure studies of intermetallics take. A charge
// so found is a guess the user is told of, never a silent choice.
#pragma once

#include <functional>
#include <gemmi/elem.hpp>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cif/oxidation_states.hpp"

namespace velmora::cif {

// One site's atoms in the cell: its element, the charge the file or the
// command line gives (none when unknown) and its number of atoms times its
// occupancy.
struct SiteContent {
  gemmi::Element element = gemmi::El::X;
  std::optional<int> charge;
  double count = 0;
  bool magnetic = false;
};

// The charge of each element of the uncharged sites that every balancing
// assignment gives it, by atomic number; an element whose charge differs
// between balancing assignments is left out, and so is every element when
// none balances (a mixed-valence or intermetallic cell).
std::map<int, int> balanced_charges(const std::vector<SiteContent>& content);

// A charge guessed for a site, and the reason a warning gives for it.
struct GuessedCharge {
  int charge = 0;
  std::string why;
};

// The bond-valence sum of a site's atom at a charge; nothing when it cannot be computed.
using BondSums = std::function<std::optional<double>(std::size_t site, int charge)>;

// The guessed charge of each uncharged site, by site; nothing where neither
// the balance, the bond valences nor the intermetallic rule decides.
std::vector<std::optional<GuessedCharge>> guess_charges(const std::vector<SiteContent>& content,
                                                        const BondSums& bond_sums);

// The crystal chemist's default charge of an element when the cell does not
// decide: 3 for the magnetic rare earths (Ce to Tm) other than Eu, whose
// 2+ and 3+ are both common (as for Yb).
std::optional<int> default_charge(gemmi::Element element);

// Eu and Yb, the rare earths with no default: their 2+ and 3+ are both common.
bool two_common_charges(gemmi::Element element);

}  // namespace velmora::cif
