// The question-and-answer dialogue that describes the crystal: banner,
// lattice parameters, atoms, magnetic moments and reflections, read from
// standard input in a fixed order. Each answer is kept as read (angles in
// degrees); no value is range-checked. The same prompts are written for a
// crystal read by another reader, so that its run prints what velmora
// prints for the answers.
#pragma once

#include <vector>

#include "model/crystal.hpp"
#include "structure/structure.hpp"

namespace velmora {

struct Console;

// The crystal of the answers, every atom of the cell its own site and no
// symmetry given, and the reflections; angles are echoed in radians (pi)
// as the dialogue has always echoed them.
void read_structure_dialogue(Console& console, float pi, Crystal& crystal, std::vector<Reflection>& hkl);

// The dialogue's prompts and echoes for run values made without it.
void write_structure_dialogue(Console& console, const Structure& structure);

}  // namespace velmora
