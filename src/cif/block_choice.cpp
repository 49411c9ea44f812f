// Choosing the data block to convert, and the one spelling of its tags.
#include "cif/block_choice.hpp"

#include <algorithm>
#include <gemmi/util.hpp>

namespace velmora::cif {
namespace {

namespace cif = gemmi::cif;

// Tags of the newer dictionaries put a dot after the category
// (_space_group_symop_magn_operation.xyz, _atom_site_moment.label), older files
// an underscore, and some a dot elsewhere (_space_group_symop.magn_operation_xyz).
// With every dot made an underscore, each name has one spelling.
void use_underscores(cif::Block& block) {
  auto respell = [](std::string& tag) { std::replace(tag.begin(), tag.end(), '.', '_'); };
  for (cif::Item& item : block.items) {
    if (item.type == cif::ItemType::Pair) respell(item.pair[0]);
    if (item.type == cif::ItemType::Loop)
      for (std::string& tag : item.loop.tags) respell(tag);
  }
}

bool lists_atom_sites(cif::Block& block) { return block.has_tag("_atom_site_fract_x"); }
}  // namespace

cif::Block& choose_block(cif::Document& document, const std::string& block_name, Warnings& warnings) {
  for (cif::Block& block : document.blocks) use_underscores(block);
  if (!block_name.empty()) {
    // Data block names are case-insensitive in CIF; gemmi::iequal takes its
    // second argument in lower case already.
    const std::string wanted = gemmi::to_lower(block_name);
    for (cif::Block& block : document.blocks)
      if (gemmi::iequal(block.name, wanted)) return block;
    std::string names;
    for (const cif::Block& block : document.blocks) names += " data_" + block.name;
    fail_conversion(document.source + ": no data block data_" + block_name + " (the file has" + names + ")");
  }
  cif::Block* chosen = nullptr;
  for (cif::Block& block : document.blocks) {
    if (!lists_atom_sites(block)) continue;
    if (chosen == nullptr) {
      chosen = &block;
    } else {
      warnings.add(document.source + ": data_" + block.name + " also lists atom sites; data_" + chosen->name +
                   " is converted (choose with --block NAME)");
    }
  }
  if (chosen == nullptr)
    fail_conversion(document.source + ": no atoms: no data block lists atom sites (_atom_site_fract_x)");
  return *chosen;
}

}  // namespace velmora::cif
