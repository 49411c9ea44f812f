// The file is opened without waiting (a FIFO with no writer yet does not block
// the open) and its kind is taken from the open descriptor, so that what is
// checked is what is read; it is then read with the system's own calls.
#include "files/input_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <functional>

#include "errors/failure.hpp"

namespace velmora::frontend {
namespace {

#ifdef _WIN32
constexpr int kOpenFlags = O_RDONLY | O_BINARY;
#else
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
#endif

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string size_text(std::size_t bytes) {
  return bytes % (std::size_t{1} << 20) == 0 ? std::to_string(bytes >> 20) + " MiB"
                                             : std::to_string(bytes) + " bytes";
}

}  // namespace

namespace {

// The whole content of an open descriptor of a regular file or a pipe.
std::string read_descriptor(int fd, std::size_t limit,
                            const std::function<void(const std::string&, int)>& refuse) {
  struct stat opened {};
  if (fstat(fd, &opened) != 0) refuse(std::strerror(errno), errno);
  if (S_ISDIR(opened.st_mode)) refuse(std::strerror(EISDIR), EISDIR);
  if (!S_ISREG(opened.st_mode) && !S_ISFIFO(opened.st_mode)) refuse("not a regular file or a pipe", 0);
    // A pipe is read waiting for its writer, as any reader of a pipe does.
#ifndef _WIN32
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) refuse(std::strerror(errno), errno);
#endif
  if (S_ISREG(opened.st_mode) && static_cast<unsigned long long>(opened.st_size) > limit)
    refuse("larger than " + size_text(limit) + ", the most this program reads", 0);
  std::string text;
  if (S_ISREG(opened.st_mode)) text.reserve(static_cast<std::size_t>(opened.st_size));
  char buffer[1 << 16];
  for (;;) {
    const auto n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      refuse(std::strerror(errno), errno);
    }
    if (text.size() + static_cast<std::size_t>(n) > limit)
      refuse("larger than " + size_text(limit) + ", the most this program reads", 0);
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

}  // namespace

std::string read_input_file(const std::string& path, const std::string& what, std::size_t limit) {
  const auto refuse = [&](const std::string& reason, int error) {
    fail_file(path, "cannot read " + what + ": " + reason, error);
  };
  if (path == "-") {
#ifdef _WIN32
    _setmode(0, O_BINARY);
#endif
    return read_descriptor(0, limit, [&](const std::string& reason, int error) {
      fail_file("standard input", "cannot read " + what + ": " + reason, error);
    });
  }
  // Refused by its name first, so that a device is never opened at all.
  struct stat named {};
  if (stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode) && !S_ISFIFO(named.st_mode))
    refuse(S_ISDIR(named.st_mode) ? std::strerror(EISDIR) : "not a regular file or a pipe",
           S_ISDIR(named.st_mode) ? EISDIR : 0);
  Descriptor file(open(path.c_str(), kOpenFlags));
  if (file.get() < 0) refuse(std::strerror(errno), errno);
  return read_descriptor(file.get(), limit, refuse);
}

}  // namespace velmora::frontend
