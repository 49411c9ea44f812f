// Reading a measured pattern: the file is read whole under the companions'
// input-file rules (a device is refused before it is opened, the size is
// capped), its format told from its content, and the points settled.
#include "powder/observed_pattern.hpp"

#include <cctype>

#include "files/input_file.hpp"
#include "powder/observed_points.hpp"
#include "powder/pattern_readers.hpp"

namespace velmora::powder {
namespace {

bool named_xrdml(const std::string& name) {
  const std::string end = ".xrdml";
  if (name.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(name[name.size() - end.size() + i])) != end[i]) return false;
  return true;
}

}  // namespace

ObservedPattern read_observed_pattern(const std::string& path, Remarks& remarks) {
  const std::string text = frontend::read_input_file(path, "the observed pattern", frontend::kMostInputBytes);
  const std::string name = frontend::input_name(path);
  if (text.empty()) fail_powder(name + ": the observed pattern is empty");
  ObservedPattern observed;
  // The binary and XML forms first: their marks cannot begin a text pattern.
  if (is_bruker_raw(text)) {
    observed = read_bruker_raw(text, name, remarks);
  } else if (is_xrdml(text)) {
    observed = read_xrdml(text, name, remarks);
  } else if (is_gsas_raw(text)) {
    observed = read_gsas_raw(text, name, remarks);
  } else if (is_fullprof_dat(text)) {
    observed = read_fullprof_dat(text, name);
  } else if (named_xrdml(name)) {
    // The extension only explains the refusal: the content decides the format.
    fail_powder(name + ": named .xrdml, but its XML root is not <xrdMeasurements>");
  } else if (text.find('\0') != std::string::npos) {
    fail_powder(name +
                ": a binary file of no format velmora-powder reads (Bruker RAW1.01 or RAW4.00, or text)");
  } else {
    observed = parse_observed_pattern(text, name);
  }
  settle_observed_points(observed, remarks);
  return observed;
}

}  // namespace velmora::powder
