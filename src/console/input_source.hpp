// A source of input lines for the free-form reader: standard input, a data
// file opened for reading, or a text held in memory (tests). Characters come
// one at a time with one character of put-back. A carriage return standing
// right before a line feed belongs to the line end, so CR LF input reads
// exactly like LF input.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace velmora {

class OutputBuffer;

class InputSource {
 public:
  static constexpr int kEnd = -1;

  // Reads file (not owned); channel and name identify it in diagnostics.
  // When echo_flush is set, it is written out before every read, so that the
  // prompt is visible before the program waits for an answer.
  InputSource(std::FILE* file, int channel, std::string name, OutputBuffer* echo_flush = nullptr);
  // Reads the given text (tests and in-process runs).
  InputSource(std::string text, int channel, std::string name);

  // Next character, '\n' for a line end (LF or CR LF), kEnd at the end.
  int get();
  // Puts back the character just returned by get().
  void unget(int c);
  int peek() {
    int c = get();
    unget(c);
    return c;
  }

  // Called at the start of every read.
  void before_read();

  // The system's error number when the last kEnd came from a failed read
  // rather than the end of the input, else 0.
  int read_error() const { return read_error_; }
  int channel() const { return channel_; }
  // The line the next character belongs to: 1 plus the line ends read so
  // far (and not put back), so that a diagnostic can name the answer's line.
  long line() const { return line_; }
  const std::string& name() const { return name_; }

 private:
  int raw_get();
  std::FILE* file_ = nullptr;
  std::string text_;
  std::size_t text_pos_ = 0;
  int channel_;
  std::string name_;
  OutputBuffer* echo_flush_ = nullptr;
  int putback_[2] = {};
  int putback_count_ = 0;
  int read_error_ = 0;
  long line_ = 1;
};

}  // namespace velmora
