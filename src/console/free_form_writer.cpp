// Free-form lines and the free-form layout of reals.
#include "console/free_form_writer.hpp"

#include <cmath>
#include <cstring>

#include "console/console.hpp"
#include "console/run_end.hpp"
#include "numbers/shortest_digits.hpp"

namespace velmora {

std::string format_free_real(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "+Inf";
  std::string text = std::signbit(value) ? "-" : "";
  ShortestDigits d = shortest_digits(value);
  std::string_view digits(d.digits, static_cast<std::size_t>(d.count));
  int e = d.exponent;
  if (e >= 0 && e <= 6) {
    std::size_t before_point = static_cast<std::size_t>(e) + 1;
    if (digits.size() <= before_point) {
      text += digits;
      text.append(before_point - digits.size(), '0');
      text += '.';
    } else {
      text += digits.substr(0, before_point);
      text += '.';
      text += digits.substr(before_point);
    }
  } else if (e >= -6 && e <= -1) {
    text += "0.";
    text.append(static_cast<std::size_t>(-e - 1), '0');
    text += digits;
  } else {
    text += digits[0];
    text += '.';
    text += digits.substr(1);
    text += e < 0 ? "E-" : "E+";
    text += std::to_string(e < 0 ? -e : e);
  }
  return text;
}

void write_free_form(Console& console, std::initializer_list<FreeItem> items,
                     std::source_location statement) {
  OutputBuffer& out = console.out;
  out.append(' ');
  bool previous_was_text = false;
  bool first = true;
  for (const FreeItem& item : items) {
    bool is_text = item.kind == FreeItem::Kind::text;
    if (!first && !(is_text && previous_was_text)) out.append(' ');
    switch (item.kind) {
      case FreeItem::Kind::text:
        out.append(item.text);
        break;
      case FreeItem::Kind::integer:
        out.append(std::to_string(item.integer));
        break;
      case FreeItem::Kind::real:
        out.append(format_free_real(item.real));
        break;
    }
    previous_was_text = is_text;
    first = false;
  }
  end_output_line(console, statement);
}

}  // namespace velmora
