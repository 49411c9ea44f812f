// velmora's whole run inside this program, on answers made here and with the
// tables they were made with: the report `velmora < answers` prints in the
// tables' folder, written to this program's standard output as it goes.
#pragma once

#include <string>

#include "tables/table_folder.hpp"

namespace velmora::cif {

// Runs velmora; returns its exit status.
int run_velmora_on(std::string answers, TableFiles tables);

}  // namespace velmora::cif
