// The free-form reader and the fixed-text read against the cases of free_form_reads.txt (its head
// gives the form of a row). Each case is read from standard input, again with CR LF line ends,
// and again from a data file, whose failures name channel 1 and the file; a case of megabytes is
// read from a file, counting the memory it takes (Linux): a line of any length must cost none.
#include "console/free_form_reader.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "console/console.hpp"
#include "console/input_source.hpp"
#include "console/run_end.hpp"
#include "fixture_rows.hpp"

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)  // the sanitizer keeps its own new
#include <malloc.h>
#define VELMORA_COUNT_MEMORY 1
// Bytes taken with new and not yet given back, and their peak, while counting.
long long live_bytes = 0, peak_bytes = 0;
bool counting = false;
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

// What the reads of a case did: each target (~ for one left alone) and the input left after them,
// or the exit status; and standard error.
struct Outcome {
  std::vector<std::string> values;
  std::string rest, err;
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  for (const std::string& value : o.values) *os << '[' << value << "] ";
  *os << "rest [" << o.rest << "] err [" << o.err << ']';
}

const std::source_location kRead = std::source_location::current();  // the reading statement

// One read per group of targets between semicolons; targets start out as -7777 or ###.
Outcome read(velmora::Console& console, InputSource& source, const std::string& targets) {
  Outcome out;
  std::istringstream groups(targets);
  try {
    for (std::string group; std::getline(groups, group, ';');) {
      if (group == "F") {
        out.values.push_back(velmora::read_fixed_text(console, source, 12, kRead));
        continue;
      }
      std::vector<float> reals(group.size(), -7777.0f);
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
        out.values.push_back(value == "-7777" || value == "###" ? "~" : value);
      }
    }
    for (int c; (c = source.get()) != InputSource::kEnd;) out.rest += static_cast<char>(c);
  } catch (const velmora::RunEnded& end) {
    out = {{"status " + std::to_string(end.status)}, "", ""};
  }
  out.err = console.err_text;
  return out;
}

Outcome expected(const FixtureRow& row, const std::string& channel) {
  const std::vector<std::string>& t = row.tokens;
  if (t[3] == "!") {
    return {{"status 2"},
            "",
            "At line " + std::to_string(kRead.line()) + " of free_form_reader_test.cpp, " + channel +
                "\nNo call trace is available.\nvelmora run-time error: " + t[4] + "\n"};
  }
  Outcome want;
  for (std::size_t i = 3; i < t.size(); ++i) {
    if (t[i] == "|")
      want.rest = token_text(t[++i]);
    else
      want.values.push_back(token_text(t[i]));
  }
  return want;
}

const std::string kTable = "channel 1, file \"table.txt\"";

TEST(FreeFormRead, EveryCaseOfTheTable) {
  std::vector<FixtureRow> rows = fixture_rows("console/free_form_reads.txt");
  EXPECT_GT(rows.size(), 250u);
  for (const FixtureRow& row : rows) {
    SCOPED_TRACE(row.where + " " + row.tokens[0]);
    const std::string input = token_text(row.tokens[1]), &targets = row.tokens[2];
    velmora::Console console(input, "\n");
    EXPECT_EQ(read(console, console.in, targets), expected(row, "channel 5"));
    if (input.size() > 1'000'000) {
#ifdef VELMORA_COUNT_MEMORY
      std::FILE* file = std::tmpfile();
      std::fwrite(input.data(), 1, input.size(), file);
      std::rewind(file);
      velmora::Console quiet("", "\n");
      InputSource table(file, velmora::kDataFileChannel, "table.txt");
      live_bytes = peak_bytes = 0;
      counting = true;
      Outcome got = read(quiet, table, targets);
      counting = false;
      std::fclose(file);
      EXPECT_EQ(got, expected(row, kTable));
      EXPECT_LT(peak_bytes, 1 << 20) << "bytes held by the read";
#endif
      continue;
    }
    velmora::Console quiet("", "\n");
    InputSource table(input, velmora::kDataFileChannel, "table.txt");
    EXPECT_EQ(read(quiet, table, targets), expected(row, kTable));
    if (input.find('\r') != std::string::npos) continue;
    std::string crlf;
    for (char c : input) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    velmora::Console crlf_console(crlf, "\n");
    EXPECT_EQ(read(crlf_console, crlf_console.in, targets), expected(row, "channel 5"));
  }
}

}  // namespace
