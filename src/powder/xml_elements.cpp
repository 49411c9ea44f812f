// The document is read in one pass over its bytes with a stack of the open
// elements; nothing recurses, so a deep document cannot exhaust the stack.
#include "powder/xml_elements.hpp"

#include <algorithm>
#include <charconv>

#include "powder/powder_error.hpp"

namespace velmora::powder {
namespace {

// An instrument's file holds some tens of elements, the data as their text; a
// file of millions is none, and their records would fill the memory.
constexpr std::size_t kMostElements = 100'000;

bool name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

std::string local_name(std::string_view name) {
  const auto colon = name.rfind(':');
  return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

class XmlReader {
 public:
  XmlReader(std::string_view text, const std::string& name) : text_(text), name_(name) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  std::vector<XmlElement> read() {
    std::vector<std::size_t> open;
    while (pos_ < text_.size()) {
      const std::size_t lt = std::min(text_.find('<', pos_), text_.size());
      if (!open.empty()) elements_[open.back()].text += decoded(text_.substr(pos_, lt - pos_));
      pos_ = lt;
      if (pos_ == text_.size()) break;
      const std::string_view rest = text_.substr(pos_);
      if (rest.substr(0, 4) == "<!--") {
        skip_past("-->");
      } else if (rest.substr(0, 2) == "<?") {
        skip_past("?>");
      } else if (rest.substr(0, 9) == "<![CDATA[") {
        const std::size_t start = pos_ + 9;
        skip_past("]]>");
        if (open.empty()) fail("character data outside the root element");
        elements_[open.back()].text += text_.substr(start, pos_ - 3 - start);
      } else if (rest.substr(0, 2) == "<!") {
        fail("a DOCTYPE or declaration, which velmora-powder does not read");
      } else if (rest.substr(0, 2) == "</") {
        pos_ += 2;
        const std::string closing = local_name(name_at());
        skip_blanks();
        expect('>');
        if (open.empty() || elements_[open.back()].name != closing)
          fail("</" + closing + "> closes no open element of that name");
        open.pop_back();
      } else {
        if (open.empty() && !elements_.empty()) fail("a second root element");
        const bool empty = start_tag(open.empty() ? 0 : open.back());
        if (!empty) open.push_back(elements_.size() - 1);
      }
    }
    if (!open.empty()) fail("the document ends inside <" + elements_[open.back()].name + ">");
    if (elements_.empty()) fail("no XML element");
    return std::move(elements_);
  }

 private:
  [[noreturn]] void fail(const std::string& reason) {
    fail_powder(name_ + ", line " + std::to_string(line_at(std::min(pos_, text_.size()))) + ": " + reason);
  }

  // The line of a position at or after the last one asked for, counted on from there.
  std::size_t line_at(std::size_t pos) {
    line_ += static_cast<std::size_t>(std::count(text_.begin() + static_cast<std::ptrdiff_t>(counted_),
                                                 text_.begin() + static_cast<std::ptrdiff_t>(pos), '\n'));
    counted_ = pos;
    return line_;
  }

  void skip_past(std::string_view end) {
    const std::size_t at = text_.find(end, pos_);
    if (at == std::string_view::npos) fail("the document ends before " + std::string(end));
    pos_ = at + end.size();
  }

  void skip_blanks() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' || text_[pos_] == '\n'))
      ++pos_;
  }

  void expect(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  std::string_view name_at() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && name_char(text_[pos_])) ++pos_;
    if (pos_ == start) fail("expected a name");
    return text_.substr(start, pos_ - start);
  }

  // The start tag at pos_ as a new element; true when it is empty (<a/>).
  bool start_tag(std::size_t parent) {
    if (elements_.size() == kMostElements) fail("more than 10^5 elements, beyond any measurement file");
    XmlElement element;
    element.line = line_at(pos_);
    ++pos_;
    element.name = local_name(name_at());
    element.parent = parent;
    for (;;) {
      skip_blanks();
      if (pos_ >= text_.size()) fail("the document ends inside <" + element.name + ">");
      if (text_[pos_] == '>' || text_.substr(pos_, 2) == "/>") break;
      const std::string key = local_name(name_at());
      skip_blanks();
      expect('=');
      skip_blanks();
      if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\''))
        fail("expected a quoted value");
      const char quote = text_[pos_++];
      const std::size_t end = text_.find(quote, pos_);
      if (end == std::string_view::npos) fail("the document ends inside a value");
      element.attributes.emplace_back(key, decoded(text_.substr(pos_, end - pos_)));
      pos_ = end + 1;
    }
    const bool empty = text_[pos_] == '/';
    pos_ += empty ? 2 : 1;
    elements_.push_back(std::move(element));
    return empty;
  }

  // Text with its entity and character references replaced.
  std::string decoded(std::string_view raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      const std::size_t semicolon = raw.find(';', i);
      if (semicolon == std::string_view::npos) fail("a '&' that starts no reference");
      const std::string_view ref = raw.substr(i + 1, semicolon - i - 1);
      i = semicolon;
      if (ref == "lt")
        out += '<';
      else if (ref == "gt")
        out += '>';
      else if (ref == "amp")
        out += '&';
      else if (ref == "quot")
        out += '"';
      else if (ref == "apos")
        out += '\'';
      else if (ref.size() > 1 && ref[0] == '#') {
        unsigned code = 0;
        const bool hex = ref[1] == 'x';
        const auto digits = ref.substr(hex ? 2 : 1);
        const auto result =
            std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
        if (result.ec != std::errc() || result.ptr != digits.data() + digits.size() || code == 0 ||
            code > 0x10FFFF)
          fail("a character reference that names no character");
        append_utf8(out, code);
      } else {
        fail("the entity &" + std::string(ref.substr(0, 20)) + "; is not one of XML's own");
      }
    }
    return out;
  }

  static void append_utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  std::string_view text_;
  const std::string& name_;
  std::size_t pos_ = 0, counted_ = 0, line_ = 1;
  std::vector<XmlElement> elements_;
};

}  // namespace

std::string XmlElement::attribute(std::string_view key) const {
  for (const auto& [k, v] : attributes)
    if (k == key) return v;
  return {};
}

std::vector<XmlElement> xml_elements(std::string_view text, const std::string& name) {
  return XmlReader(text, name).read();
}

std::string xml_root_name(std::string_view text) {
  std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  for (;;) {
    pos = text.find_first_not_of(" \t\r\n", pos);
    if (pos == std::string_view::npos || text[pos] != '<') return {};
    const std::string_view rest = text.substr(pos);
    std::string_view end = rest.substr(0, 4) == "<!--" ? "-->" : rest.substr(0, 2) == "<?" ? "?>" : "";
    // A DOCTYPE is passed over here only to find the root; reading refuses it.
    if (rest.substr(0, 9) == "<!DOCTYPE") end = rest.find('[') < rest.find('>') ? "]>" : ">";
    if (end.empty()) break;
    pos = text.find(end, pos);
    if (pos == std::string_view::npos) return {};
    pos += end.size();
  }
  std::size_t end = pos + 1;
  while (end < text.size() && name_char(text[end])) ++end;
  return local_name(text.substr(pos + 1, end - pos - 1));
}

}  // namespace velmora::powder
