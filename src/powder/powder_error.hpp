// How velmora-powder reports trouble: every error ends the run through
// fail_powder with the whole message (the file, option or reflection, and what
// is wrong); only the entry point catches it, prints it and exits with status
// 1, before any output file is in place. Notes and warnings do not stop the run.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::powder {

struct PowderError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] inline void fail_powder(const std::string& message) { throw PowderError(message); }

// Lines for standard error that do not stop the run, each with its kind
// ("note" or "warning").
struct Remarks {
  std::vector<std::string> lines;

  void note(const std::string& text) { lines.push_back("note: " + text); }
  void warn(const std::string& text) { lines.push_back("warning: " + text); }
};

}  // namespace velmora::powder
