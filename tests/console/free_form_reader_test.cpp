// The free-form reader and the fixed-text read against the cases of free_form_reads.txt (its head
// gives the form of a row). Each case is read from standard input, again with CR LF line ends,
// and again from a data file, whose failures name channel 1 and the file, counting the memory the
// read takes (Linux): a line of any length must cost none.
#include "console/free_form_reader.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "console/console.hpp"
#include "console/input_source.hpp"
#include "console/run_end.hpp"
#include "fixture_rows.hpp"

// Bytes taken with new and not yet given back, and their peak, while counting (Linux).
long long live_bytes = 0, peak_bytes = 0;
bool counting = false;
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)  // the sanitizer keeps its own new
#include <malloc.h>
void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  if (counting)
    peak_bytes = std::max(peak_bytes, live_bytes += static_cast<long long>(malloc_usable_size(p)));
  return p;
}
static void give_back(void* p) {
  if (counting && p != nullptr) live_bytes -= static_cast<long long>(malloc_usable_size(p));
  std::free(p);
}
void operator delete(void* p) noexcept { give_back(p); }
void operator delete(void* p, std::size_t) noexcept { give_back(p); }
#endif

namespace {

using velmora::InputSource;

const std::source_location kRead = std::source_location::current();  // the reading statement

// What the reads did: the targets in brackets ([~] for one left alone) and the input left after
// them, or the exit status; then standard error. One read per group of targets between semicolons.
std::string read(velmora::Console& console, InputSource& source, const std::string& targets) {
  std::string out;
  std::istringstream groups(targets);
  try {
    for (std::string group; std::getline(groups, group, ';');) {
      if (group == "F") {
        out.append("[").append(velmora::read_fixed_text(console, source, 12, kRead)).append("]");
        continue;
      }
      std::vector<float> reals(group.size(), -7777.0f);  // values that no case reads
      std::vector<std::int32_t> integers(group.size(), -7777);
      std::vector<std::array<char, 3>> texts(group.size(), {'#', '#', '#'});
      std::vector<velmora::ReadTarget> list;
      for (std::size_t i = 0; i < group.size(); ++i) {
        list.push_back(group[i] == 'R'   ? velmora::target(reals[i])
                       : group[i] == 'I' ? velmora::target(integers[i])
                                         : velmora::target(std::span<char>(texts[i])));
      }
      velmora::read_free_form(console, source, list, kRead);
      for (std::size_t i = 0; i < group.size(); ++i) {
        char buf[64];
        std::string value = group[i] == 'R'   ? std::string(buf, std::to_chars(buf, buf + 64, reals[i]).ptr)
                            : group[i] == 'I' ? std::to_string(integers[i])
                                              : std::string(texts[i].data(), 3);
        out.append("[").append(value == "-7777" || value == "###" ? "~" : value).append("]");
      }
    }
    out += " rest [";
    for (int c; (c = source.get()) != InputSource::kEnd;) out += static_cast<char>(c);
    out += "]";
  } catch (const velmora::RunEnded& end) {
    out = "status " + std::to_string(end.status);
  }
  return out + "\n" + console.err_text;
}

std::string expected(const std::vector<std::string>& t, const std::string& channel) {
  if (t[3] == "!") {
    return "status 2\nAt line " + std::to_string(kRead.line()) + " of free_form_reader_test.cpp, " + channel +
           "\nNo call trace is available.\nvelmora run-time error: " + t[4] + "\n";
  }
  std::string values, rest;
  for (std::size_t i = 3; i < t.size(); ++i) {
    if (t[i] == "|")
      rest = token_text(t[++i]);
    else
      values.append("[").append(token_text(t[i])).append("]");
  }
  return values + " rest [" + rest + "]\n";
}

TEST(FreeFormRead, EveryCaseOfTheTable) {
  std::vector<FixtureRow> rows = fixture_rows("console/free_form_reads.txt");
  EXPECT_GT(rows.size(), 250u);
  for (const FixtureRow& row : rows) {
    SCOPED_TRACE(row.where + " " + row.tokens[0]);
    const std::string input = token_text(row.tokens[1]), &targets = row.tokens[2];
    velmora::Console console(input, "\n");
    EXPECT_EQ(read(console, console.in, targets), expected(row.tokens, "channel 5"));
    std::FILE* file = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), file);
    std::rewind(file);
    velmora::Console quiet("", "\n");
    InputSource table(file, velmora::kDataFileChannel, "table.txt");
    live_bytes = peak_bytes = 0;
    counting = true;
    std::string got = read(quiet, table, targets);
    counting = false;
    std::fclose(file);
    EXPECT_EQ(got, expected(row.tokens, "channel 1, file \"table.txt\""));
    EXPECT_LT(peak_bytes, 1 << 20) << "bytes held by the read";
    if (input.find('\r') != std::string::npos || input.size() > 1'000'000) continue;
    velmora::Console crlf(std::regex_replace(input, std::regex("\n"), "\r\n"), "\n");
    EXPECT_EQ(read(crlf, crlf.in, targets), expected(row.tokens, "channel 5"));
  }
}

}  // namespace
