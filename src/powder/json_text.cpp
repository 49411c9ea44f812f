// One writer of JSON strings and numbers for every JSON file velmora-powder writes.
#include "powder/json_text.hpp"

#include <cmath>
#include <cstdio>

#include "errors/escaping.hpp"
#include "numbers/shortest_text.hpp"

namespace velmora::powder {

std::string json_string(std::string_view given) {
  std::string out = "\"";
  for (const char c : frontend::underscored_utf8(given)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string json_number(double value) { return std::isfinite(value) ? shortest_text(value) : "null"; }

std::string json_number(float value) { return std::isfinite(value) ? shortest_text(value) : "null"; }

}  // namespace velmora::powder
