// The table-folder lookup shared by the companion programs. The installed
// folder is named relative to the folder of the running program (set by the
// build from the install layout), never by an absolute path fixed at build
// time, so a package unpacked anywhere finds its own tables.
#include "tables/table_folder.hpp"

#include <fstream>
#include <sstream>

#include "tables/scattering_tables.hpp"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace velmora {
namespace {

constexpr std::string_view kTableFiles[3] = {kXrayFileName, kNeutronFileName, kMagneticFileName};

// The running program's own file, or an empty path when the system does not say.
std::filesystem::path program_file() {
#ifdef _WIN32
  std::wstring name(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
  if (length == 0 || length >= name.size()) return {};
  name.resize(length);
  return std::filesystem::path(name);
#elif defined(__linux__)
  std::error_code error;
  std::filesystem::path file = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : file;
#else
  return {};
#endif
}

}  // namespace

bool holds_tables(const std::filesystem::path& folder) {
  std::error_code error;
  for (std::string_view name : kTableFiles)
    if (!std::filesystem::is_regular_file(folder / name, error)) return false;
  return true;
}

// True when the program runs from the build tree it was built in: only then may it
// read the source tree's tables. An installed or copied program never does, since
// whoever can write that path on another machine would choose its tables.
bool in_build_tree(const std::filesystem::path& program) {
  std::error_code error;
  const std::filesystem::path build = std::filesystem::weakly_canonical(VELMORA_BUILD_TREE, error);
  if (error || program.empty()) return false;
  const std::filesystem::path relative = program.lexically_normal().lexically_relative(build);
  return !relative.empty() && *relative.begin() != "..";
}

std::vector<std::filesystem::path> table_folder_candidates() {
  std::vector<std::filesystem::path> folders{"."};
  const std::filesystem::path program = program_file();
  if (!program.empty()) {
    std::filesystem::path installed = (program.parent_path() / VELMORA_DATA_FROM_PROGRAM).lexically_normal();
    folders.push_back(installed.has_filename() ? installed : installed.parent_path());
  }
  if (in_build_tree(program)) folders.emplace_back(VELMORA_SOURCE_DATA);
  return folders;
}

std::optional<std::filesystem::path> find_table_folder() {
  for (const std::filesystem::path& folder : table_folder_candidates())
    if (holds_tables(folder)) return folder;
  return std::nullopt;
}

std::optional<std::filesystem::path> choose_table_folder(const std::string& given, std::string& why) {
  if (!given.empty()) return std::filesystem::path(given);
  // Some tables of the working directory, but not all: velmora would fail here, and
  // taking another folder's three would silently ignore the user's own.
  std::string present, missing;
  std::error_code error;
  for (std::string_view name : kTableFiles)
    (std::filesystem::exists(std::filesystem::path(name), error) ? present : missing)
        .append(" ")
        .append(name);
  if (!present.empty() && !missing.empty()) {
    why = "the working directory holds" + present + " but not" + missing +
          ": velmora run here would fail, and no other folder's tables are taken in their place"
          " (name the folder of all three with --tables DIR)";
    return std::nullopt;
  }
  if (auto found = find_table_folder()) return found;
  why = "velmora's tables are in none of";
  for (const std::filesystem::path& folder : table_folder_candidates())
    why.append(" ").append(folder.string());
  why += " (name their folder with --tables DIR)";
  return std::nullopt;
}

std::optional<TableFiles> read_table_files(const std::filesystem::path& folder,
                                           std::filesystem::path& unreadable) {
  TableFiles files;
  for (std::string_view name : kTableFiles) {
    const std::filesystem::path path = folder / name;
    // A device or a FIFO under a table's name could be read for ever.
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
      unreadable = path;
      return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (file) text << file.rdbuf();
    if (!file || file.bad()) {
      unreadable = path;
      return std::nullopt;
    }
    files.emplace(std::string(name), text.str());
  }
  return files;
}

std::string unreadable_table_text(const std::filesystem::path& unreadable) {
  std::error_code error;
  const auto status = std::filesystem::status(unreadable, error);
  return unreadable.string() + ": cannot read this table of velmora's" +
         (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)
              ? ": not a regular file"
              : " (name the folder of the tables with --tables DIR)");
}

}  // namespace velmora
