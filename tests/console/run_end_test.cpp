// How a run ends, seen from outside with standard output and standard error in one file: a failure
// prints its place line, the no-trace line, then the output still buffered, then the reason, and
// ends with status 2; a stop writes out the buffer, prints nothing itself and ends with status 0,
// unless standard output refuses the text, which is a failure on channel 6.
#include "console/run_end.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "console/console.hpp"
#include "console/free_form_reader.hpp"

namespace {

using velmora::Console;

const std::string kNoTrace = "No call trace is available.\n";

std::string contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

// Standard input holding `answers`; standard output (`out`, else the shared file) and standard
// error on one temporary file. `end` ends the run; returns its status and the shared file.
template <typename End>
std::pair<int, std::string> run(const char* answers, End end, std::FILE* out = nullptr,
                                bool terminal = false) {
  std::FILE* in = std::tmpfile();
  std::FILE* both = std::tmpfile();
  std::fputs(answers, in);
  std::rewind(in);
  int status = -1;
  {
    Console console(in, out != nullptr ? out : both, both, terminal);
    try {
      end(console);
    } catch (const velmora::RunEnded& ended) {
      status = ended.status;
    }
  }
  std::string text = contents(both);
  std::fclose(in);
  std::fclose(both);
  return {status, text};
}

const std::source_location kHere = std::source_location::current();
const std::string kAt = "At line " + std::to_string(kHere.line()) + " of run_end_test.cpp, ";

TEST(FailRun, DiagnosticFramesTheOutputStillBuffered) {
  const std::pair<velmora::FailurePlace, std::string> places[] = {
      {{kHere, 5, "", false}, "channel 5"},
      {{kHere, 1, "neutron_table.txt", false}, "channel 1, file \"neutron_table.txt\""},
      {{kHere, 0, "xray_table.txt", true}, "opening \"xray_table.txt\""},
  };
  for (const auto& [place, where] : places) {
    EXPECT_EQ(run("",
                  [&](Console& console) {
                    console.out.append("written");
                    console.out.end_line();
                    console.out.flush();
                    console.out.append("still buffered");
                    console.out.end_line();
                    velmora::fail_run(console, place, "End of file");
                  }),
              std::pair(2, "written\n" + kAt + where + "\n" + kNoTrace + "still buffered\n" +
                               "velmora run-time error: End of file\n"));
  }
}

// A prompt is written out before the read waits, so it comes before the diagnostic.
TEST(FailRun, PromptOfAFailedReadComesFirst) {
  std::int32_t natom = 0;
  EXPECT_EQ(run("abc\n",
                [&](Console& console) {
                  console.out.append(" Give the number of atoms");
                  console.out.end_line();
                  velmora::read_free_form(console, console.in, {velmora::target(natom)}, kHere);
                }),
            std::pair(2, " Give the number of atoms\n" + kAt + "channel 5\n" + kNoTrace +
                             "velmora run-time error: Bad integer for item 1 in list input\n"));
}

TEST(StopRun, WritesOutTheBufferAndNothingElse) {
  for (std::string text : {"", "Atom symbol Xxx not found\n"}) {
    EXPECT_EQ(run("",
                  [&](Console& console) {
                    if (!text.empty())
                      console.out.append(text.substr(0, text.size() - 1)), console.out.end_line();
                    velmora::stop_run(console);
                  }),
              std::pair(0, text));
  }
}

// Standard output that refuses the text (a stream open for reading, a full device) must not end
// the run as a success, whether the refusal comes at the end or at once on a terminal.
TEST(StopRun, RefusedOutputFailsOnChannel6) {
  std::vector<std::pair<std::FILE*, int>> outputs = {{std::fopen("/dev/null", "r"), EBADF}};
  if (std::filesystem::exists("/dev/full")) outputs.emplace_back(std::fopen("/dev/full", "w"), ENOSPC);
  for (auto [out, error] : outputs) {
    ASSERT_NE(out, nullptr);
    const std::string failure = kNoTrace + "velmora run-time error: " + std::strerror(error) + "\n";
    auto [status, text] = run(
        "",
        [](Console& console) {
          console.out.append("last line of the report");
          console.out.end_line();
          velmora::stop_run(console);
        },
        out);
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(text.starts_with("At line ") && text.ends_with(", channel 6\n" + failure)) << text;
    EXPECT_EQ(run(
                  "",
                  [](Console& console) {
                    console.out.append("banner");
                    velmora::end_output_line(console, kHere);
                  },
                  out, true),
              std::pair(2, kAt + "channel 6\n" + failure));
    std::fclose(out);
  }
}

}  // namespace
