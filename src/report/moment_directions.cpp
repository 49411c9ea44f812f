// The printed moment directions: the index in a field of 3, the components in
// fields of width 8 with 4 decimals. The file keeps the name of the geometry
// it prints, so that a refused write of a row is reported at
// moment_directions.cpp as before.
#include "report/moment_directions.hpp"

#include <cstdint>

#include "console/console.hpp"
#include "console/fixed_layout_writer.hpp"
#include "console/free_form_writer.hpp"

namespace velmora {

void write_moment_directions(Console& console, const std::vector<Vector3>& umom) {
  write_free_form(console, {"Unit vectors for mag moments"});
  std::int32_t j = 0;
  for (const Vector3& u : umom) {
    ++j;
    constexpr FieldFormat f = fixed_field(8, 4);
    write_fixed_layout(console, {integer_field(3), f, f, f}, {j, u.x, u.y, u.z});
  }
}

}  // namespace velmora
