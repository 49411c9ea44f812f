// Each of the tables' lines is one free-form text. The file keeps the name of
// the loader whose reading it prints, so that a refused write of these lines
// is reported at scattering_tables.cpp as before.
#include "report/scattering_tables.hpp"

#include <string_view>

#include "console/console.hpp"
#include "console/free_form_writer.hpp"

namespace velmora {
namespace {

std::string_view reading_line(TableFile file) {
  switch (file) {
    case TableFile::xray:
      return "Reading X-ray scattering coefficients";
    case TableFile::neutron:
      return "Reading neutron nuclear scattering coefficients";
    case TableFile::magnetic:
      return "Reading neutron magnetic scattering coefficients";
  }
  return {};
}

}  // namespace

TableReading table_reading_lines(Console& console) {
  TableReading reading;
  reading.file_begun = [&console](TableFile file) { write_free_form(console, {reading_line(file)}); };
  reading.labels_disagree = [&console](const Symbol& neutron, const Symbol& xray) {
    write_free_form(console, {text_of(neutron), text_of(xray), "!!!!!"});
    write_free_form(console, {"Labels in x-ray scatt factor file must agree with"});
    write_free_form(console, {"those in neutron scattering length file"});
  };
  return reading;
}

}  // namespace velmora
