// Reading a CIF file and parsing its text with gemmi's parser, after the
// repairs of line ends and bytes that velmora makes; a parse failure is told
// as what stands where the parser stopped.
#include <gemmi/cif.hpp>

#include "cif/cif_structure.hpp"
#include "frontend/input_file.hpp"

namespace velmora::cif {
namespace {

namespace cif = gemmi::cif;

constexpr std::size_t kMostBlocks = 10000;

// What stands where the parser stopped, in words a person can act on.
std::string what_stands(const std::string& text, std::size_t at) {
  if (at >= text.size()) return "the file ends there (a tag or loop_ left without its values?)";
  const unsigned char c = static_cast<unsigned char>(text[at]);
  if (c < 0x20 && c != '\t' && c != '\n') {
    const char* hex = "0123456789abcdef";
    return std::string("a control character (byte 0x") + hex[c >> 4] + hex[c & 15] +
           "), which CIF does not allow";
  }
  const std::size_t line_start = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
  const std::string shown = text.substr(at, std::min(text.find('\n', at), at + 20) - at);
  if (text.substr(line_start, at + 1 - line_start).find_first_of("[]{}") != std::string::npos)
    return "'" + shown + "': a bracket, which starts no value in CIF 1.1 (a CIF 2.0 list or table?)";
  return "'" + shown + "' cannot stand there";
}

}  // namespace

cif::Document read_cif_file(const std::string& path) {
  return parse_cif_text(frontend::read_input_file(path, "the CIF", frontend::kMostInputBytes), path);
}

cif::Document parse_cif_text(std::string text, const std::string& name) {
  // A byte-order mark, as editors on Windows write one, is not part of the CIF.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\r') c = '\n';
    if (static_cast<unsigned char>(c) >= 0x80) c = '~';
    text[out++] = c;
  }
  text.resize(out);
  try {
    tao::pegtl::memory_input<> in(text.data(), text.size(), name);
    cif::Document document;
    document.source = name;
    cif::parse_input(document, in);
    // gemmi's check for repeated block names slows down with the square of
    // their number.
    if (document.blocks.size() > kMostBlocks)
      fail_conversion(name + ": " + std::to_string(document.blocks.size()) + " data blocks; at most " +
                      std::to_string(kMostBlocks) + " are read");
    cif::check_for_missing_values(document);
    cif::check_for_duplicates(document);
    return document;
  } catch (const ConversionError&) {
    throw;
  } catch (const tao::pegtl::parse_error& e) {
    const std::string what = e.what();
    const std::size_t at = e.positions().empty() ? text.size() : e.positions().front().byte;
    fail_conversion(what + ": " + (what.find(name) == std::string::npos ? name + ": " : "") +
                    what_stands(text, at));
  } catch (const std::exception& e) {
    const std::string what = e.what();
    fail_conversion(what.find(name) == std::string::npos ? name + ": " + what : what);
  }
}

}  // namespace velmora::cif
