// The wording of the answers and of the table faults that velmora's readers
// stop at, for the companions' messages.
#include "errors/velmora_failure.hpp"

#include <filesystem>

#include "console/console.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora::frontend {

std::string answer_text(const Console& console) {
  const DialogueAnswer& a = console.answer;
  const std::string of = std::to_string(a.index + 1) + " of " + std::to_string(a.count);
  switch (a.kind) {
    case DialogueAnswer::Kind::lattice:
      return "the lattice parameters a b c alpha beta gamma";
    case DialogueAnswer::Kind::atom_count:
      return "the number of atoms";
    case DialogueAnswer::Kind::atom:
      return "atom " + of + ": type x y z occ Biso Mag";
    case DialogueAnswer::Kind::moment:
      return "moment " + of + ": size, angle to x, angle to z";
    case DialogueAnswer::Kind::reflection_count:
      return "the number of reflections";
    case DialogueAnswer::Kind::reflection:
      return "reflection " + of + ": h k l";
    case DialogueAnswer::Kind::none:
      break;
  }
  return {};
}

Failure answer_failure(const Console& console, const std::string& path) {
  Failure failure;
  failure.code = FailureCode::answers;
  failure.file = path;
  failure.answer = answer_text(console);
  if (console.failure) {
    failure.line = console.failure->line;
    failure.reason = console.failure->reason == "End of file" ? "the file ends before this answer"
                                                              : console.failure->reason;
  } else {
    failure.reason = "velmora's dialogue stopped here";
  }
  return failure;
}

Failure table_failure(const Console& console, const ScatteringTables& tables, const std::string& folder) {
  Failure failure;
  failure.code = FailureCode::table;
  if (console.failure) {
    failure.file = (std::filesystem::path(folder) / console.failure->file_name).string();
    failure.line = console.failure->line;
    failure.reason = "velmora cannot use this table: " + console.failure->reason;
    return failure;
  }
  failure.file = (std::filesystem::path(folder) / kNeutronFileName).string();
  for (int r = 0; r < kNeutronRows; ++r) {
    if (tables.neutron[r].nion == tables.xray[r].ion) continue;
    failure.reason = "velmora cannot use this table: row " + std::to_string(r + 1) + " is labelled \"" +
                     std::string(text_of(tables.neutron[r].nion)) + "\", the X-ray table's row \"" +
                     std::string(text_of(tables.xray[r].ion)) + "\" (the two tables list the same labels)";
    return failure;
  }
  failure.reason = "velmora cannot use this table";
  return failure;
}

}  // namespace velmora::frontend
