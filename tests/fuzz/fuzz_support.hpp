// How a run may end (README.md); anything else aborts, which libFuzzer reports with the input.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <string_view>

#include "console/console.hpp"
#include "console/run_end.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora::fuzz {

inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// The reasons velmora's free-form reader gives.
inline const std::string kReaderReasons =
    "(End of file|Bad (real number|infinity|not-a-number) in item \\d+ of list input|Bad integer for item "
    "\\d+ in "
    "list input|Integer overflow while reading item \\d+|(Zero repeat count|Repeat count overflow) in item "
    "\\d+ of "
    "list input|Read type (INTEGER|REAL|CHARACTER) where (INTEGER|REAL|CHARACTER) was expected for item "
    "\\d+)";

inline void check_ending(int status, const Console& console) {
  const std::string& err = console.err_text;
  if (status == kStatusNormalEnd || status == kStatusOwnError)
    return check(err.empty(), "a stop wrote to standard error", err);
  check(status == kStatusFailure, "a run ended with a status other than 0, 1 and 2");
  static const std::string tail = "\n" + std::string(kNoTraceLine) + "\n" + std::string(kReasonPrefix) + ": ";
  static const std::regex diagnostic("At line \\d+ of [^,\\n]+, (channel 5|channel 1, file \"[^\\n]*\")" +
                                     tail + kReaderReasons + "\\n" +
                                     "|At line \\d+ of [^,\\n]+, opening \"[^\\n]*\"" + tail + "(" +
                                     std::strerror(ENOENT) + "|" + std::strerror(EISDIR) + ")\\n");
  check(std::regex_match(err, diagnostic), "not a diagnostic of the known form", err);
}

// The tables read with the rows after velmora's (as the companions read them): velmora's stop,
// or a failure with a known reason; a success keeps velmora's own rows bit for bit as velmora
// reads them.
inline void check_rows_beyond(Console& console) {
  auto own = std::make_unique<ScatteringTables>(), all = std::make_unique<ScatteringTables>();
  Console plain("");
  plain.data_files = console.data_files;
  try {
    load_scattering_tables(console, *all, true);
  } catch (const RunEnded& end) {
    if (end.status != kStatusFailure) return;  // velmora's own stop on labels that differ
    static const std::regex known(
        kReaderReasons + "|" + std::strerror(ENOENT) + "|" + std::strerror(EISDIR) +
        "|label \".*\" (is longer than three characters|repeats row \\d+ .*)|more rows than the \\d+ the "
        "companions hold|row .* has (\\d+ numbers, not 9|no length)|\".*\" is not a finite number|ends at "
        "row "
        "\\d+, the X-ray table at row \\d+ .*|row \\d+ is labelled .*");
    check(console.failure.has_value(), "a failure without its place");
    check(std::regex_match(console.failure->reason, known), "an unknown reason", console.failure->reason);
    return;
  }
  try {
    load_scattering_tables(plain, *own);
  } catch (const RunEnded&) {
    check(false, "velmora refuses tables the companions read");
  }
  check(all->nuclear_rows >= kXrayRows && all->nuclear_rows <= static_cast<int>(all->neutron.size()),
        "rows beyond the tables' room");
  for (int r = 0; r < kXrayRows; ++r) {
    const auto bits_equal = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    check(own->xray[r].ion == all->xray[r].ion && bits_equal(own->xray[r].xsf, all->xray[r].xsf) &&
              own->neutron[r].nion == all->neutron[r].nion &&
              bits_equal(own->neutron[r].bcoh, all->neutron[r].bcoh),
          "velmora's rows read differently by the companions");
  }
}

}  // namespace velmora::fuzz
