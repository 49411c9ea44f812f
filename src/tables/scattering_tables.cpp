// Loading of the reference tables. Each file is opened for reading only,
// read from its start and closed before the next one is opened. Nothing is
// printed here: the lines velmora prints as it reads are its caller's.
#include "tables/scattering_tables.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <source_location>
#include <sstream>
#include <vector>

#include "console/console.hpp"
#include "console/free_form_reader.hpp"
#include "console/input_source.hpp"
#include "console/run_end.hpp"

namespace velmora {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// An open data file and the source that reads it.
struct DataFile {
  OpenFile file;  // null when the text comes from the console's memory
  InputSource source;
};

// Opens an existing data file for reading; never creates or changes it. A
// folder or a device of that name is refused here on every platform (some
// systems would open a folder and fail only at the first read, others refuse
// it with their own reason), so that the diagnostic is the same everywhere. When the console
// holds the data files in memory, the file is taken from there and the file
// system is not touched; a name it lacks fails as a missing file does.
DataFile open_data_file(Console& console, std::string_view name,
                        std::source_location statement = std::source_location::current()) {
  std::string path(name);
  const FailurePlace place{statement, kDataFileChannel, path, true};
  if (console.data_files) {
    auto found = console.data_files->find(name);
    if (found == console.data_files->end()) fail_run(console, place, std::strerror(ENOENT));
    return {nullptr, InputSource(found->second, kDataFileChannel, path)};
  }
  std::error_code ignored;
  const std::filesystem::file_status status = std::filesystem::status(path, ignored);
  if (std::filesystem::is_directory(status)) fail_run(console, place, std::strerror(EISDIR));
  // A device (a table linked to /dev/zero) would be read without end.
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
      !std::filesystem::is_fifo(status))
    fail_run(console, place, "Not a regular file");
  errno = 0;
  OpenFile file(std::fopen(path.c_str(), "rb"));
  if (!file) fail_run(console, place, std::strerror(errno != 0 ? errno : ENOENT));
  std::FILE* opened = file.get();
  return {std::move(file), InputSource(opened, kDataFileChannel, path)};
}

// One line of the rows after velmora's: its number, its label and the words after it.
struct FurtherRow {
  long line = 0;
  Symbol label = kBlankSymbol;
  std::vector<std::string> words;
};

// The rows from where the source stands to its end, blank lines skipped.
std::vector<FurtherRow> further_rows(InputSource& source) {
  std::vector<FurtherRow> rows;
  for (int c = source.get(); c != InputSource::kEnd; c = source.get()) {
    FurtherRow row;
    row.line = source.line();
    std::string text;
    for (; c != '\n' && c != InputSource::kEnd; c = source.get()) text += static_cast<char>(c);
    std::istringstream words(text);
    for (std::string word; words >> word;) row.words.push_back(word);
    if (!row.words.empty()) rows.push_back(std::move(row));
    if (c == InputSource::kEnd) break;
  }
  return rows;
}

// Reads the rows after velmora's, at most `room`, into read_row(row, r) for
// r = rows, rows + 1, ...: the label checked here, the numbers by read_number.
template <typename ReadRow>
void read_further_rows(Console& console, InputSource& source, const ScatteringTables& tables, int rows,
                       int room, ReadRow read_row) {
  for (FurtherRow& row : further_rows(source)) {
    const FailurePlace place{std::source_location::current(), kDataFileChannel, source.name(), false,
                             row.line};
    const std::string label = row.words.front();
    row.words.erase(row.words.begin());
    if (label.size() > row.label.size())
      fail_run(console, place, "label \"" + label + "\" is longer than three characters");
    std::copy(label.begin(), label.end(), row.label.begin());
    if (rows == room)
      fail_run(console, place, "more rows than the " + std::to_string(room) + " the companions hold");
    for (int r = 0; r < rows; ++r)
      if (tables.xray[r].ion == row.label)
        fail_run(console, place,
                 "label \"" + label + "\" repeats row " + std::to_string(r + 1) +
                     " (a row after velmora's may only add a label)");
    read_row(row, place, rows++);
  }
}

// A number of a row after velmora's, read as velmora reads a real number;
// anything else, or a number beyond the float range, fails the run.
float read_number(Console& console, const FailurePlace& place, const std::string& word) {
  const bool number_text = word.find_first_not_of("0123456789+-.eEdD") == std::string::npos;
  float value = 0.0f;
  if (number_text) {
    Console scratch{std::string()};
    InputSource one(word, kDataFileChannel, place.file_name);
    try {
      read_free_form(scratch, one, {target(value)});
    } catch (const RunEnded&) {
      value = std::numeric_limits<float>::quiet_NaN();
    }
  }
  if (!number_text || !std::isfinite(value))
    fail_run(console, place, "\"" + word + "\" is not a finite number");
  return value;
}

// One table file: open it, take its header line, tell the reading that it
// has begun, read `rows` rows through read_row(source, r), with `further` the
// rows after them up to the file's end, and close it.
template <typename ReadRow, typename Further>
void read_table_file(Console& console, ScatteringTables& tables, std::string_view name, TableFile which,
                     const TableReading& reading, int rows, ReadRow read_row, Further further) {
  DataFile file = open_data_file(console, name);
  InputSource& source = file.source;
  tables.header = read_fixed_text(console, source, kHeaderWidth);
  if (reading.file_begun) reading.file_begun(which);
  for (int r = 0; r < rows; ++r) read_row(source, r);
  further(source);
}

void load_xray_table(Console& console, ScatteringTables& tables, bool rows_beyond,
                     const TableReading& reading) {
  read_table_file(
      console, tables, kXrayFileName, TableFile::xray, reading, kXrayRows,
      [&](InputSource& source, int r) {
        XrayCoefficientRow& row = tables.xray[r];
        auto& x = row.xsf;
        read_free_form(console, source,
                       {target(row.ion), target(x[0]), target(x[1]), target(x[2]), target(x[3]), target(x[4]),
                        target(x[5]), target(x[6]), target(x[7]), target(x[8])});
      },
      [&](InputSource& source) {
        if (!rows_beyond) return;
        // The neutron-length table holds fewer rows; its reading keeps the two alike.
        read_further_rows(console, source, tables, kXrayRows, static_cast<int>(tables.neutron.size()),
                          [&](const FurtherRow& further, const FailurePlace& place, int r) {
                            XrayCoefficientRow& row = tables.xray[r];
                            if (further.words.size() != row.xsf.size())
                              fail_run(console, place,
                                       "row " + std::string(text_of(further.label)) + " has " +
                                           std::to_string(further.words.size()) + " numbers, not " +
                                           std::to_string(row.xsf.size()));
                            row.ion = further.label;
                            for (std::size_t i = 0; i < row.xsf.size(); ++i)
                              row.xsf[i] = read_number(console, place, further.words[i]);
                            tables.nuclear_rows = r + 1;
                          });
      });
}

// Reads the lengths and checks each row's label against the X-ray row of
// the same number, since one row number found by label serves both tables.
void load_neutron_table(Console& console, ScatteringTables& tables, bool rows_beyond,
                        const TableReading& reading) {
  constexpr float kTenth = 0.1f;
  const auto scaled = [](float length) { return static_cast<float>(static_cast<double>(length) * kTenth); };
  read_table_file(
      console, tables, kNeutronFileName, TableFile::neutron, reading, kNeutronRows,
      [&](InputSource& source, int r) {
        NeutronLengthRow& row = tables.neutron[r];
        read_free_form(console, source, {target(row.nion), target(tables.tempval)});
        row.bcoh = scaled(tables.tempval);
        const Symbol& xray_label = tables.xray[r].ion;
        if (row.nion != xray_label) {
          if (reading.labels_disagree) reading.labels_disagree(row.nion, xray_label);
          stop_run(console, StopKind::own_error);
        }
      },
      [&](InputSource& source) {
        if (!rows_beyond) return;
        int rows = kNeutronRows;
        read_further_rows(console, source, tables, kNeutronRows, static_cast<int>(tables.neutron.size()),
                          [&](const FurtherRow& further, const FailurePlace& place, int r) {
                            const std::string label(text_of(further.label));
                            if (r >= tables.nuclear_rows || tables.xray[r].ion != further.label) {
                              std::string xray_row = "is missing";
                              if (r < tables.nuclear_rows)
                                xray_row =
                                    std::string(1, '"').append(text_of(tables.xray[r].ion)).append(1, '"');
                              fail_run(console, place,
                                       "row " + std::to_string(r + 1) + " is labelled \"" + label +
                                           "\", the X-ray table's row " + xray_row +
                                           " (the two tables list the same labels)");
                            }
                            if (further.words.empty())
                              fail_run(console, place, "row " + label + " has no length");
                            NeutronLengthRow& row = tables.neutron[r];
                            row.nion = further.label;
                            row.bcoh = scaled(read_number(console, place, further.words[0]));
                            std::string note;
                            for (std::size_t i = 1; i < further.words.size(); ++i)
                              note.append(i > 1 ? " " : "").append(further.words[i]);
                            if (!note.empty()) tables.row_notes[label] = note;
                            rows = r + 1;
                          });
        if (rows != tables.nuclear_rows)
          fail_run(console,
                   {std::source_location::current(), kDataFileChannel, source.name(), false, source.line()},
                   "ends at row " + std::to_string(rows) + ", the X-ray table at row " +
                       std::to_string(tables.nuclear_rows) + " (the two tables list the same labels)");
      });
}

void load_magnetic_table(Console& console, ScatteringTables& tables, const TableReading& reading) {
  read_table_file(
      console, tables, kMagneticFileName, TableFile::magnetic, reading, kMagneticRows,
      [&](InputSource& source, int r) {
        MagneticFormRow& row = tables.magnetic[r];
        auto& m = row.msf;
        read_free_form(console, source,
                       {target(row.mion), target(m[0]), target(m[1]), target(m[2]), target(m[3]),
                        target(m[4]), target(m[5]), target(m[6])});
      },
      [](InputSource&) {});
}

}  // namespace

void load_scattering_tables(Console& console, ScatteringTables& tables, bool rows_beyond,
                            const TableReading& reading) {
  tables.nuclear_rows = kXrayRows;
  tables.row_notes.clear();
  load_xray_table(console, tables, rows_beyond, reading);
  load_neutron_table(console, tables, rows_beyond, reading);
  load_magnetic_table(console, tables, reading);
}

}  // namespace velmora
