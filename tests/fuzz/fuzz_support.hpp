// How a run may end (README.md); anything else aborts, which libFuzzer reports with the input.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <string_view>

#include "console/console.hpp"
#include "console/run_end.hpp"

namespace velmora::fuzz {

inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline void check_ending(int status, const Console& console) {
  const std::string& err = console.err_text;
  if (status == kStatusNormalEnd || status == kStatusOwnError)
    return check(err.empty(), "a stop wrote to standard error", err);
  check(status == kStatusFailure, "a run ended with a status other than 0, 1 and 2");
  static const std::string tail = "\n" + std::string(kNoTraceLine) + "\n" + std::string(kReasonPrefix) + ": ";
  static const std::regex diagnostic(
      "At line \\d+ of [^,\\n]+, (channel 5|channel 1, file \"[^\\n]*\")" + tail +
      "(End of file|Bad (real number|infinity|not-a-number) in item \\d+ of list input|Bad integer for item \\d+ in "
      "list input|Integer overflow while reading item \\d+|(Zero repeat count|Repeat count overflow) in item \\d+ of "
      "list input|Read type (INTEGER|REAL|CHARACTER) where (INTEGER|REAL|CHARACTER) was expected for item \\d+)\\n"
      "|At line \\d+ of [^,\\n]+, opening \"[^\\n]*\"" + tail + "(" + std::strerror(ENOENT) + "|" +
      std::strerror(EISDIR) + ")\\n");
  check(std::regex_match(err, diagnostic), "not a diagnostic of the known form", err);
}

}  // namespace velmora::fuzz
