// Free-form and fixed-layout lines against the cases of printed_lines.txt (its head gives the form
// of a row), each printed with LF and with CR LF as the console's line end.
#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "console/console.hpp"
#include "console/fixed_layout_writer.hpp"
#include "console/free_form_writer.hpp"
#include "fixture_rows.hpp"

namespace {

// Calls f with the elements of v (at most six) as the initializer list that the writers take.
template <typename T, typename F>
void as_list(const std::vector<T>& v, F f) {
  [&]<std::size_t... N>(std::index_sequence<N...>) {
    auto call = [&]<std::size_t... I>(std::index_sequence<I...>) { f({v[I]...}); };
    ((v.size() == N ? call(std::make_index_sequence<N>()) : void()), ...);
  }
  (std::make_index_sequence<7>());
}

// A value of kind I (integer), F (real) or A (text) as the item or field value of a line.
template <typename Item>
Item item(char kind, const std::string& text) {
  return kind == 'A'   ? Item(std::string_view(text))
         : kind == 'I' ? Item(std::stoi(text))
                       : Item(std::strtof(text.c_str(), nullptr));
}

std::string printed(const std::vector<std::string>& t, std::string_view line_end) {
  std::vector<std::string> specs, texts;  // the fields (for free form: the kind of each value)
  std::istringstream fields(t[0] == "*" ? "" : t[0]);
  for (std::string field; std::getline(fields, field, ',');) specs.push_back(field);
  for (std::size_t i = 1; t[i] != "=>"; ++i) {
    texts.push_back(token_text(t[i]));
    bool integer = texts.back().find_first_not_of("-0123456789") == std::string::npos;
    if (t[0] == "*") specs.push_back(t[i][0] == '"' ? "A" : integer ? "I" : "F");
  }
  std::vector<velmora::FreeItem> items;
  std::vector<velmora::FieldValue> values;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    items.push_back(item<velmora::FreeItem>(specs[i][0], texts[i]));
    values.push_back(item<velmora::FieldValue>(specs[i][0], texts[i]));
  }
  velmora::Console console("", line_end);
  if (t[0] == "*") {
    as_list(items, [&](std::initializer_list<velmora::FreeItem> list) { write_free_form(console, list); });
    return console.out.kept_text();
  }
  std::vector<velmora::FieldFormat> field_specs;
  for (const std::string& f : specs) {
    int width = std::stoi(f.substr(1));
    field_specs.push_back(f[0] == 'I'   ? velmora::integer_field(width)
                          : f[0] == 'A' ? velmora::text_field(width)
                                        : velmora::fixed_field(width, std::stoi(f.substr(f.find('.') + 1))));
  }
  as_list(field_specs, [&](std::initializer_list<velmora::FieldFormat> field_list) {
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
