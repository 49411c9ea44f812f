// The companions' output files. Each is written under a temporary name beside
// its own and put in place by renaming, all of them together, once every one
// is complete: a run that fails before that leaves no output and no partial
// one, and replaces no file early. Each file a rename replaces is kept under a
// second name until every rename has succeeded; when one fails (a file system
// turned read-only, a folder put in a file's place), the outputs already put in
// place are taken back and the earlier files restored, so that all outputs or
// none are written; the message names any file that could not be restored and
// where its earlier content is. A path that names standard output itself is
// refused, since replacing its file would lose what it holds. A symbolic link
// is written through to the file it names, an existing file keeps its
// permissions, and a path that exists and is no regular file (a pipe, a
// device, a folder) is refused. The path - stands for standard output: that
// output is held until the files are in place and then written there; one
// output at most may take it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files/text_sink.hpp"

namespace velmora {

class PendingOutputs {
 public:
  // program names the temporary files; what and not_regular_hint shape the
  // messages ("the answers", "(write to standard output for a pipe)").
  PendingOutputs(std::string program, std::string what, std::string not_regular_hint = "");
  PendingOutputs(const PendingOutputs&) = delete;
  PendingOutputs& operator=(const PendingOutputs&) = delete;
  // Removes every temporary file not put in place.
  ~PendingOutputs();

  // Creates the empty temporary file of path (a name no other file has) and
  // returns its name, for a writer that opens files by name; a path reserved
  // before keeps its temporary file, so that outputs are checked before a long
  // computation and written after it.
  std::string reserve(const std::string& path);
  // Writes the text as the content of path.
  void write(const std::string& path, const std::string& text);
  // Writes the content of path as fill makes it, piece by piece.
  void write(const std::string& path, const TextFill& fill);
  // Renames every temporary file to its final name, or none (see above).
  void commit();

 private:
  // A failure "PATH: cannot write WHAT: reason" (errors/failure.hpp).
  [[noreturn]] void fail(const std::string& path, const std::string& reason, int os_error = 0) const;

  struct Pending {
    std::string given, target, temporary;  // as named, after links, beside the target
    std::string backup;                    // the replaced file's second name; empty: none
  };
  // A name beside target for a file of this run ("tmp", "old").
  std::string own_name(const std::string& target, const char* kind) const;
  // Takes back the outputs put in place before `failed`; what could not be restored.
  std::string restore_before(std::size_t failed);
  std::string program_, what_, not_regular_hint_;
  std::vector<Pending> files_;
  std::optional<std::string> standard_output_;  // the output named -, until commit
};

// Removes every temporary file not yet put in place; safe in a signal handler and
// in a library's exit handler.
void remove_pending_temporaries();

// The name that stands for standard output (an output) or standard input (an input).
inline constexpr std::string_view kStandardStream = "-";

// Writes the text to standard output whole, or fails naming what it is.
void write_standard_output(const std::string& text, const std::string& what);
void write_standard_output(const TextFill& fill, const std::string& what);

}  // namespace velmora
