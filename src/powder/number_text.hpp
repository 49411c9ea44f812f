// Numbers as velmora-powder writes them in its files and messages: a stored
// single-precision value in the fewest digits that read back as the same
// float (so a CSV file holds exactly what was computed), and h k l as a triple.
#pragma once

#include <cstdio>
#include <string>

#include "numbers/shortest_text.hpp"
#include "structure/structure.hpp"

namespace velmora::powder {

// A limit as a person writes it (0.0001, 1000).
inline std::string limit_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

inline std::string hkl_text(const Reflection& h) {
  return shortest_text(h[0]) + " " + shortest_text(h[1]) + " " + shortest_text(h[2]);
}

}  // namespace velmora::powder
