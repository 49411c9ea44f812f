// velmora's readers run in memory by a companion: the end of such a run turned
// into a Failure from the values the run keeps (the failure fail_run records,
// the dialogue's answer being read, the tables as far as they were read),
// never from the text the run printed.
#pragma once

#include <string>

#include "errors/failure.hpp"

namespace velmora {
struct Console;
struct ScatteringTables;
}  // namespace velmora

namespace velmora::frontend {

// What the answer being read is: "atom 2 of 5: type x y z occ Biso Mag".
std::string answer_text(const Console& console);

// The dialogue read from the answer file at path ended the run.
Failure answer_failure(const Console& console, const std::string& path);

// The table loader ended the run on the tables of folder: a table it could not
// read, or labels of the X-ray and neutron tables that disagree.
Failure table_failure(const Console& console, const ScatteringTables& tables, const std::string& folder);

}  // namespace velmora::frontend
