// velmora's whole run inside this program, on answers made here and with the
// tables they were made with: the report `velmora < answers` prints in the
// tables' folder, written to this program's standard output as it goes.
#pragma once

#include <string>

#include "cif/conversion.hpp"
#include "tables/table_folder.hpp"

namespace velmora::cif {

// Runs velmora, with the magnetic form factors of the conversion; returns its
// exit status. When a form factor is not velmora's own, the report's first
// line says which model gave |Fm|^2.
int run_velmora_on(std::string answers, TableFiles tables, const MagneticForms& magnetic);

}  // namespace velmora::cif
