// Ending a run: the only place where an exit status is decided.
#include "console/run_end.hpp"

#include <cstring>
#include <string>

#include "console/console.hpp"

namespace velmora {
namespace {

std::string_view base_name(std::string_view path) {
  std::size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::string place_line(const FailurePlace& place) {
  std::string line = "At line ";
  line += std::to_string(place.statement.line());
  line += " of ";
  line += base_name(place.statement.file_name());
  if (place.opening) {
    line += ", opening \"" + place.file_name + "\"";
  } else {
    line += ", channel " + std::to_string(place.channel);
    if (!place.file_name.empty()) line += ", file \"" + place.file_name + "\"";
  }
  return line;
}

namespace {
[[noreturn]] void fail_output(Console& console, std::source_location statement) {
  FailurePlace place{statement, kStandardOutputChannel, {}, false};
  fail_run(console, place, std::strerror(console.out.write_error()));
}
}  // namespace

void end_output_line(Console& console, std::source_location statement) {
  console.out.end_line();
  if (console.out.write_error() != 0) fail_output(console, statement);
}

void stop_run(Console& console, StopKind kind) {
  if (!console.out.flush()) fail_output(console, std::source_location::current());
  throw RunEnded{kind == StopKind::own_error ? kStatusOwnError : kStatusNormalEnd};
}

void fail_run(Console& console, const FailurePlace& place, std::string_view reason) {
  console.failure =
      RunFailure{std::string(reason), place.channel, place.file_name, place.opening, place.line};
  std::string eol(kLineEnd);
  console.write_err(place_line(place) + eol);
  console.write_err(std::string(kNoTraceLine) + eol);
  console.out.flush();
  console.write_err(std::string(kReasonPrefix) + ": " + std::string(reason) + eol);
  throw RunEnded{kStatusFailure};
}

}  // namespace velmora
