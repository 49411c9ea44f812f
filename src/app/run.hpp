// A whole run of velmora: tables, constants, dialogue, cell geometry, moment
// directions, reflection report, end. Returns the exit status.
#pragma once

namespace velmora {

struct Console;

int run_velmora(Console& console);

}  // namespace velmora
