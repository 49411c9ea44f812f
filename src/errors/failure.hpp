// How the companion programs report a failure: as values (the file, its line,
// the answer of velmora's dialogue being read, the option, the reason), so that
// a caller (a program's entry point, a test, a Python module) reads where and
// why without parsing any message. One fail() ends a run with it.
#pragma once

#include <stdexcept>
#include <string>

#include "errors/escaping.hpp"

namespace velmora::frontend {

// What kind of fault ended the run, for a caller that acts on it: a
// malformed command line, a wrong option value, a file that cannot be read or
// written or whose content is refused, an answer of velmora's dialogue, one of
// velmora's tables, a CIF that cannot be converted, a powder run's own
// refusal, a structure given in values.
enum class FailureCode { refused, usage, option, file, answers, table, cif, powder, structure };

// The code as the module names it: "usage", "option", "file" ...
const char* failure_code_name(FailureCode code);

struct Failure {
  FailureCode code = FailureCode::refused;
  int os_error = 0;    // the system's error number when the system refused (ENOENT, EISDIR); 0: none
  std::string file;    // the file concerned, as it was named; empty: none
  long line = 0;       // the line of file, from 1; 0: the file as a whole
  std::string answer;  // the answer being read, such as "atom 2 of 2: type x y z occ Biso Mag"
  std::string option;  // the option concerned with its value, such as "--wavelength 0"
  std::string reason;  // what is wrong
  bool usage = false;  // the command line is malformed: the usage text belongs after the message
};

// The message of a failure: "FILE, line N (ANSWER): REASON", "OPTION: REASON"
// or the reason alone, each part only when it is set. Bytes are as given.
std::string failure_text(const Failure& failure);

// Where the failure is, as the message names it: "FILE, line N (ANSWER)" or
// "OPTION"; empty when no place is set.
std::string failure_place(const Failure& failure);

// A failure on its way to the entry point; what() is its message escaped
// (errors/escaping.hpp), so that no byte of it is lost or shown raw.
class Error : public std::runtime_error {
 public:
  explicit Error(Failure failure)
      : std::runtime_error(printable(failure_text(failure))), failure_(std::move(failure)) {}
  const Failure& failure() const { return failure_; }

 private:
  Failure failure_;
};

[[noreturn]] inline void fail(Failure failure) { throw Error(std::move(failure)); }

// A failure that only a reason describes.
[[noreturn]] inline void fail(const std::string& reason, FailureCode code = FailureCode::refused) {
  Failure failure;
  failure.code = code;
  failure.reason = reason;
  fail(std::move(failure));
}

// A wrong value of an option: "OPTION VALUE: REASON".
[[noreturn]] inline void fail_option(const std::string& option, const std::string& value,
                                     const std::string& reason) {
  Failure failure;
  failure.code = FailureCode::option;
  failure.option = value.empty() ? option : option + " " + value;
  failure.reason = reason;
  fail(std::move(failure));
}

// A failure of a named file: "FILE: REASON"; os_error when the system refused.
[[noreturn]] inline void fail_file(const std::string& file, const std::string& reason, int os_error = 0) {
  Failure failure;
  failure.code = FailureCode::file;
  failure.os_error = os_error;
  failure.file = file;
  failure.reason = reason;
  fail(std::move(failure));
}

}  // namespace velmora::frontend
