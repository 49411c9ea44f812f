// The three reference tables read at the start of every run: X-ray
// form-factor coefficients, neutron coherent scattering lengths and neutron
// magnetic form-factor coefficients, each row keyed by a three-character
// label. The X-ray and neutron-length tables list the same labels in the same
// order, so one row number found by label serves both.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "tables/symbol.hpp"

namespace velmora {

struct Console;

// File names in the working directory, and the rows read from each.
inline constexpr std::string_view kXrayFileName = "x-ray_coefficients_from_int_tables_edited.txt";
inline constexpr std::string_view kNeutronFileName = "neutron_bcoh_from_international_tables_edited.txt";
inline constexpr std::string_view kMagneticFileName = "neutron_mag_from_international_tables_edited.txt";
inline constexpr int kXrayRows = 187;
inline constexpr int kNeutronRows = 187;
inline constexpr int kMagneticRows = 95;
inline constexpr int kHeaderWidth = 90;

// X-ray form factor x1 exp(-x2 s^2) + x3 exp(-x4 s^2) + x5 exp(-x6 s^2)
// + x7 exp(-x8 s^2) + x9, coefficients in file order.
struct XrayCoefficientRow {
  Symbol ion = kBlankSymbol;
  std::array<float, 9> xsf{};
};

// Coherent scattering length, held as one tenth of the file's number: a
// length in femtometres becomes 10^-12 cm.
struct NeutronLengthRow {
  Symbol nion = kBlankSymbol;
  float bcoh = 0.0f;
};

// Magnetic form factor <j0> = m1 exp(-m2 s^2) + m3 exp(-m4 s^2)
// + m5 exp(-m6 s^2) + m7, coefficients in file order.
struct MagneticFormRow {
  Symbol mion = kBlankSymbol;
  std::array<float, 7> msf{};
};

struct ScatteringTables {
  std::string header;  // first line of the file being read; never used otherwise
  std::array<XrayCoefficientRow, 220> xray;
  std::array<NeutronLengthRow, 200> neutron;
  // Rows of the X-ray and neutron-length tables in use: velmora's own, and
  // for the companions also the rows after them (see load_scattering_tables).
  int nuclear_rows = kXrayRows;
  // The note after the length of a row beyond velmora's (the isotope whose
  // length it is), by label.
  std::map<std::string, std::string, std::less<>> row_notes;
  // The neutron length as read, before scaling: one variable for every row, so
  // a row that ends at a slash before its length takes the previous row's (the
  // X-ray and magnetic rows have their own coefficients, which stay zero).
  float tempval = 0.0f;
  std::array<MagneticFormRow, 200> magnetic;
};

// The three files, in the order they are read.
enum class TableFile { xray, neutron, magnetic };

// The moments of the reading that a caller may print at, since the loader
// prints nothing: velmora announces each file once its header line is read,
// and gives its own message when a neutron-length row is labelled otherwise
// than the X-ray row of the same number, just before the run stops. Either
// may be left empty (the companions, which print neither).
struct TableReading {
  std::function<void(TableFile)> file_begun;
  std::function<void(const Symbol& neutron, const Symbol& xray)> labels_disagree;
};

// Reads the three files in order, telling `reading` as each begins. A label
// of the neutron-length file that differs from the X-ray label of the same
// row stops the run (after reading.labels_disagree); a missing, unreadable or
// short file fails it. A row may end early at a slash (see tempval).
//
// velmora reads its rows and never looks further. With rows_beyond set (the
// companions), the X-ray and neutron-length files are read on to their ends:
// one row a line, a label and its numbers (in the neutron-length file, then
// an optional note), the same labels in the same order in both, none
// repeating an earlier label (it would change what velmora's rows mean).
// These rows hold elements velmora's rows lack.
void load_scattering_tables(Console& console, ScatteringTables& tables, bool rows_beyond = false,
                            const TableReading& reading = {});

}  // namespace velmora
