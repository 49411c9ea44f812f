// Free-form output lines: prompts, progress messages, echoes, counts, the
// cell volumes and the program's own messages. A line starts with one blank;
// items follow with one blank between them, except that two texts in a row
// touch. Reals print with their shortest digits (see format_free_real).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <source_location>
#include <string>
#include <string_view>

namespace velmora {

struct Console;

struct FreeItem {
  enum class Kind { text, integer, real } kind;
  std::string_view text;
  std::int32_t integer = 0;
  float real = 0.0f;

  FreeItem(std::string_view t) : kind(Kind::text), text(t) {}
  FreeItem(const char* t) : kind(Kind::text), text(t) {}
  FreeItem(std::int32_t i) : kind(Kind::integer), integer(i) {}
  FreeItem(float r) : kind(Kind::real), real(r) {}
};

// A refused write of standard output ends the run through fail_run.
void write_free_form(Console& console, std::initializer_list<FreeItem> items,
                     std::source_location statement = std::source_location::current());

// A single-precision value as a free-form item: NaN, +Inf, -Inf, or its
// shortest digits laid out plainly for decimal exponents -6 to 6 (1., 0.1,
// 123456.7) and with an exponent beyond them (1.E+7, 9.9E-7).
std::string format_free_real(float value);

}  // namespace velmora
