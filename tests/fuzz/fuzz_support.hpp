// What every fuzz target checks about the way a run ended: a stop prints
// nothing on standard error and has status 0; a failure has status 2 and
// exactly the three diagnostic lines, a place line naming standard input or
// a data file, the no-trace line and a reason from the known set. Anything
// else (another status, another text, an exception other than RunEnded)
// aborts, which libFuzzer reports as a crash with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "console/console.hpp"
#include "console/run_end.hpp"

namespace velmora::fuzz {

[[noreturn]] inline void broken(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  if (!detail.empty()) std::fprintf(stderr, "%.*s\n", static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) broken(what, detail);
}

inline bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

inline bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// One of the reader's reasons, with its item number; or "End of file"; or,
// where a data file is opened, the system's text for a missing file.
inline bool known_reason(std::string_view reason, bool opening) {
  if (opening) return reason == std::strerror(ENOENT) || reason == std::strerror(EISDIR);
  if (reason == "End of file") return true;
  static const char* const kItemReasons[][2] = {
      {"Bad real number in item ", " of list input"},
      {"Bad infinity in item ", " of list input"},
      {"Bad not-a-number in item ", " of list input"},
      {"Bad integer for item ", " in list input"},
      {"Integer overflow while reading item ", ""},
      {"Zero repeat count in item ", " of list input"},
      {"Repeat count overflow in item ", " of list input"},
  };
  for (const auto& pair : kItemReasons) {
    std::string_view head = pair[0], tail = pair[1];
    if (reason.size() > head.size() + tail.size() && starts_with(reason, head) &&
        reason.substr(reason.size() - tail.size()) == tail &&
        all_digits(reason.substr(head.size(), reason.size() - head.size() - tail.size()))) {
      return true;
    }
  }
  static const char* const kKinds[] = {"INTEGER", "REAL", "CHARACTER"};
  for (const char* got : kKinds) {
    for (const char* due : kKinds) {
      std::string head = std::string("Read type ") + got + " where " + due + " was expected for item ";
      if (starts_with(reason, head) && all_digits(reason.substr(head.size()))) return true;
    }
  }
  return false;
}

// Checks the end of a run with the given status against what the console
// holds on standard error.
inline void check_ending(int status, const Console& console) {
  const std::string& err = console.err_text;
  if (status == 0) {
    check(err.empty(), "a stop wrote to standard error", err);
    return;
  }
  check(status == 2, "a run ended with a status other than 0 and 2");
  std::string_view rest = err;
  std::string_view lines[3];
  for (auto& line : lines) {
    std::size_t end = rest.find('\n');
    check(end != std::string_view::npos, "a diagnostic with fewer than three lines", err);
    line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
  }
  check(rest.empty(), "a diagnostic with more than three lines", err);

  std::string_view place = lines[0];
  check(starts_with(place, "At line "), "a place line without its line number", err);
  place.remove_prefix(8);
  std::size_t of = place.find(" of ");
  check(of != std::string_view::npos && all_digits(place.substr(0, of)), "a place line without its line number",
        err);
  place.remove_prefix(of + 4);
  std::size_t comma = place.find(", ");
  check(comma != std::string_view::npos && comma > 0, "a place line without its source name", err);
  place.remove_prefix(comma + 2);
  bool opening = false;
  if (place == "channel 5") {
  } else if (starts_with(place, "channel 1, file \"") || starts_with(place, "opening \"")) {
    opening = starts_with(place, "opening");
    check(place.back() == '"', "a place line whose file name is not quoted", err);
  } else {
    broken("a place line naming neither standard input nor a data file", err);
  }
  check(lines[1] == kNoTraceLine, "no no-trace line", err);
  std::string prefix = std::string(kReasonPrefix) + ": ";
  check(starts_with(lines[2], prefix), "a reason line without its prefix", err);
  check(known_reason(lines[2].substr(prefix.size()), opening), "an unknown reason", err);
}

}  // namespace velmora::fuzz
