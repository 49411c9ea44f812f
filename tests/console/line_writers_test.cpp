// Free-form and fixed-layout lines against the cases of printed_lines.txt (its head gives the form
// of a row), each printed with LF and with CR LF as the console's line end.
#include <gtest/gtest.h>

#include <charconv>
#include <sstream>

#include "console/console.hpp"
#include "console/fixed_layout_writer.hpp"
#include "console/free_form_writer.hpp"
#include "fixture_rows.hpp"

namespace {

// Calls f with the elements of v as the initializer list that the writers take.
template <typename T, typename F>
void as_list(const std::vector<T>& v, F f) {
  switch (v.size()) {
    case 0:
      return f({});
    case 1:
      return f({v[0]});
    case 2:
      return f({v[0], v[1]});
    case 3:
      return f({v[0], v[1], v[2]});
    case 4:
      return f({v[0], v[1], v[2], v[3]});
    case 5:
      return f({v[0], v[1], v[2], v[3], v[4]});
    case 6:
      return f({v[0], v[1], v[2], v[3], v[4], v[5]});
  }
  ADD_FAILURE() << "more than six items";
}

bool is_integer(const std::string& text) {
  std::int32_t value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::string printed(const std::vector<std::string>& t, std::string_view line_end) {
  std::vector<std::string> texts;
  for (std::size_t i = 1; t[i] != "=>"; ++i) texts.push_back(token_text(t[i]));
  velmora::Console console("", line_end);
  if (t[0] == "*") {
    std::vector<velmora::FreeItem> items;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (t[i + 1][0] == '"')
        items.emplace_back(std::string_view(texts[i]));
      else if (is_integer(texts[i]))
        items.emplace_back(std::stoi(texts[i]));
      else
        items.emplace_back(std::strtof(texts[i].c_str(), nullptr));
    }
    as_list(items, [&](std::initializer_list<velmora::FreeItem> list) { write_free_form(console, list); });
    return console.out.kept_text();
  }
  std::vector<velmora::FieldSpec> fields;
  std::istringstream specs(t[0]);
  for (std::string f; std::getline(specs, f, ',');) {
    int width = std::stoi(f.substr(1));
    fields.push_back(f[0] == 'I'   ? velmora::integer_field(width)
                     : f[0] == 'A' ? velmora::text_field(width)
                                   : velmora::fixed_field(width, std::stoi(f.substr(f.find('.') + 1))));
  }
  std::vector<velmora::FieldValue> values;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (fields[i].kind == velmora::FieldSpec::Kind::integer)
      values.emplace_back(std::stoi(texts[i]));
    else if (fields[i].kind == velmora::FieldSpec::Kind::text)
      values.emplace_back(std::string_view(texts[i]));
    else
      values.emplace_back(std::strtof(texts[i].c_str(), nullptr));
  }
  as_list(fields, [&](std::initializer_list<velmora::FieldSpec> field_list) {
    as_list(values, [&](std::initializer_list<velmora::FieldValue> list) {
      write_fixed_layout(console, field_list, list);
    });
  });
  return console.out.kept_text();
}

TEST(PrintedLine, EveryCaseOfTheTable) {
  std::vector<FixtureRow> rows = fixture_rows("console/printed_lines.txt");
  EXPECT_GT(rows.size(), 150u);
  for (const FixtureRow& row : rows) {
    const std::string want = token_text(row.tokens.back());
    EXPECT_EQ(printed(row.tokens, "\n"), want + "\n") << row.where;
    EXPECT_EQ(printed(row.tokens, "\r\n"), want + "\r\n") << row.where;
  }
}

}  // namespace
