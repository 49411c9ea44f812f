// The crystal and the reflections as the dialogue fills them: lattice
// parameters (angles in radians once read), the atoms of the cell, the
// magnetic atoms copied in input order with their moments, and the h k l
// list. The lists grow as entries are read, so a count is never trusted to
// reserve memory before its entries have arrived.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tables/symbol.hpp"

namespace velmora {

// a b c alpha beta gamma; the angles in radians after the dialogue.
using LatticeParameters = std::array<float, 6>;

struct AtomSite {
  Symbol atype = kBlankSymbol;
  std::array<float, 3> xyz{};  // fractional coordinates along a, b, c
  float occ = 0.0f;
  float biso = 0.0f;  // isotropic displacement parameter B
};

// Size of a magnetic moment in Bohr magnetons and its direction in the
// Cartesian frame: theta the angle to x (azimuth), phi the angle to z (polar
// angle), both in radians after the dialogue.
struct MomentAngles {
  float mom = 0.0f;
  float theta = 0.0f;
  float phi = 0.0f;
};

using Reflection = std::array<float, 3>;  // h k l, fractional values allowed

struct Structure {
  LatticeParameters param{};
  std::int32_t natom = 0;
  std::vector<AtomSite> atoms;  // natom entries, or none when natom <= 0
  std::int32_t mflag = 0;       // flag of the atom last read: 1 means magnetic
  std::int32_t nmagatom = 0;
  std::vector<AtomSite> magnetic;   // matype, mxyz, mocc, mbiso
  std::vector<std::size_t> magnetic_site;  // index in atoms of each magnetic atom
  std::vector<MomentAngles> moments;  // one per magnetic atom
  std::int32_t nrefn = 0;
  std::vector<Reflection> hkl;
};

}  // namespace velmora
