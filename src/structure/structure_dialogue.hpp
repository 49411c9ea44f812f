// The question-and-answer dialogue that describes the crystal: banner,
// lattice parameters, atoms, magnetic moments and reflections, read from
// standard input in a fixed order. Angles are turned into radians as soon as
// they are read; no value is range-checked.
#pragma once

#include "structure/structure.hpp"

namespace velmora {

struct Console;

// Degrees to radians as the run does it everywhere: value times pi, then
// divided by 180, rounded once to single precision.
float to_radians(float degrees, float pi);

void read_structure_dialogue(Console& console, float pi, Structure& structure);

}  // namespace velmora
