// How a run ends, seen from outside with standard output and standard error in one file: a failure
// prints its place line and the no-trace line, then the output still buffered, then the reason,
// and ends with status 2; a stop writes out the buffer, prints nothing itself and ends with
// status 0, unless standard output refuses the text, which is a failure on channel 6.
#include "console/run_end.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>

#include "console/console.hpp"
#include "console/free_form_reader.hpp"

namespace {

using velmora::Console;

const std::source_location kHere = std::source_location::current();

// Answers "abc"; one line written out, then one still buffered; then the ending. Standard output
// goes to `out` (else to the shared file). Gives the status and the shared file, with the line
// numbers of place lines written as N.
std::pair<int, std::string> run(const std::function<void(Console&)>& ending, std::FILE* out = nullptr,
                                bool terminal = false) {
  std::FILE* in = std::tmpfile();
  std::FILE* both = std::tmpfile();
  std::fputs("abc\n", in);
  std::rewind(in);
  int status = -1;
  {
    Console console(in, out != nullptr ? out : both, both, terminal);
    try {
      console.out.append("written");
      console.out.end_line();
      if (!terminal) console.out.flush();  // a terminal gets every line at once
      console.out.append("still buffered");
      console.out.end_line();
      ending(console);
    } catch (const velmora::RunEnded& ended) {
      status = ended.status;
    }
  }
  std::string text;
  std::rewind(both);
  for (int c; (c = std::fgetc(both)) != EOF;) text += static_cast<char>(c);
  std::fclose(in);
  std::fclose(both);
  return {status, std::regex_replace(text, std::regex("At line [0-9]+ of"), "At line N of")};
}

TEST(RunEnd, EachEndingShowsItsDiagnosticBetweenTheOutputAndTheReason) {
  const std::string here = "At line N of run_end_test.cpp, ", trace = "No call trace is available.\n";
  const std::string reason = "velmora run-time error: ", shown = "written\nstill buffered\n";
  EXPECT_EQ(run([](Console& c) {
              velmora::fail_run(c, {kHere, 0, "xray.txt", true}, "End of file");
            }),
            std::pair(2, "written\n" + here + "opening \"xray.txt\"\n" + trace + "still buffered\n" + reason +
                             "End of file\n"));
  // A prompt is written out before the read waits, so it comes before the diagnostic.
  std::int32_t natom = 0;
  EXPECT_EQ(
      run([&](Console& c) { velmora::read_free_form(c, c.in, {velmora::target(natom)}, kHere); }),
      std::pair(2, shown + here + "channel 5\n" + trace + reason + "Bad integer for item 1 in list input\n"));
  auto stop = [](Console& c) { velmora::stop_run(c); };
  EXPECT_EQ(run(stop), std::pair(0, shown));
  // Standard output that refuses the text must not end the run as a success; on a terminal,
  // where every line is written at once, the line that is refused fails the run.
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  const std::string refused = "channel 6\n" + trace + reason + std::strerror(ENOSPC) + "\n";
  EXPECT_EQ(run(stop, full), std::pair(2, "At line N of run_end.cpp, " + refused));
  EXPECT_EQ(run([](Console& c) { velmora::end_output_line(c, kHere); }, full, true),
            std::pair(2, here + refused));
  std::fclose(full);
}

}  // namespace
