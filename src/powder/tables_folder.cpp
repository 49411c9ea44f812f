// The choice of the tables' folder, kept in one function so that every way of
// finding the tables is decided in one place.
#include "powder/tables_folder.hpp"

namespace velmora::powder {

std::string powder_tables_folder(const std::string& given) { return given.empty() ? "." : given; }

}  // namespace velmora::powder
