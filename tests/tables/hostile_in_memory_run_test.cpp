// Whole runs inside the process, with the data files held by the console
// instead of the working directory, as the whole-run fuzz target makes them.
// Every end-to-end case that runs on the synthetic tables (left whole, left
// out, or with CR LF line ends) must give, in memory, exactly the output,
// diagnostic and status that the case expects from the program itself; and
// a run from memory must never look at the working directory.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "console/console.hpp"
#include "app/run.hpp"
#include "tables/scattering_tables.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path kE2e = fs::path(__FILE__).parent_path().parent_path() / "e2e";

std::optional<std::string> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
};

using Files = std::map<std::string, std::string, std::less<>>;

Outcome run_in_memory(std::string answers, Files files) {
  velmora::Console console(std::move(answers));
  console.data_files = std::move(files);
  Outcome outcome;
  outcome.status = velmora::run_velmora(console);
  outcome.out = console.out.kept_text();
  outcome.err = std::regex_replace(console.err_text, std::regex("At line [0-9]+ of "), "At line N of ");
  return outcome;
}

Files synthetic_tables(bool crlf_ends) {
  Files files;
  for (std::string_view name :
       {velmora::kXrayFileName, velmora::kNeutronFileName, velmora::kMagneticFileName}) {
    std::string text = read_file(kE2e / "tables" / name).value();
    files.emplace(std::string(name), crlf_ends ? crlf(text) : text);
  }
  return files;
}

// The cases this test can set up: no case.json, or one that only leaves files
// out or asks for CR LF line ends. Their case.json files are one line of
// JSON, matched here by the texts they hold.
struct Case {
  fs::path folder;
  std::vector<std::string_view> missing;
  bool crlf_tables = false;
  bool crlf_stdin = false;
};

std::vector<Case> runnable_cases() {
  std::vector<Case> cases;
  const std::regex simple(R"(\{\s*("missing":\s*\[[a-z", ]*\]|"crlf_tables":\s*true|"crlf_stdin":\s*true)(\s*,\s*("crlf_tables":\s*true|"crlf_stdin":\s*true))*\s*\}\s*)");
  for (const auto& entry : fs::directory_iterator(kE2e / "cases")) {
    const fs::path folder = entry.path();
    if (!entry.is_directory() || fs::exists(folder / "generate.py")) continue;
    Case c{folder, {}, false, false};
    if (auto setup = read_file(folder / "case.json")) {
      if (!std::regex_match(*setup, simple)) continue;
      c.crlf_tables = setup->find("\"crlf_tables\"") != std::string::npos;
      c.crlf_stdin = setup->find("\"crlf_stdin\"") != std::string::npos;
      if (setup->find("\"xray\"") != std::string::npos) c.missing.push_back(velmora::kXrayFileName);
      if (setup->find("\"neutron\"") != std::string::npos) c.missing.push_back(velmora::kNeutronFileName);
      if (setup->find("\"magnetic\"") != std::string::npos) c.missing.push_back(velmora::kMagneticFileName);
    }
    cases.push_back(c);
  }
  return cases;
}

TEST(InMemoryRun, EveryCaseOnTheSyntheticTablesEndsAsTheProgramDoes) {
  const std::vector<Case> cases = runnable_cases();
  ASSERT_GE(cases.size(), 80u) << "the end-to-end cases were not found under " << kE2e;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder.filename().string());
    Files files = synthetic_tables(c.crlf_tables);
    for (std::string_view name : c.missing) files.erase(files.find(name));
    std::string answers = read_file(c.folder / "stdin.txt").value_or("");
    if (c.crlf_stdin) answers = crlf(answers);
    Outcome outcome = run_in_memory(answers, std::move(files));
    EXPECT_EQ(outcome.out, read_file(c.folder / "expected_stdout.txt").value_or(""));
    EXPECT_EQ(outcome.err, read_file(c.folder / "expected_stderr.txt").value_or(""));
    EXPECT_EQ(outcome.status, std::stoi(read_file(c.folder / "expected_status").value_or("0")));
  }
}

TEST(InMemoryRun, NeverLooksAtTheWorkingDirectory) {
  // The working directory holds a folder under the X-ray file's name (which
  // the program refuses as a directory) and garbage under the others; the
  // run from memory reads none of them.
  const fs::path work = fs::temp_directory_path() / ("velmora-hostile-" + std::to_string(::getpid()));
  fs::create_directories(work / velmora::kXrayFileName);
  std::ofstream(work / velmora::kNeutronFileName) << "garbage\n";
  const fs::path before = fs::current_path();
  fs::current_path(work);
  Outcome outcome = run_in_memory("5 5 5 90 90 90\n0\n0\n", synthetic_tables(false));
  fs::current_path(before);
  fs::remove_all(work);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out.substr(0, 38), " Reading X-ray scattering coefficients");
}

TEST(InMemoryRun, AFileMissingFromMemoryFailsAsAMissingFile) {
  Files files = synthetic_tables(false);
  files.erase(files.find(velmora::kNeutronFileName));
  Outcome outcome = run_in_memory("", std::move(files));
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, " Reading X-ray scattering coefficients\n");
  EXPECT_EQ(outcome.err, "At line N of scattering_tables.cpp, opening \"" + std::string(velmora::kNeutronFileName) +
                             "\"\nNo call trace is available.\nvelmora run-time error: " + std::strerror(ENOENT) +
                             "\n");
}

}  // namespace
