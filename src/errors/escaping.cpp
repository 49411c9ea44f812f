// One pass over UTF-8 that finds, at each position, a valid sequence and its
// length, or a byte to escape; printable() and valid_utf8() differ only in what
// they write for such a byte.
#include "errors/escaping.hpp"

namespace velmora::frontend {
namespace {

// Length of the valid, non-control UTF-8 sequence starting at text[i], or 0.
// Overlong forms, surrogates and code points above U+10FFFF are invalid.
std::size_t sequence_length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return lead >= 0x20 && lead != 0x7f ? 1 : 0;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xbf) return 0;
  // U+0080 to U+009F are the C1 controls (CSI among them).
  if (lead == 0xc2 && byte(i + 1) <= 0x9f) return 0;
  return length;
}

template <typename Replace>
std::string rewrite(std::string_view text, Replace replace) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = sequence_length(text, i);
    if (length == 0) {
      replace(out, static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

}  // namespace

std::string printable(std::string_view text) {
  return rewrite(text, [](std::string& out, unsigned char c) {
    const char* hex = "0123456789abcdef";
    out += "\\x";
    out += hex[c >> 4];
    out += hex[c & 15];
  });
}

std::string valid_utf8(std::string_view text) {
  return rewrite(text, [](std::string& out, unsigned char) { out += "\xef\xbf\xbd"; });
}

std::string underscored_utf8(std::string_view text) {
  return rewrite(text,
                 [](std::string& out, unsigned char c) { out += c < 0x80 ? static_cast<char>(c) : '_'; });
}

}  // namespace velmora::frontend
