// The lines of a measured pattern's text, one at a time with its number: a
// line ends at LF, CR LF or a CR alone (files from old Macintosh programs and
// some diffractometer PCs), so that every text reader counts lines alike.
#pragma once

#include <cstddef>
#include <string_view>

namespace velmora::powder {

class TextLines {
 public:
  explicit TextLines(std::string_view text) : text_(text) {}

  // The next line without its end, false after the last; number() is its line number from 1.
  bool next(std::string_view& line) {
    if (start_ >= text_.size()) return false;
    std::size_t end = text_.find_first_of("\r\n", start_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(start_, end - start_);
    start_ = end + (end + 1 < text_.size() && text_[end] == '\r' && text_[end + 1] == '\n' ? 2 : 1);
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t start_ = 0, number_ = 0;
};

}  // namespace velmora::powder
