// The HTML report's escaping on the rows of html_escapes.txt (text, then what the
// page's text and its JSON hold of it), and its promise over every pair of bytes
// before a closing tag: neither the text nor the JSON holds a < that could open or
// close an element, nor a line separator that a script reads as a line end.
#include "powder/html_text.hpp"

#include <gtest/gtest.h>

#include "console/fixture_rows.hpp"

namespace {

using velmora::powder::html_text;
using velmora::powder::script_json_string;

TEST(HtmlEscaping, EveryRowIsWrittenAsExpected) {
  for (const FixtureRow& row : fixture_rows("powder/html_escapes.txt")) {
    ASSERT_EQ(row.tokens.size(), 3u) << row.where;
    const std::string text = token_text(row.tokens[0]);
    EXPECT_EQ(html_text(text), token_text(row.tokens[1])) << row.where;
    EXPECT_EQ(script_json_string(text), token_text(row.tokens[2])) << row.where;
  }
}

TEST(HtmlEscaping, NoPairOfBytesEndsTheScriptOrOpensAnElement) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string text =
          std::string{static_cast<char>(a), static_cast<char>(b)} + "</script>\xe2\x80\xa8";
      const std::string page = html_text(text), json = script_json_string(text);
      ASSERT_EQ(page.find_first_of("<>"), std::string::npos) << a << " " << b;
      ASSERT_EQ(json.find_first_of("<>&"), std::string::npos) << a << " " << b;
      ASSERT_EQ(json.find("\xe2\x80\xa8"), std::string::npos) << a << " " << b;
    }
  }
}

}  // namespace
