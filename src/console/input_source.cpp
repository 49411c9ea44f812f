// Character input over a FILE or an in-memory text.
#include "console/input_source.hpp"

#include <cerrno>

#include "console/output_buffer.hpp"

namespace velmora {

InputSource::InputSource(std::FILE* file, int channel, std::string name, OutputBuffer* echo_flush)
    : file_(file), channel_(channel), name_(std::move(name)), echo_flush_(echo_flush) {}

InputSource::InputSource(std::string text, int channel, std::string name)
    : text_(std::move(text)), channel_(channel), name_(std::move(name)) {}

int InputSource::raw_get() {
  if (putback_count_ > 0) return putback_[--putback_count_];
  if (file_ != nullptr) {
    errno = 0;
    int c = std::getc(file_);
    if (c != EOF) return c;
    if (std::ferror(file_) != 0) read_error_ = errno != 0 ? errno : EIO;
    return kEnd;
  }
  if (text_pos_ < text_.size()) return static_cast<unsigned char>(text_[text_pos_++]);
  return kEnd;
}

int InputSource::get() {
  int c = raw_get();
  if (c == '\r') {
    int next = raw_get();
    if (next == '\n')
      c = next;
    else
      putback_[putback_count_++] = next;
  }
  if (c == '\n') ++line_;
  return c;
}

void InputSource::unget(int c) {
  if (c == '\n') --line_;
  putback_[putback_count_++] = c;
}

void InputSource::before_read() {
  if (echo_flush_ != nullptr) echo_flush_->flush();
}

}  // namespace velmora
