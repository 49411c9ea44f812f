// Buffered standard output with the platform's line end.
#include "console/output_buffer.hpp"

#include <cerrno>

namespace velmora {

namespace {
constexpr std::size_t kFlushThreshold = 1 << 16;
}

OutputBuffer::OutputBuffer(std::FILE* file, bool flush_each_line, std::string_view line_end)
    : file_(file), flush_each_line_(flush_each_line), line_end_(line_end) {}

void OutputBuffer::end_line() {
  pending_ += line_end_;
  if (file_ != nullptr && (flush_each_line_ || pending_.size() >= kFlushThreshold)) flush();
}

bool OutputBuffer::flush() {
  if (file_ == nullptr) return true;
  bool ok = true;
  errno = 0;
  if (!pending_.empty()) {
    ok = std::fwrite(pending_.data(), 1, pending_.size(), file_) == pending_.size();
    pending_.clear();
  }
  ok = std::fflush(file_) == 0 && ok;
  if (!ok && write_error_ == 0) write_error_ = errno != 0 ? errno : EIO;
  return ok;
}

}  // namespace velmora
