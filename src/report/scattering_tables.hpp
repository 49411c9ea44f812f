// The tables' lines of velmora's output: "Reading ..." as the loader begins
// each file, and velmora's message when a neutron-length label differs from
// the X-ray label of its row, printed just before the run stops there.
#pragma once

#include "tables/scattering_tables.hpp"

namespace velmora {

struct Console;

// The reading that prints those lines on the console; it refers to the
// console, so it is used while the console lives.
TableReading table_reading_lines(Console& console);

}  // namespace velmora
