// The printed cell: each vector a fixed-layout row, each volume a free-form
// line with its shortest digits. The file keeps the name of the geometry it
// prints, so that a refused write here is reported at cell.cpp as before.
#include "report/cell.hpp"

#include "console/console.hpp"
#include "console/fixed_layout_writer.hpp"
#include "console/free_form_writer.hpp"

namespace velmora {

void write_vector_row(Console& console, const Vector3& v) {
  constexpr FieldFormat f = fixed_field(8, 4);
  write_fixed_layout(console, {f, f, f}, {v.x, v.y, v.z});
}

void write_cell_geometry(Console& console, const CellGeometry& g) {
  write_free_form(console, {"Cell in Cartesian"});
  for (const Vector3& row : g.ccel) write_vector_row(console, row);
  write_free_form(console, {"b x c, c x a, a x b"});
  write_vector_row(console, g.bxc);
  write_vector_row(console, g.cxa);
  write_vector_row(console, g.axb);
  write_free_form(console, {"Cell vol, a.bxc", g.volumes[0]});
  write_free_form(console, {"Cell vol, b.cxa", g.volumes[1]});
  write_free_form(console, {"Cell vol, c.axb", g.volumes[2]});
  write_free_form(console, {"Recip cell, Cartesian"});
  for (const Vector3& row : g.crec) write_vector_row(console, row);
}

}  // namespace velmora
