// Where velmora-powder reads velmora's three tables from.
#pragma once

#include <string>

namespace velmora::powder {

// The folder given with --tables; without it, the working directory when it holds the
// tables, else the installed data folder, else the source tree's.
std::string powder_tables_folder(const std::string& given);

}  // namespace velmora::powder
