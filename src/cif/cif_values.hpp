// Where a value of a CIF stands and how a number is taken from it: every
// message of a conversion names the file and the line (or the row of a loop),
// and every number read must be one and fit in single precision.
#pragma once

#include <gemmi/cifdoc.hpp>
#include <string>

namespace velmora::cif {

// Where a value stands, for messages: the line of a tag and value, or the
// line where a loop starts and the row within it.
struct Place {
  const std::string& source;
  const gemmi::cif::Item* item;

  std::string line() const { return source + ":" + std::to_string(item->line_number); }
  std::string row(int index) const {
    return line() + ": row " + std::to_string(index + 1) + " of the loop that starts here";
  }
};

// velmora stores every number in single precision: a value beyond it is refused.
double single_or_fail(double value, const std::string& where, const std::string& what,
                      const std::string& text);

// The number the text gives; text that is no number, or one beyond single
// precision, ends the conversion naming `where` and `what`.
double number_or_fail(const std::string& text, const std::string& where, const std::string& what);

}  // namespace velmora::cif
