// Rendering of a single-precision value in a fixed-point field of width w
// with d decimals: rounded exactly from the stored value with ties to the
// even digit, right-aligned, with the program's forms for values that do not
// fit (asterisks) and for not-a-number and the infinities.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Widths up to 15 and up to 5 decimals; the program uses widths 5 to 12.
std::string format_fixed_point(float value, int width, int decimals);

// An integer right-aligned in a field of width w, or w asterisks.
std::string format_integer_field(int value, int width);

// A text right-aligned in a field of width w, cut to its first w characters.
std::string format_text_field(std::string_view text, int width);

}  // namespace velmora
