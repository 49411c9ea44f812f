// Loading of the reference tables. Each file is opened for reading only,
// read from its start and closed before the next one is opened.
#include "tables/scattering_tables.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <source_location>

#include "console/console.hpp"
#include "console/free_form_reader.hpp"
#include "console/free_form_writer.hpp"
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

// One table file: open it, take its header line, announce it, read `rows`
// rows through read_row(source, r) and close it.
template <typename ReadRow>
void read_table_file(Console& console, ScatteringTables& tables, std::string_view name, const char* progress,
                     int rows, ReadRow read_row) {
  DataFile file = open_data_file(console, name);
  InputSource& source = file.source;
  tables.header = read_fixed_text(console, source, kHeaderWidth);
  write_free_form(console, {progress});
  for (int r = 0; r < rows; ++r) read_row(source, r);
}

void load_xray_table(Console& console, ScatteringTables& tables) {
  read_table_file(console, tables, kXrayFileName, "Reading X-ray scattering coefficients", kXrayRows,
                  [&](InputSource& source, int r) {
                    XrayCoefficientRow& row = tables.xray[r];
                    auto& x = row.xsf;
                    read_free_form(console, source,
                                   {target(text_span(row.ion)), target(x[0]), target(x[1]), target(x[2]),
                                    target(x[3]), target(x[4]), target(x[5]), target(x[6]), target(x[7]),
                                    target(x[8])});
                  });
}

// Reads the lengths and checks each row's label against the X-ray row of
// the same number, since one row number found by label serves both tables.
void load_neutron_table(Console& console, ScatteringTables& tables) {
  constexpr float kTenth = 0.1f;
  read_table_file(console, tables, kNeutronFileName, "Reading neutron nuclear scattering coefficients",
                  kNeutronRows, [&](InputSource& source, int r) {
                    NeutronLengthRow& row = tables.neutron[r];
                    read_free_form(console, source, {target(text_span(row.nion)), target(tables.tempval)});
                    row.bcoh = static_cast<float>(static_cast<double>(tables.tempval) * kTenth);
                    const Symbol& xray_label = tables.xray[r].ion;
                    if (row.nion != xray_label) {
                      write_free_form(console, {text_of(row.nion), text_of(xray_label), "!!!!!"});
                      write_free_form(console, {"Labels in x-ray scatt factor file must agree with"});
                      write_free_form(console, {"those in neutron scattering length file"});
                      stop_run(console, StopKind::own_error);
                    }
                  });
}

void load_magnetic_table(Console& console, ScatteringTables& tables) {
  read_table_file(console, tables, kMagneticFileName, "Reading neutron magnetic scattering coefficients",
                  kMagneticRows, [&](InputSource& source, int r) {
                    MagneticFormRow& row = tables.magnetic[r];
                    auto& m = row.msf;
                    read_free_form(console, source,
                                   {target(text_span(row.mion)), target(m[0]), target(m[1]), target(m[2]),
                                    target(m[3]), target(m[4]), target(m[5]), target(m[6])});
                  });
}

}  // namespace

void load_scattering_tables(Console& console, ScatteringTables& tables) {
  load_xray_table(console, tables);
  load_neutron_table(console, tables);
  load_magnetic_table(console, tables);
}

}  // namespace velmora
