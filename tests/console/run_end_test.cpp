// How a run ends, seen from outside: with standard output and standard error
// going to one and the same file, a failure shows its place line, the
// no-trace line, then the output that was still buffered, then the reason
// line, and ends with status 2; a stop writes out the buffer, prints nothing
// itself and ends with status 0 unless standard output refuses the text.
#include "console/run_end.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <source_location>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/free_form_reader.hpp"

namespace {

using velmora::Console;
using velmora::FailurePlace;
using velmora::RunEnded;

const std::string kReason = std::string(velmora::kReasonPrefix) + ": ";
const std::string kNoTrace(velmora::kNoTraceLine);
const std::string kThisFile = "run_end_test.cpp";

std::string contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
  return text;
}

// A console whose standard output and standard error share one temporary
// file, as a terminal or a redirection "> all 2>&1" would show them.
struct SharedFileConsole {
  std::FILE* in = std::tmpfile();
  std::FILE* both = std::tmpfile();
  Console console{in, both, both, false};
  ~SharedFileConsole() {
    std::fclose(in);
    std::fclose(both);
  }
};

// Runs the ending and returns its status; -1 when it came back.
template <typename Ending>
int status_of(Ending&& ending) {
  try {
    ending();
  } catch (const RunEnded& end) {
    return end.status;
  }
  return -1;
}

FailurePlace place_at(std::source_location statement, int channel, std::string file_name = {},
                      bool opening = false) {
  return FailurePlace{statement, channel, std::move(file_name), opening};
}

TEST(FailRun, BufferedOutputComesBetweenTheNoTraceLineAndTheReason) {
  SharedFileConsole run;
  ASSERT_NE(run.both, nullptr);
  run.console.out.append("already written");
  run.console.out.end_line();
  ASSERT_TRUE(run.console.out.flush());
  run.console.out.append("still buffered 1");
  run.console.out.end_line();
  run.console.out.append("still buffered 2");
  run.console.out.end_line();
  const auto statement = std::source_location::current();
  int status = status_of([&] { velmora::fail_run(run.console, place_at(statement, 5), "End of file"); });
  EXPECT_EQ(status, 2);
  EXPECT_EQ(contents(run.both),
            "already written\n"
            "At line " +
                std::to_string(statement.line()) + " of " + kThisFile + ", channel 5\n" + kNoTrace +
                "\n"
                "still buffered 1\n"
                "still buffered 2\n" +
                kReason + "End of file\n");
}

TEST(FailRun, WithNothingBufferedTheReasonFollowsTheNoTraceLine) {
  SharedFileConsole run;
  const auto statement = std::source_location::current();
  int status = status_of([&] {
    velmora::fail_run(run.console, place_at(statement, 5), "Bad real number in item 3 of list input");
  });
  EXPECT_EQ(status, 2);
  EXPECT_EQ(contents(run.both), "At line " + std::to_string(statement.line()) + " of " + kThisFile +
                                    ", channel 5\n" + kNoTrace + "\n" + kReason +
                                    "Bad real number in item 3 of list input\n");
}

TEST(FailRun, PlaceLineNamesTheChannelAndTheFile) {
  const auto statement = std::source_location::current();
  const std::string at = "At line " + std::to_string(statement.line()) + " of " + kThisFile;
  struct Case {
    FailurePlace place;
    std::string line;
  };
  const std::vector<Case> cases = {
      {place_at(statement, 5), at + ", channel 5"},
      {place_at(statement, 1, "neutron_bcoh_from_international_tables_edited.txt"),
       at + ", channel 1, file \"neutron_bcoh_from_international_tables_edited.txt\""},
      {place_at(statement, 0, "x-ray_coefficients_from_int_tables_edited.txt", true),
       at + ", opening \"x-ray_coefficients_from_int_tables_edited.txt\""},
      {place_at(statement, 6), at + ", channel 6"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(velmora::place_line(c.place), c.line);
    SharedFileConsole run;
    run.console.out.append("table loaded");
    run.console.out.end_line();
    int status = status_of([&] { velmora::fail_run(run.console, c.place, "End of file"); });
    EXPECT_EQ(status, 2);
    EXPECT_EQ(contents(run.both), c.line + "\n" + kNoTrace + "\ntable loaded\n" + kReason + "End of file\n");
  }
}

TEST(FailRun, MissingFileReasonIsTheSystemText) {
  SharedFileConsole run;
  const auto statement = std::source_location::current();
  int status = status_of([&] {
    velmora::fail_run(run.console, place_at(statement, 0, "missing.txt", true), std::strerror(ENOENT));
  });
  EXPECT_EQ(status, 2);
  std::string text = contents(run.both);
  EXPECT_NE(text.find(", opening \"missing.txt\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find(kReason + "No such file or directory\n"), std::string::npos) << text;
}

TEST(FailRun, MemoryConsoleKeepsTheDiagnosticApartFromTheOutput) {
  Console console("", "\n");
  console.out.append("prompt");
  console.out.end_line();
  const auto statement = std::source_location::current();
  int status = status_of([&] { velmora::fail_run(console, place_at(statement, 5), "End of file"); });
  EXPECT_EQ(status, 2);
  EXPECT_EQ(console.out.kept_text(), "prompt\n");
  EXPECT_EQ(console.err_text, "At line " + std::to_string(statement.line()) + " of " + kThisFile +
                                  ", channel 5\n" + kNoTrace + "\n" + kReason + "End of file\n");
}

// A prompt is written out before the read waits, so it comes before the
// diagnostic of a failed answer.
TEST(FailRun, PromptOfAFailedReadComesBeforeTheDiagnostic) {
  SharedFileConsole run;
  std::fputs("abc\n", run.in);
  std::rewind(run.in);
  run.console.out.append(" Give the number of atoms");
  run.console.out.end_line();
  std::int32_t natom = 0;
  int status =
      status_of([&] { velmora::read_free_form(run.console, run.console.in, {velmora::target(natom)}); });
  EXPECT_EQ(status, 2);
  std::string text = contents(run.both);
  std::size_t prompt = text.find(" Give the number of atoms\n");
  std::size_t place = text.find("At line ");
  ASSERT_NE(prompt, std::string::npos) << text;
  ASSERT_NE(place, std::string::npos) << text;
  EXPECT_LT(prompt, place);
  EXPECT_NE(text.find(", channel 5\n" + kNoTrace + "\n" + kReason + "Bad integer for item 1 in list input\n"),
            std::string::npos)
      << text;
}

TEST(StopRun, WritesOutTheBufferAndPrintsNothingItself) {
  SharedFileConsole run;
  run.console.out.append("Atom symbol Xxx not found");
  run.console.out.end_line();
  int status = status_of([&] { velmora::stop_run(run.console); });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(contents(run.both), "Atom symbol Xxx not found\n");
}

TEST(StopRun, WithNothingPrintedLeavesBothStreamsEmpty) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  {
    Console console(in, out, err, true);
    EXPECT_EQ(status_of([&] { velmora::stop_run(console); }), 0);
  }
  EXPECT_EQ(contents(out), "");
  EXPECT_EQ(contents(err), "");
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
}

// Standard output that refuses the text must not end the run as a success.
struct RefusingOutput {
  std::string name;
  std::string path;
  const char* mode;
  int error;
};

std::vector<RefusingOutput> refusing_outputs() {
  std::vector<RefusingOutput> outputs = {{"ReadOnlyStream", "/dev/null", "r", EBADF}};
  if (std::filesystem::exists("/dev/full")) outputs.push_back({"FullDevice", "/dev/full", "w", ENOSPC});
  return outputs;
}

void PrintTo(const RefusingOutput& output, std::ostream* os) { *os << output.name; }

class RefusedOutput : public testing::TestWithParam<RefusingOutput> {};

TEST_P(RefusedOutput, StopRunEndsWithStatus2) {
  const RefusingOutput& output = GetParam();
  std::FILE* in = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::FILE* out = std::fopen(output.path.c_str(), output.mode);
  ASSERT_NE(out, nullptr);
  {
    Console console(in, out, err, false);
    console.out.append("last line of the report");
    console.out.end_line();
    EXPECT_EQ(status_of([&] { velmora::stop_run(console); }), 2);
  }
  std::string text = contents(err);
  EXPECT_NE(text.find(", channel 6\n" + kNoTrace + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find(kReason + std::strerror(output.error) + "\n"), std::string::npos) << text;
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
}

TEST_P(RefusedOutput, LineWrittenToATerminalFailsAtOnce) {
  const RefusingOutput& output = GetParam();
  std::FILE* in = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::FILE* out = std::fopen(output.path.c_str(), output.mode);
  ASSERT_NE(out, nullptr);
  {
    Console console(in, out, err, true);  // a terminal: every line is written at once
    console.out.append("banner");
    const auto statement = std::source_location::current();
    EXPECT_EQ(status_of([&] { velmora::end_output_line(console, statement); }), 2);
    std::string text = contents(err);
    EXPECT_NE(text.find("At line " + std::to_string(statement.line()) + " of " + kThisFile + ", channel 6\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(kReason + std::strerror(output.error) + "\n"), std::string::npos) << text;
  }
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
}

INSTANTIATE_TEST_SUITE_P(StandardOutput, RefusedOutput, testing::ValuesIn(refusing_outputs()),
                         [](const testing::TestParamInfo<RefusingOutput>& info) { return info.param.name; });

}  // namespace
