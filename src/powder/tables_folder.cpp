// The folder velmora-powder reads the tables from: the one named with --tables, else the
// first of the folders every companion looks in that holds them.
#include "powder/tables_folder.hpp"

#include "powder/powder_error.hpp"
#include "tables/table_folder.hpp"

namespace velmora::powder {

std::string powder_tables_folder(const std::string& given) {
  std::string why;
  if (const auto folder = choose_table_folder(given, why)) return folder->string();
  fail_powder(why);
}

}  // namespace velmora::powder
