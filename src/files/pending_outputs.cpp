// Temporary files are created exclusively (O_EXCL), so that an existing file
// of that name is never opened, and written with the system's own calls, so
// that every failed write is seen. std::filesystem::rename replaces an
// existing file on every system (std::rename does not on Windows). A replaced
// file's second name is a hard link, made before the rename, so that its name
// always holds the earlier or the new content; where the file system has no
// hard links, the file is renamed away first.
#include "files/pending_outputs.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <signal.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "errors/failure.hpp"

namespace velmora {
namespace {

// The file a path names, after following up to 40 symbolic links.
std::string link_target(const std::string& given) {
  std::error_code error;
  std::string path = given;
  for (int links = 0; links < 40 && std::filesystem::is_symlink(path, error); ++links) {
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    path = (target.is_absolute() ? target : std::filesystem::path(path).parent_path() / target).string();
  }
  return path;
}

// The temporaries not yet put in place, in fixed storage that a signal handler may
// read: Ctrl-C or a termination during a long run removes them before the process
// ends as the signal says. Slots are filled and emptied by the program's thread only.
constexpr int kMostTemporaries = 16;
constexpr std::size_t kLongestTemporary = 4096;
char temporaries[kMostTemporaries][kLongestTemporary];
volatile std::sig_atomic_t temporary_used[kMostTemporaries];

void remember_temporary(const std::string& name) {
  for (int i = 0; i < kMostTemporaries; ++i) {
    if (temporary_used[i] != 0) continue;
    if (name.size() >= kLongestTemporary) return;
    std::memcpy(temporaries[i], name.c_str(), name.size() + 1);
    temporary_used[i] = 1;
    return;
  }
}

void forget_temporary(const std::string& name) {
  for (int i = 0; i < kMostTemporaries; ++i)
    if (temporary_used[i] != 0 && name == temporaries[i]) temporary_used[i] = 0;
}

extern "C" void remove_temporaries_and_end(int signal_number) {
  remove_pending_temporaries();
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void handle_ending_signals() {
#ifndef _WIN32
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction now {
    }, before{};
    now.sa_handler = remove_temporaries_and_end;
    sigemptyset(&now.sa_mask);
    // A signal the caller ignores (nohup) stays ignored.
    if (sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
      sigaction(signal_number, &now, nullptr);
  }
#endif
}

}  // namespace

void remove_pending_temporaries() {
  for (int i = 0; i < kMostTemporaries; ++i)
    if (temporary_used[i] != 0) unlink(temporaries[i]);
}

PendingOutputs::PendingOutputs(std::string program, std::string what, std::string not_regular_hint)
    : program_(std::move(program)), what_(std::move(what)), not_regular_hint_(std::move(not_regular_hint)) {
  handle_ending_signals();
}

PendingOutputs::~PendingOutputs() {
  for (const Pending& file : files_) {
    std::remove(file.temporary.c_str());
    forget_temporary(file.temporary);
  }
}

std::string PendingOutputs::own_name(const std::string& target, const char* kind) const {
  // Short and fixed, so that a long output name is not blamed on it, and holding
  // no character a writer might interpret.
  const std::filesystem::path folder = std::filesystem::path(target).parent_path();
  return (folder / ("." + program_ + "-" + std::to_string(getpid()) + "-" + std::to_string(files_.size()) +
                    "." + kind))
      .string();
}

void PendingOutputs::fail(const std::string& path, const std::string& reason, int os_error) const {
  frontend::fail_file(path, "cannot write " + what_ + ": " + reason, os_error);
}

// True when path names the file standard output already writes (`--csv /dev/stdout
// >> log`, or a pipe): replacing that file would lose what it holds.
bool is_standard_output(const std::string& path) {
  struct stat named {
  }, out{};
  return stat(path.c_str(), &named) == 0 && fstat(1, &out) == 0 && named.st_dev == out.st_dev &&
         named.st_ino == out.st_ino;
}

std::string PendingOutputs::reserve(const std::string& path) {
  // Reserved before a long computation, written after it: the same file.
  for (const Pending& file : files_)
    if (file.given == path) return file.temporary;
  if (path == kStandardStream) fail(path, "this output is written to a file it names; give it a file name");
  if (is_standard_output(path))
    fail(path, "this is standard output itself; leave the option out to write " + what_ + " there");
  const std::string target = link_target(path);
  struct stat existing {};
  const bool exists = stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    fail(path, "not a regular file" + (not_regular_hint_.empty() ? "" : " " + not_regular_hint_));
  }
  const std::filesystem::path folder = std::filesystem::path(target).parent_path();
  const std::string temporary = own_name(target, "tmp");
  // Remembered before it exists, so that a signal arriving just after the file
  // is made still finds it to remove.
  remember_temporary(temporary);
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) {
    const int error = errno;
    forget_temporary(temporary);
    if (error == EACCES || error == EROFS || error == ENOENT || error == ENOTDIR)
      fail(path,
           "cannot create a file in the folder " + (folder.empty() ? std::string(".") : folder.string()) +
               ": " + std::strerror(error) + " (the output is written there and renamed into place)",
           error);
    fail(path, std::strerror(error), error);
  }
  files_.push_back({path, target, temporary, exists ? own_name(target, "old") : std::string()});
  int error = 0;
#ifndef _WIN32
  if (exists && fchmod(fd, existing.st_mode & 07777) != 0) error = errno;
#endif
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) fail(path, std::strerror(error), error);
  return temporary;
}

namespace {

// Text gathered into pieces of this size before each write: few system calls,
// little memory.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

// An output's temporary file, written piece by piece.
class FileSink : public TextSink {
 public:
  FileSink(int fd, std::function<void(int)> failed) : fd_(fd), failed_(std::move(failed)) {
    piece_.reserve(kPieceBytes);
  }
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  ~FileSink() override {
    if (fd_ >= 0) close(fd_);
  }
  void add(std::string_view text) override {
    piece_.append(text);
    if (piece_.size() >= kPieceBytes) flush();
  }
  void finish() {
    flush();
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) failed_(errno);
  }

 private:
  void flush() {
    std::size_t written = 0;
    while (written < piece_.size()) {
      const ssize_t n = ::write(fd_, piece_.data() + written, piece_.size() - written);
      if (n < 0 && errno != EINTR) failed_(errno);
      if (n > 0) written += static_cast<std::size_t>(n);
    }
    piece_.clear();
  }
  int fd_;
  std::function<void(int)> failed_;
  std::string piece_;
};

class StandardOutputSink : public TextSink {
 public:
  explicit StandardOutputSink(const std::string& what) : what_(what) {}
  void add(std::string_view text) override {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) failed();
  }
  void finish() {
    errno = 0;
    if (std::fflush(stdout) != 0) failed();
  }

 private:
  [[noreturn]] void failed() const {
    frontend::fail("cannot write " + what_ +
                   " to standard output: " + std::strerror(errno != 0 ? errno : EIO));
  }
  const std::string& what_;
};

}  // namespace

void PendingOutputs::write(const std::string& path, const std::string& text) {
  write(path, [&text](TextSink& out) { out.add(text); });
}

namespace {

class StringSink : public TextSink {
 public:
  explicit StringSink(std::string& text) : text_(text) {}
  void add(std::string_view text) override { text_.append(text); }

 private:
  std::string& text_;
};

}  // namespace

void PendingOutputs::write(const std::string& path, const TextFill& fill) {
  if (path == kStandardStream) {
    if (standard_output_)
      fail(path, "standard output already takes another output; name a file for this one");
    standard_output_.emplace();
    StringSink out(*standard_output_);
    fill(out);
    return;
  }
  const std::string temporary = reserve(path);
  const int fd = open(temporary.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) fail(path, std::strerror(errno), errno);
  FileSink out(fd, [this, &path](int error) { fail(path, std::strerror(error), error); });
  fill(out);
  out.finish();
}

std::string PendingOutputs::restore_before(std::size_t failed) {
  std::string kept;
  for (std::size_t i = failed; i-- > 0;) {
    const Pending& file = files_[i];
    std::error_code error;
    if (file.backup.empty()) {
      std::filesystem::remove(file.target, error);
    } else {
      std::filesystem::rename(file.backup, file.target, error);
    }
    if (!file.backup.empty()) forget_temporary(file.backup);
    if (error)
      kept += "; " + file.given +
              (file.backup.empty() ? " is left written"
                                   : " is left written, its earlier content in " + file.backup);
  }
  return kept;
}

void PendingOutputs::commit() {
  std::size_t placed = 0;
  for (; placed < files_.size(); ++placed) {
    Pending& file = files_[placed];
    std::error_code error;
    bool moved_away = false;
    if (!file.backup.empty()) {
      remember_temporary(file.backup);
      std::filesystem::create_hard_link(file.target, file.backup, error);
      if (error) {
        // Only a file is renamed away: whatever else now holds the name stays where it is.
        std::error_code kind;
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(file.target, kind))) {
          error.clear();
          std::filesystem::rename(file.target, file.backup, error);
          moved_away = !error;
        }
      }
      // Without a second name the rename still says what holds the name.
      if (error) {
        error.clear();
        forget_temporary(file.backup);
        file.backup.clear();
      }
    }
    std::filesystem::rename(file.temporary, file.target, error);
    if (error) {
      const std::string reason = error.message();
      // This file's own second name goes, or comes back to its name.
      if (!file.backup.empty()) {
        if (moved_away) {
          std::filesystem::rename(file.backup, file.target, error);
        } else {
          std::filesystem::remove(file.backup, error);
        }
        forget_temporary(file.backup);
      }
      const std::string kept = restore_before(placed);
      files_.erase(files_.begin(), files_.begin() + static_cast<std::ptrdiff_t>(placed));
      fail(files_.front().given,
           reason + (placed == 0    ? std::string()
                     : kept.empty() ? " (the outputs before it are restored as they were)"
                                    : " (the outputs before it are restored" + kept + ")"));
    }
    forget_temporary(file.temporary);
  }
  for (const Pending& file : files_) {
    if (file.backup.empty()) continue;
    std::error_code ignored;
    std::filesystem::remove(file.backup, ignored);
    forget_temporary(file.backup);
  }
  files_.clear();
  if (standard_output_) {
    const std::string text = std::move(*standard_output_);
    standard_output_.reset();
    write_standard_output(text, what_);
  }
}

void write_standard_output(const std::string& text, const std::string& what) {
  write_standard_output([&text](TextSink& out) { out.add(text); }, what);
}

void write_standard_output(const TextFill& fill, const std::string& what) {
  StandardOutputSink out(what);
  fill(out);
  out.finish();
}

}  // namespace velmora
