// Passing over faults in the items velmora does not read, and refusing them
// in the items it does.
#include "cif/document_checks.hpp"

#include <algorithm>
#include <map>
#include <set>

namespace velmora::cif {
namespace {

namespace cif = gemmi::cif;

std::string lower_underscored(std::string tag) {
  for (char& c : tag) c = c == '.' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tag;
}

// Tags as written, in lower case: a tag in both spellings (_atom_site.label
// and _atom_site_label) is no repeat; the first found is read.
std::string lower(const std::string& tag) { return gemmi::to_lower(tag); }

// The first tag of an item that velmora reads, or empty.
std::string read_tag(const cif::Item& item) {
  if (item.type == cif::ItemType::Pair && velmora_reads(item.pair[0])) return item.pair[0];
  if (item.type == cif::ItemType::Loop)
    for (const std::string& tag : item.loop.tags)
      if (velmora_reads(tag)) return tag;
  return {};
}

std::string some_tag(const cif::Item& item) {
  if (item.type == cif::ItemType::Pair) return item.pair[0];
  if (item.type == cif::ItemType::Loop && !item.loop.tags.empty()) return item.loop.tags[0];
  return {};
}

void check_repairs(cif::Document& document, const std::vector<TextRepair>& repairs, Warnings& warnings) {
  std::vector<const cif::Item*> items;
  for (const cif::Block& block : document.blocks)
    for (const cif::Item& item : block.items)
      if (item.line_number > 0) items.push_back(&item);
  for (const TextRepair& repair : repairs) {
    const std::string at = document.source + ":" + std::to_string(repair.line) + ": ";
    auto after = std::upper_bound(items.begin(), items.end(), repair.line,
                                  [](int line, const cif::Item* item) { return line < item->line_number; });
    const cif::Item* item = after == items.begin() ? nullptr : *(after - 1);
    const std::string used = item != nullptr ? read_tag(*item) : std::string();
    if (!used.empty() && !repair.in_used_items)
      fail_conversion(at + repair.fault + " in " + used + ", which velmora reads");
    if (used.empty() && !repair.needed) continue;
    const std::string tag = item != nullptr ? some_tag(*item) : std::string();
    const bool checked = lower_underscored(tag) == "_chemical_formula_sum" ||
                         lower_underscored(tag) == "_cell_formula_units_z";
    const std::string in =
        item != nullptr && used.empty()
            ? " (in " + tag + (checked ? ", read only to check the cell's content)" : ", not read)")
            : "";
    warnings.add(at + repair.fault + in + " " + repair.mend);
  }
}

void check_block(cif::Block& block, const std::string& source, Warnings& warnings) {
  std::map<std::string, const cif::Item*> seen;
  auto place = [&](const cif::Item& item) { return source + ":" + std::to_string(item.line_number) + ": "; };
  auto first_line = [&](const std::string& key) { return std::to_string(seen.at(key)->line_number); };
  for (cif::Item& item : block.items) {
    if (item.type == cif::ItemType::Pair) {
      const std::string& tag = item.pair[0];
      const std::string key = lower(tag);
      const bool used = velmora_reads(tag);
      if (item.pair[1].empty()) {
        if (used) fail_conversion(place(item) + tag + " has no value");
        warnings.add(place(item) + tag + " has no value; velmora does not read it");
        item.erase();
        continue;
      }
      if (seen.count(key) != 0) {
        const cif::Item& first = *seen.at(key);
        const bool same = first.type == cif::ItemType::Pair && first.pair[1] == item.pair[1];
        if (used && !same)
          fail_conversion(place(item) + tag + " is given a second time (first on line " + first_line(key) +
                          ") with another value");
        warnings.add(place(item) + tag + " is given a second time (first on line " + first_line(key) +
                     "); the first is read");
        item.erase();
        continue;
      }
      seen.emplace(key, &item);
    } else if (item.type == cif::ItemType::Loop) {
      for (const std::string& tag : item.loop.tags) {
        const std::string key = lower(tag);
        if (seen.count(key) == 0) {
          seen.emplace(key, &item);
          continue;
        }
        if (velmora_reads(tag))
          fail_conversion(place(item) + tag + " is given a second time (first on line " + first_line(key) +
                          ")");
        warnings.add(place(item) + tag + " is given a second time (first on line " + first_line(key) +
                     "); the first is read");
      }
    }
  }
}

}  // namespace

bool velmora_reads(std::string tag) {
  tag = lower_underscored(tag);
  // _chemical_formula_sum and _cell_formula_units_Z only feed a warning on the
  // cell's content: a fault in them is said, not refused.
  for (const char* prefix : {"_cell_length_", "_cell_angle_", "_cell_wave_vector", "_space_group_",
                             "_symmetry_", "_atom_site_", "_atom_type_"})
    if (tag.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) return true;
  return false;
}

void check_document(cif::Document& document, const std::vector<TextRepair>& repairs, Warnings& warnings) {
  check_repairs(document, repairs, warnings);
  std::set<std::string> names;
  for (cif::Block& block : document.blocks) {
    if (!names.insert(gemmi::to_lower(block.name)).second)
      warnings.add(document.source + ": data_" + block.name + " is given a second time; --block " +
                   block.name + " names the first");
    check_block(block, document.source, warnings);
  }
}

}  // namespace velmora::cif
