// What a run says without stopping: a note (what was done, for the record)
// or a warning (what the user should check), as values; the programs print
// them before the outputs and before an error, each once, the module raises
// them as Python warnings.
#pragma once

#include <string>
#include <vector>

namespace velmora::frontend {

struct Remark {
  enum class Kind { note, warning };
  Kind kind = Kind::note;
  std::string text;
  // As the programs print it after their name: "note: TEXT", "warning: TEXT".
  std::string line() const { return (kind == Kind::note ? "note: " : "warning: ") + text; }
};

struct Remarks {
  std::vector<Remark> items;

  void note(const std::string& text) { items.push_back({Remark::Kind::note, text}); }
  void warn(const std::string& text) { items.push_back({Remark::Kind::warning, text}); }
};

}  // namespace velmora::frontend
