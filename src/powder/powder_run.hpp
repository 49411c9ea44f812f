// One run of velmora-powder from its options: the crystal in, the reflections
// its range reaches, the peaks of every source line, the pattern or its fit to
// a measurement, and the outputs, put in place only once all are complete.
#pragma once

#include "powder/powder_error.hpp"
#include "powder/powder_options.hpp"

namespace velmora::powder {

void run_powder(const PowderOptions& options, Remarks& remarks);

}  // namespace velmora::powder
