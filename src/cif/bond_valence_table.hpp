// The shipped bond-valence parameters, as text: a line per cation and charge.
#pragma once

namespace velmora::cif {

const char* bond_valence_parameter_text();

}  // namespace velmora::cif
