// Fixed-layout lines.
#include "console/fixed_layout_writer.hpp"

#include "console/console.hpp"
#include "numbers/fixed_point.hpp"
#include "console/run_end.hpp"

namespace velmora {

void write_fixed_layout(Console& console, std::initializer_list<FieldSpec> fields,
                        std::initializer_list<FieldValue> values, std::source_location statement) {
  OutputBuffer& out = console.out;
  auto value = values.begin();
  for (const FieldSpec& field : fields) {
    if (value == values.end()) break;
    switch (field.kind) {
      case FieldSpec::Kind::integer: out.append(format_integer_field(value->integer, field.width)); break;
      case FieldSpec::Kind::fixed_point:
        out.append(format_fixed_point(value->real, field.width, field.decimals));
        break;
      case FieldSpec::Kind::text: out.append(format_text_field(value->text, field.width)); break;
    }
    ++value;
  }
  end_output_line(console, statement);
}

}  // namespace velmora
