// The oxidation states a charge balance may give an element, in three lists
// tried one after another, so that the common states decide wherever they can:
// FeCr2O4 is Fe2+ Cr3+ by the common states alone, although Fe4+ Cr2+ also
// balances it once the rarer states are allowed.
#pragma once

#include <gemmi/elem.hpp>
#include <vector>

namespace velmora::cif {

enum class StateList {
  common,   // the states a chemist first thinks of, most common first
  further,  // with the states the ICSD holds compounds of (as pymatgen lists them) and Fe4+, Mn5+, Os7+
  all,      // with every further state of the magnetic form-factor data (Fe+, Cu4+, Os3+ ...)
};

// The element's states of the list, those of the shorter lists first; empty
// for an element without one (noble gases, most transuranium elements).
std::vector<int> oxidation_states(gemmi::Element element, StateList list);

// The common states, most common first.
std::vector<int> common_oxidation_states(gemmi::Element element);

// Whether the ion's d or f shell is open (it can carry a moment): false for a
// d0, d10, f0 or f14 ion such as Cr6+, Cu+, Ce4+ or Yb2+, and for an element
// of the main groups.
bool open_shell(gemmi::Element element, int charge);

}  // namespace velmora::cif
