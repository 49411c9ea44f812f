// How a conversion reports trouble. Every error ends it through fail_conversion,
// which carries the whole message (the file and the line or item, and what is
// wrong); only the entry point catches it, prints it and exits with status 1.
// Warnings do not stop the conversion: they are collected, each once, and
// printed by the entry point before the answers are written.
#pragma once

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::cif {

struct ConversionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] inline void fail_conversion(const std::string& message) { throw ConversionError(message); }

struct Warnings {
  std::vector<std::string> lines;

  void add(const std::string& line) {
    if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
  }
};

}  // namespace velmora::cif
