// Reading a CIF file and parsing its text with gemmi's parser, after the
// repairs of line ends and bytes that velmora makes; a parse failure is told
// as what stands where the parser stopped.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <gemmi/cif.hpp>

#include "cif/cif_structure.hpp"
#include "cif/document_checks.hpp"
#include "cif/text_repair.hpp"
#include "files/input_file.hpp"

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

cif::Document read_cif_file(const std::string& path, Warnings& warnings) {
  return parse_cif_text(frontend::read_input_file(path, "the CIF", frontend::kMostInputBytes),
                        frontend::input_name(path), warnings);
}

namespace {

// The parser reads ASCII only: each byte beyond it stands as '~' in the text
// it reads. Afterwards every value that holds one gets the file's own bytes
// back, found at the same offset of the mended text (values are found in
// order from their item's line, so each is found where it stands).
void restore_bytes(cif::Document& document, const std::string& parsed, const std::string& repaired) {
  std::vector<std::size_t> line_start = {0, 0};
  for (std::size_t i = 0; i < parsed.size(); ++i)
    if (parsed[i] == '\n') line_start.push_back(i + 1);
  auto restore = [&](std::string& value, std::size_t& cursor) {
    const std::size_t at = parsed.find(value, cursor);
    if (at == std::string::npos) return;
    if (value.find('~') != std::string::npos) value = repaired.substr(at, value.size());
    cursor = at + value.size();
  };
  for (cif::Block& block : document.blocks)
    for (cif::Item& item : block.items) {
      if (item.line_number <= 0 || static_cast<std::size_t>(item.line_number) >= line_start.size()) continue;
      std::size_t cursor = line_start[static_cast<std::size_t>(item.line_number)];
      if (item.type == cif::ItemType::Pair && item.pair[1].find('~') != std::string::npos) {
        cursor += item.pair[0].size();
        restore(item.pair[1], cursor);
      } else if (item.type == cif::ItemType::Loop &&
                 std::any_of(item.loop.values.begin(), item.loop.values.end(),
                             [](const std::string& v) { return v.find('~') != std::string::npos; })) {
        for (const std::string& tag : item.loop.tags)
          if (const std::size_t at = parsed.find(tag, cursor); at != std::string::npos)
            cursor = at + tag.size();
        for (std::string& value : item.loop.values) restore(value, cursor);
      }
    }
}

// A parse that stops at a fault that can be mended (a control character,
// curly quotes, a quote left open, a misspelt loop_) is tried again with it
// mended, this many times at most.
constexpr int kMostMendings = 100;

}  // namespace

cif::Document parse_cif_text(std::string text, const std::string& name, Warnings& warnings) {
  // A byte-order mark, as editors on Windows write one, is not part of the CIF.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\r') c = '\n';
    text[out++] = c;
  }
  text.resize(out);
  std::vector<TextRepair> repairs;
  MendedText mended{repaired_text(text, repairs), {}};
  mended.parsed = mended.bytes;
  for (char& c : mended.parsed)
    if (static_cast<unsigned char>(c) >= 0x80) c = '~';
  const std::string& parsed = mended.parsed;
  for (int attempt = 0;; ++attempt) {
    try {
      tao::pegtl::memory_input<> in(parsed.data(), parsed.size(), name);
      cif::Document document;
      document.source = name;
      cif::parse_input(document, in);
      if (document.blocks.size() > kMostBlocks)
        fail_conversion(name + ": " + std::to_string(document.blocks.size()) + " data blocks; at most " +
                        std::to_string(kMostBlocks) + " are read");
      restore_bytes(document, parsed, mended.bytes);
      check_document(document, repairs, warnings);
      return document;
    } catch (const ConversionError&) {
      throw;
    } catch (const tao::pegtl::parse_error& e) {
      const std::string what = e.what();
      const std::size_t at = e.positions().empty() ? parsed.size() : e.positions().front().byte;
      const unsigned char c = at < parsed.size() ? static_cast<unsigned char>(parsed[at]) : ' ';
      if ((c < 0x20 && c != '\t' && c != '\n') && attempt < kMostMendings) {
        // One at the end (a DOS end-of-file mark) stands in no item.
        const bool at_end = std::all_of(parsed.begin() + static_cast<std::ptrdiff_t>(at), parsed.end(),
                                        [](char b) { return static_cast<unsigned char>(b) <= ' '; });
        const char* hex = "0123456789abcdef";
        repairs.push_back({line_of(parsed, at),
                           std::string("a control character (byte 0x") + hex[c >> 4] + hex[c & 15] + ")",
                           "is passed over", at_end});
        // Inside a word it stays part of the word (as '~' to the parser, its
        // own byte in the value); next to a blank it is a blank.
        auto blank = [&](std::size_t i) {
          return i >= parsed.size() || std::isspace(static_cast<unsigned char>(parsed[i]));
        };
        if (at == 0 || blank(at - 1) || blank(at + 1)) {
          mended.replace(at, 1, " ");
        } else {
          mended.parsed[at] = '~';
        }
        continue;
      }
      if (attempt < kMostMendings &&
          (mend_curly_quotes(mended, at, repairs) || mend_open_quote(mended, at, repairs) ||
           mend_loop_keyword(mended, at, repairs)))
        continue;
      fail_conversion(what + ": " + (what.find(name) == std::string::npos ? name + ": " : "") +
                      what_stands(mended.bytes, at));
    } catch (const std::exception& e) {
      const std::string what = e.what();
      fail_conversion(what.find(name) == std::string::npos ? name + ": " + what : what);
    }
  }
}

}  // namespace velmora::cif
