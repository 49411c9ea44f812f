// Fixed-layout output lines: the rows of the cell geometry and the header and
// rows of the reflection report. Each value fills a field of fixed width;
// fields touch, and the line has no leading blank.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <source_location>
#include <string_view>

namespace velmora {

struct Console;

struct FieldFormat {
  enum class Kind { integer, fixed_point, text } kind;
  int width;  // at most kMaxFieldWidth
  int decimals = 0;
};

inline constexpr FieldFormat integer_field(int width) { return {FieldFormat::Kind::integer, width, 0}; }
inline constexpr FieldFormat fixed_field(int width, int decimals) {
  return {FieldFormat::Kind::fixed_point, width, decimals};
}
inline constexpr FieldFormat text_field(int width) { return {FieldFormat::Kind::text, width, 0}; }

// One value of a fixed-layout line; its kind must match its field's.
struct FieldValue {
  std::int32_t integer = 0;
  float real = 0.0f;
  std::string_view text;

  FieldValue(std::int32_t i) : integer(i) {}
  FieldValue(float r) : real(r) {}
  FieldValue(std::string_view t) : text(t) {}
  FieldValue(const char* t) : text(t) {}
};

// Pairs values with fields from the left; when the values run out the line
// ends there.
void write_fixed_layout(Console& console, std::initializer_list<FieldFormat> fields,
                        std::initializer_list<FieldValue> values,
                        std::source_location statement = std::source_location::current());

}  // namespace velmora
