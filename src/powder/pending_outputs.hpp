// Output files are written under temporary names beside their own and put in
// place together, by renaming, once every one of them is complete: a run that
// fails leaves no output and no partial one, and never replaces a file early.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velmora::powder {

class PendingOutputs {
 public:
  PendingOutputs() = default;
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
  std::vector<std::pair<std::string, std::string>> files_;  // final name, temporary name
};

}  // namespace velmora::powder
