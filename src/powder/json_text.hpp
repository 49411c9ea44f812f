// Strings and numbers as velmora-powder's JSON writes them (the fit report,
// the HTML report's data): a string in valid UTF-8, each byte that is no part
// of it written _ as the answers write such a site label, quotes, backslashes
// and control bytes escaped; a number in the shortest digits that read back
// as the same value, or null where it is not finite.
#pragma once

#include <string>
#include <string_view>

namespace velmora::powder {

std::string json_string(std::string_view text);

std::string json_number(double value);
std::string json_number(float value);

}  // namespace velmora::powder
