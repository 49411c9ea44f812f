// A number as the companions write it in their files and messages: the fewest
// digits that read back as the same value (a float as the float, so a file
// holds exactly what was computed; a double as given on a command line).
// velmora's own console output has its printer (shortest_digits.hpp, the
// free-form layout); this is the plain text of the C++ library.
#pragma once

#include <charconv>
#include <string>
#include <type_traits>

namespace velmora {

// The one writer of such numbers, for float and double alike.
template <typename Real>
std::string shortest_text(Real value) {
  static_assert(std::is_floating_point_v<Real>);
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace velmora
