// Standard output of a run. Lines are collected in a buffer and written out
// when it fills, before every read of standard input (so a person at a
// terminal sees each prompt), after every line when the output is a terminal,
// and at the end of the run. Line ends are the platform's: LF on Linux,
// CR LF on Windows.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace velmora {

#ifdef _WIN32
inline constexpr std::string_view kLineEnd = "\r\n";
#else
inline constexpr std::string_view kLineEnd = "\n";
#endif

class OutputBuffer {
 public:
  // Writes to file; with file == nullptr the text is only kept (tests).
  explicit OutputBuffer(std::FILE* file, bool flush_each_line = false, std::string_view line_end = kLineEnd);
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  void append(std::string_view text) { pending_ += text; }
  void append(char c) { pending_ += c; }
  // Ends the current line.
  void end_line();
  // Writes out everything held. Returns false when the system refused it;
  // the error number is then kept in write_error().
  bool flush();
  int write_error() const { return write_error_; }

  // Everything printed so far, when there is no file (tests).
  const std::string& kept_text() const { return pending_; }

 private:
  std::FILE* file_;
  bool flush_each_line_;
  std::string_view line_end_;
  std::string pending_;
  int write_error_ = 0;
};

}  // namespace velmora
