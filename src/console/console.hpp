// The run's console: standard output through its buffer, standard input as a
// source of answers, and standard error for diagnostics. Tests and in-process
// runs use the memory form, which keeps both output streams as text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "console/input_source.hpp"
#include "console/output_buffer.hpp"

namespace velmora {

// Channel numbers that diagnostics name.
inline constexpr int kDataFileChannel = 1;
inline constexpr int kStandardInputChannel = 5;
inline constexpr int kStandardOutputChannel = 6;

// The answer of the dialogue being read, for a caller that runs the dialogue
// in memory and names the answer in its own messages.
struct DialogueAnswer {
  enum class Kind { none, lattice, atom_count, atom, moment, reflection_count, reflection };
  Kind kind = Kind::none;
  std::int64_t index = 0;  // from 0, of count
  std::int64_t count = 0;
};

// The failure that ended a run, as values: what fail_run also prints.
struct RunFailure {
  std::string reason;
  int channel = 0;
  std::string file_name;  // the data file, for channel 1 and for openings
  bool opening = false;
  long line = 0;  // the line being read, from 1; 0: none
};

struct Console {
  // The process's standard streams.
  Console(std::FILE* in, std::FILE* out, std::FILE* err, bool out_is_terminal)
      : out(out, out_is_terminal), in(in, kStandardInputChannel, "", &this->out), err_file(err) {}
  // Answers given as text, output to the process's streams (in-process runs).
  Console(std::string answers, std::FILE* out, std::FILE* err, bool out_is_terminal)
      : out(out, out_is_terminal), in(std::move(answers), kStandardInputChannel, ""), err_file(err) {}
  // In memory: answers given as text, output kept.
  explicit Console(std::string answers, std::string_view line_end = kLineEnd)
      : out(nullptr, false, line_end), in(std::move(answers), kStandardInputChannel, "") {}

  void write_err(std::string_view text) {
    if (err_file != nullptr) {
      std::fwrite(text.data(), 1, text.size(), err_file);
      std::fflush(err_file);
    } else {
      err_text += text;
    }
  }

  OutputBuffer out;
  InputSource in;
  std::FILE* err_file = nullptr;
  std::string err_text;  // standard error, when held in memory
  // The data files by name, when a run takes them from memory (in-process
  // runs): a name that is not here is a missing file, and the working
  // directory is never looked at. Unset in the program, which reads files.
  std::optional<std::map<std::string, std::string, std::less<>>> data_files;
  DialogueAnswer answer;              // set by the dialogue before each read
  std::optional<RunFailure> failure;  // set by fail_run
};

}  // namespace velmora
