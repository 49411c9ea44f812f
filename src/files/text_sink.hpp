// Where a long text goes piece by piece: an output file or standard output.
// A table of millions of rows is written as it is made, never held whole, so
// that its memory is that of its values alone.
#pragma once

#include <functional>
#include <string_view>

namespace velmora {

class TextSink {
 public:
  virtual ~TextSink() = default;
  // Appends the text; a failed write ends the run, naming the destination.
  virtual void add(std::string_view text) = 0;
};

// What writes a text into a sink.
using TextFill = std::function<void(TextSink&)>;

}  // namespace velmora
