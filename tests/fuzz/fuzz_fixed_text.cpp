// Fuzz target: the fixed-text read of a table's header line (width 90) over
// arbitrary bytes, read line after line until the input ends. Each line is
// checked against a model written here from the rule: a line ends at a line
// feed, a carriage return right before the line feed belongs to the line end,
// a last line without a line feed is still a line; the text is the line's
// first 90 characters, padded with blanks; after the last line comes the
// end-of-file failure on the data file's channel.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.hpp"
#include "console/free_form_reader.hpp"
#include "console/input_source.hpp"
#include "console/run_end.hpp"
#include "fuzz_support.hpp"
#include "tables/scattering_tables.hpp"

namespace {

std::vector<std::string> model_lines(std::string_view input, std::size_t width) {
  std::vector<std::string> lines;
  while (!input.empty()) {
    std::size_t end = input.find('\n');
    std::string_view line = input.substr(0, end);
    if (end != std::string_view::npos) {
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      input.remove_prefix(end + 1);
    } else {
      input = {};
    }
    std::string text(line.substr(0, width));
    text.resize(width, ' ');
    lines.push_back(text);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t width = static_cast<std::size_t>(velmora::kHeaderWidth);
  const std::vector<std::string> expected = model_lines(input, width);

  velmora::Console console("");
  std::string name(velmora::kMagneticFileName);
  velmora::InputSource source(input, velmora::kDataFileChannel, name);
  std::size_t count = 0;
  try {
    for (;; ++count) {
      std::string line = velmora::read_fixed_text(console, source, velmora::kHeaderWidth);
      velmora::fuzz::check(count < expected.size(), "a line read after the end of the input");
      velmora::fuzz::check(line == expected[count], "a line differs from the model", line);
    }
  } catch (const velmora::RunEnded& end) {
    velmora::fuzz::check(count == expected.size(), "the input ended early");
    velmora::fuzz::check_ending(end.status, console);
    const std::string& err = console.err_text;
    velmora::fuzz::check(err.find(", channel 1, file \"" + name + "\"\n") != std::string::npos &&
                             err.ends_with(": End of file\n"),
                         "not the end-of-file failure of the data file", err);
    velmora::fuzz::check(console.out.kept_text().empty(), "a read printed something");
  }
  return 0;
}
