// Rendering of a single-precision value in a fixed-point field of width w
// with d decimals: rounded exactly from the stored value with ties to the
// even digit, right-aligned, with the program's forms for values that do not
// fit (asterisks) and for not-a-number and the infinities. Each function
// writes exactly width characters to field and nothing else.
#pragma once

#include <string_view>

namespace velmora {

// The widest field any of these writes.
inline constexpr int kMaxFieldWidth = 15;

// Widths up to 15 and 1 to 5 decimals; the program uses widths 5 to 12.
void put_fixed_point(char* field, float value, int width, int decimals);

// An integer right-aligned in a field of width w, or w asterisks.
void put_integer_field(char* field, int value, int width);

// A text right-aligned in a field of width w, cut to its first w characters.
void put_text_field(char* field, std::string_view text, int width);

}  // namespace velmora
