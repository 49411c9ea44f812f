// Free-form input: every answer of the dialogue and every row of the data
// files is read by these rules. A read fills an ordered list of targets
// (single-precision reals, 32-bit integers, fixed-length texts) from values
// separated by blanks, commas or line ends, with null values, a slash that
// ends the read early, and repeat counts r*value. Whatever is left on the
// last line of a read is discarded, so every read starts on a new line. A
// value that cannot be read, or input that ends too early, ends the run
// through fail_run with its reason and the item number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <source_location>
#include <span>
#include <string>

namespace velmora {

struct Console;
class InputSource;

enum class TargetKind { integer, real, text };

struct ReadTarget {
  TargetKind kind;
  std::int32_t* integer = nullptr;
  float* real = nullptr;
  std::span<char> text;  // filled completely: cut or padded with blanks
};

inline ReadTarget target(std::int32_t& value) { return {TargetKind::integer, &value, nullptr, {}}; }
inline ReadTarget target(float& value) { return {TargetKind::real, nullptr, &value, {}}; }
inline ReadTarget target(std::span<char> text) { return {TargetKind::text, nullptr, nullptr, text}; }
template <std::size_t N>
inline ReadTarget target(std::array<char, N>& text) {
  return target(std::span<char>(text));
}

// Repeat counts above this are rejected.
inline constexpr std::int64_t kMaxRepeatCount = 200000000;

void read_free_form(Console& console, InputSource& source, std::initializer_list<ReadTarget> targets,
                    std::source_location statement = std::source_location::current());
void read_free_form(Console& console, InputSource& source, std::span<const ReadTarget> targets,
                    std::source_location statement = std::source_location::current());

// The next whole line, cut to width characters or padded with blanks to it.
std::string read_fixed_text(Console& console, InputSource& source, int width,
                            std::source_location statement = std::source_location::current());

}  // namespace velmora
