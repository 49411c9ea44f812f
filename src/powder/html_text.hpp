// Text made safe for where it stands in an HTML page. Labels, file names and
// warnings come from the user's files: in the page's text they must not open
// an element, and in the JSON of a <script> element they must not end it.
#pragma once

#include <string>
#include <string_view>

namespace velmora::powder {

// Text for an element's content or a quoted attribute: & < > " ' as character
// references, bytes that are no part of valid UTF-8 as _ (as the JSON writer
// has them), control characters but tab and line feed as U+FFFD.
std::string html_text(std::string_view text);

// A JSON string (json_text.hpp) that a <script> element holds as it is: < > &
// and the line separators U+2028 and U+2029, which a script reads as line
// ends, written as \u escapes, which JSON reads back as the same characters.
std::string script_json_string(std::string_view text);

}  // namespace velmora::powder
