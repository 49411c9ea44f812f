// velmora's run values of a crystal: every stored number rounded once to
// single precision, as velmora's reader rounds a typed answer, and the angles
// turned into radians as velmora's dialogue turns them. Every program that
// computes from a crystal goes through here, so that a value given in a CIF,
// in Python or typed at velmora's prompt meets the same arithmetic.
#pragma once

#include <vector>

#include "model/crystal.hpp"
#include "structure/structure.hpp"

namespace velmora {

Structure run_structure(const Crystal& crystal, std::vector<Reflection> hkl, float pi);

}  // namespace velmora
