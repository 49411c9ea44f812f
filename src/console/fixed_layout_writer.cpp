// Fixed-layout lines.
#include "console/fixed_layout_writer.hpp"

#include "console/console.hpp"
#include "console/run_end.hpp"
#include "numbers/fixed_point.hpp"

namespace velmora {

void write_fixed_layout(Console& console, std::initializer_list<FieldFormat> fields,
                        std::initializer_list<FieldValue> values, std::source_location statement) {
  OutputBuffer& out = console.out;
  auto value = values.begin();
  for (const FieldFormat& field : fields) {
    if (value == values.end()) break;
    char text[kMaxFieldWidth];
    switch (field.kind) {
      case FieldFormat::Kind::integer:
        put_integer_field(text, value->integer, field.width);
        break;
      case FieldFormat::Kind::fixed_point:
        put_fixed_point(text, value->real, field.width, field.decimals);
        break;
      case FieldFormat::Kind::text:
        put_text_field(text, value->text, field.width);
        break;
    }
    out.append(std::string_view(text, static_cast<std::size_t>(field.width)));
    ++value;
  }
  end_output_line(console, statement);
}

}  // namespace velmora
