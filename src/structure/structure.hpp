// The crystal and the reflections as velmora's run computes with them, every
// value in single precision: lattice parameters (angles in radians), the
// atoms of the cell, the magnetic atoms copied in input order with their
// moments, and the h k l list. Made from a crystal (model/crystal.hpp) by
// run/run_structure.hpp.
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

// Degrees to radians as the run does it everywhere: value times pi, then
// divided by 180, rounded once to single precision.
inline float to_radians(float degrees, float pi) {
  return static_cast<float>(static_cast<double>(degrees) * pi / 180.0);
}

struct Structure {
  LatticeParameters param{};
  std::vector<AtomSite> atoms;
  std::vector<AtomSite> magnetic;          // matype, mxyz, mocc, mbiso
  std::vector<std::size_t> magnetic_site;  // index in atoms of each magnetic atom
  std::vector<MomentAngles> moments;       // one per magnetic atom
  std::vector<Reflection> hkl;
};

}  // namespace velmora
