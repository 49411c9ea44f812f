// Bytes of user input (file names, quoted lines) made safe to show. A message
// line must stay one line and must not drive the terminal: every control byte
// (C0, DEL, and C1 characters encoded in UTF-8) and every byte that is no part
// of valid UTF-8 is written as \xNN; all other text, accented names included,
// is kept. Every program prints its messages through printable().
#pragma once

#include <string>
#include <string_view>

namespace velmora::frontend {

// The text with each control byte and each byte of invalid UTF-8 written as \xNN.
// Its result has no such byte, so applying it twice changes nothing.
std::string printable(std::string_view text);

// The text as valid UTF-8 for a consumer that refuses anything else (a plot's
// title): each byte that is no part of valid UTF-8, and each control byte, becomes
// U+FFFD.
std::string valid_utf8(std::string_view text);

// The text as valid UTF-8 for a JSON string: each byte beyond ASCII that is no
// part of valid UTF-8 becomes _, as the answers write such a site label (control
// bytes are kept, for the JSON writer to escape).
std::string underscored_utf8(std::string_view text);

}  // namespace velmora::frontend
