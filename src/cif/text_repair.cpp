// Mending the text faults of a CIF: each is replaced by ASCII that keeps every
// line where it was, so that messages name the file's own lines.
#include "cif/text_repair.hpp"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <gemmi/util.hpp>
#include <utility>

namespace velmora::cif {

int line_of(const std::string& text, std::size_t at) {
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

namespace {

// Where the first data block starts (a line whose first word begins data_ or
// global_), or the text's size.
std::size_t first_block(const std::string& text) {
  for (std::size_t line = 0; line < text.size();) {
    const std::size_t word = text.find_first_not_of(" \t", line);
    if (word != std::string::npos && word < text.size()) {
      std::string head = text.substr(word, 7);
      std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
      if (head.compare(0, 5, "data_") == 0 || head == "global_") return word;
    }
    const std::size_t end = text.find('\n', line);
    if (end == std::string::npos) break;
    line = end + 1;
  }
  return text.size();
}

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// The line of byte `at`: where it begins and where its '\n' (or the text) ends.
std::pair<std::size_t, std::size_t> line_around(const std::string& text, std::size_t at) {
  at = std::min(at, text.size());
  const std::size_t before = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
  const std::size_t end = text.find('\n', at);
  return {before == std::string::npos ? 0 : before + 1, end == std::string::npos ? text.size() : end};
}

// Where the next word after `from` starts, comments passed over.
std::size_t next_word(const std::string& text, std::size_t from) {
  while (from < text.size()) {
    if (text[from] == '#') {
      from = text.find('\n', from);
      if (from == std::string::npos) return text.size();
    } else if (!blank(text[from])) {
      return from;
    }
    ++from;
  }
  return from;
}

// The text from `begin` to `end` as a message quotes it: at most
// kMostQuoted bytes, cut between characters, "..." after a cut.
constexpr std::size_t kMostQuoted = 60;
std::string quoted(const std::string& text, std::size_t begin, std::size_t end) {
  if (end - begin <= kMostQuoted) return text.substr(begin, end - begin);
  std::size_t cut = begin + kMostQuoted;
  while (cut > begin && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(begin, cut - begin) + "...";
}

}  // namespace

void MendedText::replace(std::size_t at, std::size_t count, const std::string& ascii) {
  bytes.replace(at, count, ascii);
  parsed.replace(at, count, ascii);
}

bool mend_curly_quotes(MendedText& text, std::size_t at, std::vector<TextRepair>& repairs) {
  std::size_t begin = line_around(text.bytes, at).first;
  if (begin > 0) begin = line_around(text.bytes, begin - 1).first;
  const std::size_t end = line_around(text.bytes, at).second;
  const std::string& b = text.bytes;
  bool mended = false;
  int line = line_of(b, begin);
  // One report a line and kind, however many quotes it holds.
  auto report = [&](const std::string& fault, const std::string& mend) {
    if (repairs.empty() || repairs.back().line != line || repairs.back().fault != fault)
      repairs.push_back({line, fault, mend, false});
    mended = true;
  };
  for (std::size_t i = begin; i < end; ++i) {
    if (b[i] == '\n') ++line;
    const bool opens = i == begin || blank(b[i - 1]);
    const unsigned char single_byte = static_cast<unsigned char>(b[i]);
    if (single_byte >= 0x91 && single_byte <= 0x94 &&
        (opens || static_cast<unsigned char>(b[i - 1]) < 0x80)) {
      // The curly quotes of Windows-1252, a byte each (never part of a UTF-8
      // character when an ASCII byte stands before them).
      const bool single = single_byte <= 0x92;
      const bool closes = i + 1 >= end || blank(b[i + 1]);
      if (single && !(single_byte == 0x91 ? opens : closes)) continue;
      report(single ? "Windows-1252 curly quotes (bytes 0x91 0x92)"
                    : "Windows-1252 curly quotes (bytes 0x93 0x94)",
             single ? "are read as '" : "are read as \"");
      text.replace(i, 1, single ? "'" : "\"");
      continue;
    }
    if (i + 2 >= end || b.compare(i, 2, "\xE2\x80") != 0) continue;
    const char mark = b[i + 2];
    const bool closes = i + 3 >= end || blank(b[i + 3]);
    // “x” becomes   "x"  : the quotes stand where CIF wants them, blanks
    // outside. A single one inside a word is an apostrophe (O’Brien) and stays.
    std::string ascii;
    if (mark == '\x9C' || mark == '\x9D') ascii = mark == '\x9C' ? "  \"" : "\"  ";
    if (mark == '\x98' && opens) ascii = "  '";
    if (mark == '\x99' && closes) ascii = "'  ";
    if (ascii.empty()) continue;
    const bool single = mark == '\x98' || mark == '\x99';
    report(single ? "curly quotes (\xE2\x80\x98 \xE2\x80\x99)" : "curly quotes (\xE2\x80\x9C \xE2\x80\x9D)",
           single ? "are read as '" : "are read as \"");
    text.replace(i, 3, ascii);
  }
  return mended;
}

bool mend_open_quote(MendedText& text, std::size_t at, std::vector<TextRepair>& repairs) {
  const std::string& p = text.parsed;
  const auto [begin, end] = line_around(p, at);
  if (begin < end && p[begin] == ';') return false;  // a text field's delimiter
  for (std::size_t i = begin; i < end;) {
    const char c = p[i];
    if (blank(c)) {
      ++i;
      continue;
    }
    if (c == '#') return false;
    if (c != '\'' && c != '"') {
      while (i < end && !blank(p[i])) ++i;
      continue;
    }
    // A quote closes a value only where a blank or the line's end follows it.
    std::size_t close = i + 1;
    while (close < end && !(p[close] == c && (close + 1 == end || blank(p[close + 1])))) ++close;
    std::size_t last = end;
    while (last > i + 1 && blank(p[last - 1])) --last;
    if (close < end) {
      // 'Hund' rule' with the parser stopped after the first close: one value
      // that ends at the line's last quote, quoted with the other quote.
      const char other = c == '\'' ? '"' : '\'';
      bool fits = close + 1 < last && p[last - 1] == c && at > close && at < last;
      for (std::size_t k = i + 1; fits && k + 1 < last; ++k) fits = !(p[k] == other && blank(p[k + 1]));
      if (fits) {
        repairs.push_back(
            {line_of(p, i), "a quote inside a quoted value (" + quoted(text.bytes, i, last) + ")",
             std::string("is read as part of it (the value is quoted with ") + other + ")", false});
        text.replace(i, 1, std::string(1, other));
        text.replace(last - 1, 1, std::string(1, other));
        return true;
      }
      i = close + 1;
      continue;
    }
    if (last == i + 1) return false;  // a quote alone ends its line: nothing to close
    repairs.push_back({line_of(p, i), "a quote left open (" + quoted(text.bytes, i, last) + ")",
                       "is closed at the end of its line", false});
    text.replace(last, 0, std::string(1, c));
    return true;
  }
  return false;
}

bool mend_loop_keyword(MendedText& text, std::size_t at, std::vector<TextRepair>& repairs) {
  const std::string& p = text.parsed;
  at = std::min(at, p.size());
  std::size_t word = at;
  while (word > 0 && !blank(p[word - 1])) --word;
  std::size_t end = word;
  while (end < p.size() && !blank(p[end])) ++end;
  const std::string written = text.bytes.substr(word, end - word);
  if (written.size() > kMostQuoted + 5) return false;  // no keyword, however misspelt
  const std::string lower = gemmi::to_lower(written);
  if (lower.compare(0, 4, "loop") != 0 || lower == "loop_") return false;
  std::string ascii;
  if (lower == "loop" && next_word(p, end) < p.size() && p[next_word(p, end)] == '_') {
    ascii = "loop_";
  } else if (lower.compare(0, 6, "loop__") == 0) {
    ascii = "loop_ " + written.substr(5);  // the first tag written against it
  } else if (lower.compare(0, 5, "loop_") == 0 && next_word(p, end) < p.size() &&
             p[next_word(p, end)] == '_') {
    ascii = "loop_" + std::string(end - word - 5, ' ');  // a name, which CIF loops do not have
  } else {
    return false;
  }
  repairs.push_back({line_of(p, word), "'" + written + "'",
                     "is read as '" + ascii.substr(0, ascii.find_last_not_of(' ') + 1) + "'", false});
  text.replace(word, end - word, ascii);
  return true;
}

std::string repaired_text(const std::string& text, std::vector<TextRepair>& repairs) {
  // A Unicode minus is read as '-', in a number, an operation (x,−y,z) or a
  // word alike; the line keeps its place, the two bytes more are dropped.
  std::string out;
  out.reserve(text.size());
  int line = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "\xE2\x88\x92") == 0) {
      if (repairs.empty() || repairs.back().line != line)  // one report a line
        repairs.push_back({line, "a Unicode minus (U+2212)", "is read as '-'", true, false});
      out += '-';
      i += 2;
      continue;
    }
    if (text[i] == '\n') ++line;
    out += text[i];
  }
  // Items before the first data_ belong to no block: they are passed over.
  const std::size_t start = first_block(out);
  std::size_t content = start;
  for (std::size_t i = 0; i < start && content == start; ++i) {
    if (out[i] == '#') i = std::min(out.find('\n', i), start);
    if (i < start && !std::isspace(static_cast<unsigned char>(out[i]))) content = i;
  }
  if (content < start && start < out.size()) {
    for (std::size_t i = 0; i < start; ++i)
      if (out[i] != '\n') out[i] = ' ';
    repairs.push_back({line_of(out, content), "text before the first data_",
                       "belongs to no data block and is not read", true});
  }
  return out;
}

}  // namespace velmora::cif
