// The companions' output files. Each is written under a temporary name beside
// its own and put in place by renaming, all of them together, once every one
// is complete: a run that fails before that leaves no output and no partial
// one, and replaces no file early; a rename that fails after others (a full
// or read-only file system between two renames) says the earlier outputs are in
// place. A path that names standard output itself is refused, since replacing
// its file would lose what it holds. A symbolic link is written through to the file it
// names, an existing file keeps its permissions, and a path that exists and
// is no regular file (a pipe, a device, a folder) is refused.
#pragma once

#include <string>
#include <utility>
#include <vector>

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
  // returns its name, for a writer that opens files by name.
  std::string reserve(const std::string& path);
  // Writes the text as the content of path.
  void write(const std::string& path, const std::string& text);
  // Renames every temporary file to its final name.
  void commit();

 private:
  // A failure "PATH: cannot write WHAT: reason" (frontend/failure.hpp).
  [[noreturn]] void fail(const std::string& path, const std::string& reason) const;

  struct Pending {
    std::string given, target, temporary;  // as named, after links, beside the target
  };
  std::string program_, what_, not_regular_hint_;
  std::vector<Pending> files_;
  std::size_t committed_ = 0;
};

// Removes every temporary file not yet put in place; safe in a signal handler and
// in a library's exit handler.
void remove_pending_temporaries();

// Writes the text to standard output whole, or fails naming what it is.
void write_standard_output(const std::string& text, const std::string& what);

}  // namespace velmora
