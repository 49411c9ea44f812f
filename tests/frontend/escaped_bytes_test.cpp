// The one escaping of message bytes, on the rows of escaped_bytes.txt (text, then
// what a message shows of it), and its two promises over every pair of bytes: the
// result holds no control byte and no invalid UTF-8, and escaping it again
// changes nothing.
#include <gtest/gtest.h>

#include "console/fixture_rows.hpp"
#include "errors/escaping.hpp"

namespace {

using velmora::frontend::printable;
using velmora::frontend::valid_utf8;

TEST(Escaping, EveryRowIsShownAsWritten) {
  for (const FixtureRow& row : fixture_rows("frontend/escaped_bytes.txt")) {
    ASSERT_EQ(row.tokens.size(), 3u) << row.where;
    const std::string text = token_text(row.tokens[0]);
    EXPECT_EQ(printable(text), token_text(row.tokens[1])) << row.where;
    EXPECT_EQ(valid_utf8(text), token_text(row.tokens[2])) << row.where;
  }
}

TEST(Escaping, EveryPairOfBytesComesOutPrintableAndStable) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string text{static_cast<char>(a), static_cast<char>(b), 'z'};
      const std::string shown = printable(text);
      ASSERT_EQ(valid_utf8(shown), shown) << a << " " << b;
      ASSERT_EQ(printable(shown), shown) << a << " " << b;
      ASSERT_EQ(shown.back(), 'z') << a << " " << b;
    }
  }
}

}  // namespace
