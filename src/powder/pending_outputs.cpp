// Temporary files are created exclusively (O_EXCL), so that an existing file
// of that name is never opened, and written with the system's own calls, so
// that every failed write is seen.
#include "powder/pending_outputs.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "powder/powder_error.hpp"

namespace velmora::powder {
namespace {

[[noreturn]] void fail_write(const std::string& path, int error) {
  fail_powder(path + ": cannot write this output: " + std::strerror(error));
}

}  // namespace

PendingOutputs::~PendingOutputs() {
  for (const auto& file : files_) std::remove(file.second.c_str());
}

std::string PendingOutputs::reserve(const std::string& path) {
  const std::string temporary =
      path + ".velmora-powder-" + std::to_string(getpid()) + "-" + std::to_string(files_.size()) + ".tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) fail_write(path, errno);
  files_.emplace_back(path, temporary);
  if (close(fd) != 0) fail_write(path, errno);
  return temporary;
}

void PendingOutputs::write(const std::string& path, const std::string& text) {
  const std::string temporary = reserve(path);
  const int fd = open(temporary.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) fail_write(path, errno);
  std::size_t written = 0;
  int error = 0;
  while (written < text.size() && error == 0) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) written += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) fail_write(path, error);
}

void PendingOutputs::commit() {
  while (!files_.empty()) {
    const auto& [path, temporary] = files_.front();
    if (std::rename(temporary.c_str(), path.c_str()) != 0) fail_write(path, errno);
    files_.erase(files_.begin());
  }
}

}  // namespace velmora::powder
