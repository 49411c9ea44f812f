// Where a companion program finds velmora's three tables when it is not told
// where they are: the working directory when it holds them (velmora reads
// them there), else the data folder installed with the program, found from
// the program's own location so that a moved or unpacked installation works,
// else the data folder of the source tree the program was built from.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// The three tables as text, by file name: what an in-process run reads.
using TableFiles = std::map<std::string, std::string, std::less<>>;

// True when the folder holds the three table files.
bool holds_tables(const std::filesystem::path& folder);

// The folders looked at, in order; the installed one is left out when the
// program cannot find where it runs from.
std::vector<std::filesystem::path> table_folder_candidates();

// The first candidate that holds the three tables, or nothing.
std::optional<std::filesystem::path> find_table_folder();

// The folder named (when `given` is not empty), else the first candidate that holds the
// tables. When none does, nothing, and `why` says where the tables were looked for.
std::optional<std::filesystem::path> choose_table_folder(const std::string& given, std::string& why);

// Reads the three tables of a folder. When one cannot be read, returns
// nothing and puts its path in `unreadable`.
std::optional<TableFiles> read_table_files(const std::filesystem::path& folder,
                                           std::filesystem::path& unreadable);

// What to say of a table that could not be read: its path and why.
std::string unreadable_table_text(const std::filesystem::path& unreadable);

}  // namespace velmora
