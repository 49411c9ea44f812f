// A whole run of velmora: tables, constants, dialogue, cell geometry, moment
// directions, reflection report, end. Returns the exit status.
#pragma once

#include <optional>
#include <string>

#include "tables/table_folder.hpp"

namespace velmora {

struct Console;

int run_velmora(Console& console);

// The one set-up of a run on this process's standard streams, for velmora and
// for a companion that runs it in-process: the answers from standard input, or
// the text given; the tables from the working directory, or those given (then
// the working directory is never read). Returns the exit status.
int run_velmora_on_standard_streams(std::optional<std::string> answers = std::nullopt,
                                    std::optional<TableFiles> tables = std::nullopt);

}  // namespace velmora
