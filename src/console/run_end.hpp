// The two ways a run ends. stop_run is the normal end (exit status 0) and the
// stop right after one of the program's own error messages (exit status 1:
// nothing was computed, so a script must not take it for success). fail_run
// is the end after a failed open or read: a diagnostic on standard error
// naming the place and the reason, exit status 2. Both write out buffered standard output first and end
// the run by throwing RunEnded, which only the entry point catches, so the
// whole run can also be driven inside one process (tests, fuzzing).
#pragma once

#include <source_location>
#include <string>
#include <string_view>

namespace velmora {

struct Console;

struct RunEnded {
  int status;
};

// The exit statuses of a run.
inline constexpr int kStatusNormalEnd = 0;
inline constexpr int kStatusOwnError = 1;  // stop after the program's own error message
inline constexpr int kStatusFailure = 2;   // failed open, read or write

enum class StopKind { normal_end, own_error };

// Where a failing operation stands: its statement in the program's source and
// the channel it was working on (with the data file's name for channel 1).
struct FailurePlace {
  std::source_location statement;
  int channel = 0;
  std::string file_name;  // data file, for channel 1 and for openings
  bool opening = false;   // the failure was the opening of file_name
  long line = 0;          // the line of the input being read, from 1; 0: none
};

[[noreturn]] void stop_run(Console& console, StopKind kind = StopKind::normal_end);
[[noreturn]] void fail_run(Console& console, const FailurePlace& place, std::string_view reason);

// Ends the line being printed; a refused write of standard output fails the
// run (channel 6) rather than letting it end as a success.
void end_output_line(Console& console, std::source_location statement);

// The diagnostic's three lines, without line ends, for tests.
std::string place_line(const FailurePlace& place);
inline constexpr std::string_view kNoTraceLine = "No call trace is available.";
inline constexpr std::string_view kReasonPrefix = "velmora run-time error";

}  // namespace velmora
