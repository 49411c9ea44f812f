// Fuzz target: velmora-powder's command line and run inside the process (README.md gives the
// input's form). The run works in a scratch folder of its own, the files it reads written there
// and every output kept inside it; after each run the folder must hold no temporary file, and
// after a refusal nothing but what was put there.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/program.hpp"
#include "errors/failure.hpp"
#include "powder/powder_command_line.hpp"
#include "powder/powder_run.hpp"

namespace {

namespace fs = std::filesystem;

constexpr char kSeparator = '\x1e';
const char* const kInputs[] = {"answers.txt", "observed.xy"};

[[noreturn]] void found(const char* what, const std::string& detail) {
  std::fprintf(stderr, "fuzz check failed: %s\n%s\n", what, detail.c_str());
  std::abort();
}

std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

char scratch[] = "/tmp/velmora-fuzz-powder-XXXXXX";

void remove_scratch() {
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The scratch folder becomes the working directory; what the run prints goes nowhere.
  if (mkdtemp(scratch) == nullptr || chdir(scratch) != 0) found("no scratch folder", scratch);
  std::atexit(remove_scratch);
  if (std::freopen("/dev/null", "w", stdout) == nullptr) found("no /dev/null", "");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = rest.find(kSeparator);
  const std::string_view command = rest.substr(0, cut);
  rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
  std::vector<std::string> args;
  for (std::size_t from = 0; from <= command.size();) {
    const std::size_t end = std::min(command.find('\n', from), command.size());
    args.emplace_back(command.substr(from, end - from));
    from = end + 1;
  }
  bool tables = false;
  for (const std::string& arg : args) {
    // Every name stays inside the scratch folder.
    if (arg.find('/') != std::string::npos || arg.find('\0') != std::string::npos) return -1;
    tables = tables || arg.rfind("--tables", 0) == 0;
  }
  if (!tables) args.insert(args.end(), {"--tables", VELMORA_FUZZ_TABLES});

  const fs::path here = fs::current_path();
  for (const char* name : kInputs) {
    const std::size_t end = rest.find(kSeparator);
    std::ofstream(name, std::ios::binary) << rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  }
  const std::set<std::string> before = names_in(here);

  velmora::frontend::Remarks remarks;
  bool refused = false;
  try {
    using namespace velmora::powder;
    const auto line = velmora::frontend::parse_command_line(powder_program_spec(), args);
    if (!line.help && !line.version) run_powder(powder_options_of(line, remarks), remarks);
  } catch (const velmora::frontend::Error& e) {
    if (e.what()[0] == '\0') found("a refusal without a message", "");
    refused = true;
  } catch (const std::bad_alloc&) {
    refused = true;
  }
  const std::set<std::string> after = names_in(here);
  for (const std::string& name : after)
    if (name.front() == '.' && before.count(name) == 0) found("a temporary file left", name);
  if (refused && after != before) found("a refusal left files behind", *after.rbegin() + ", ...");
  for (const std::string& name : after) fs::remove_all(here / name);
  return 0;
}
