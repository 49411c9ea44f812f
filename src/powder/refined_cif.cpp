// Values that were not refined are written as they were read, without an
// uncertainty; a refined or tied one with its esd. An answer file's atoms,
// which carry no symmetry, are written as the sites of a cell of P1. A
// magnetic structure is written as a magnetic CIF: the operations with their
// time reversal, and each magnetic site's moment along a/|a|, b/|b|, c/|c|.
#include "powder/refined_cif.hpp"

#ifdef VELMORA_POWDER_FIT  // (the structure's names come with the refinement)

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "model/cartesian_moment.hpp"
#include "numbers/shortest_text.hpp"
#include "rietveld/displacement_freedom.hpp"
#include "rietveld/esd_text.hpp"
#include "rietveld/moment_freedom.hpp"
#include "rietveld/phase_structure.hpp"
#include "tables/symbol.hpp"

namespace velmora::powder {
namespace {

// A CIF value without spaces or quotes of its own: as it is, else in quotes.
std::string cif_token(const std::string& text) {
  if (!text.empty() && text.find_first_of(" \t'\"#$_;[]") == std::string::npos) return text;
  return "'" + text + "'";
}

std::string type_symbol(const CrystalSite& site) {
  if (site.element.empty()) return std::string(trimmed_text_of(site.atype));
  if (site.charge == 0) return site.element;
  return site.element + std::to_string(std::abs(site.charge)) + (site.charge > 0 ? "+" : "-");
}

// Each atom type's f' and f'' (those of its first atom), as the CIF core
// dictionary's _atom_type_scat_dispersion items record the values a
// refinement used.
void add_dispersion(TextSink& out, const Crystal& crystal, const std::vector<std::complex<double>>& xray,
                    const std::string& source) {
  if (xray.size() != crystal.atoms.size()) return;
  out.add(
      "loop_\n_atom_type_symbol\n_atom_type_scat_dispersion_real\n_atom_type_scat_dispersion_imag\n"
      "_atom_type_scat_dispersion_source\n");
  std::vector<std::string> written;
  for (std::size_t a = 0; a < crystal.atoms.size(); ++a) {
    const std::string symbol = type_symbol(crystal.site_of(crystal.atoms[a]));
    if (std::find(written.begin(), written.end(), symbol) != written.end()) continue;
    written.push_back(symbol);
    char values[64];
    std::snprintf(values, sizeof values, " %.4f %.4f ", xray[a].real() + 0.0, xray[a].imag() + 0.0);
    out.add(cif_token(symbol) + values + cif_token(source) + "\n");
  }
}

}  // namespace

TextFill refined_cif(const Crystal& start, const rietveld::PatternRefinement& r, const std::string& observed,
                     const std::vector<std::complex<double>>& xray, const std::string& dispersion_source) {
  return [&start, &r, observed, xray, dispersion_source](TextSink& out) {
    const Crystal& crystal = r.crystals.empty() || !r.crystals.front() ? start : *r.crystals.front();
    std::map<std::string, const rietveld::RefinedValue*> by_name;
    for (const rietveld::RefinedValue& v : r.values) by_name[v.name] = &v;
    // The refined value of name with its esd, else the value as read.
    const auto value = [&](const std::string& name, double read) {
      const auto found = by_name.find(name);
      if (found == by_name.end()) return shortest_text(read);
      const rietveld::RefinedValue& v = *found->second;
      return v.refined || !v.follows.empty() ? rietveld::with_esd(v.value, v.esd) : shortest_text(v.value);
    };
    out.add("# " + crystal.source + " refined by velmora-powder against " + observed + "\n");
    out.add("data_refined\n");
    const std::array<const char*, 6> cell_items = {"length_a",    "length_b",   "length_c",
                                                   "angle_alpha", "angle_beta", "angle_gamma"};
    for (std::size_t k = 0; k < 6; ++k)
      out.add(std::string("_cell_") + cell_items[k] + " " +
              value(std::string("cell.") + rietveld::kCellNames[k], crystal.cell[k]) + "\n");
    const bool magnetic = std::any_of(crystal.sites.begin(), crystal.sites.end(),
                                      [](const CrystalSite& site) { return site.magnetic; });
    if (magnetic) {
      out.add("loop_\n_space_group_symop_magn_operation.id\n_space_group_symop_magn_operation.xyz\n");
      if (crystal.operations.empty()) out.add("1 x,y,z,+1\n");
      for (std::size_t k = 0; k < crystal.operations.size(); ++k)
        out.add(std::to_string(k + 1) + " " + crystal.operations[k].op.triplet() +
                (crystal.operations[k].time_reversal < 0 ? ",-1\n" : ",+1\n"));
    } else {
      out.add("loop_\n_space_group_symop_operation_xyz\n");
      if (crystal.operations.empty()) out.add("x,y,z\n");
      for (const SymmetryOperation& op : crystal.operations) out.add(op.op.triplet() + "\n");
    }
    out.add(
        "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
        "_atom_site_fract_z\n_atom_site_occupancy\n_atom_site_B_iso_or_equiv\n");
    const std::vector<std::string> names = rietveld::site_names(crystal);
    const auto write_site = [&](std::size_t s, const std::array<double, 3>& xyz) {
      const CrystalSite& site = crystal.sites[s];
      const std::string base = "site." + names[s] + ".";
      // A B that an overall B moved carries its esd.
      const auto overall = by_name.find("biso.overall");
      const std::string biso =
          overall != by_name.end() && overall->second->refined && !by_name.count(base + "biso")
              ? rietveld::with_esd(site.biso, overall->second->esd)
              : value(base + "biso", site.biso);
      out.add(cif_token(names[s]) + " " + cif_token(type_symbol(site)) + " " + value(base + "x", xyz[0]) +
              " " + value(base + "y", xyz[1]) + " " + value(base + "z", xyz[2]) + " " +
              value(base + "occ", site.occ) + " " + biso + "\n");
    };
    if (crystal.operations.empty()) {
      for (const CrystalAtom& atom : crystal.atoms) write_site(atom.site, atom.xyz);
    } else {
      for (std::size_t s = 0; s < crystal.sites.size(); ++s) write_site(s, crystal.sites[s].xyz);
    }
    if (std::any_of(crystal.sites.begin(), crystal.sites.end(),
                    [](const CrystalSite& site) { return site.uaniso; })) {
      out.add(
          "loop_\n_atom_site_aniso_label\n_atom_site_aniso_U_11\n_atom_site_aniso_U_22\n"
          "_atom_site_aniso_U_33\n_atom_site_aniso_U_12\n_atom_site_aniso_U_13\n_atom_site_aniso_U_23\n");
      for (std::size_t s = 0; s < crystal.sites.size(); ++s) {
        if (!crystal.sites[s].uaniso) continue;
        std::string row = cif_token(names[s]);
        for (std::size_t j = 0; j < 6; ++j) {
          row += ' ';
          row += value("site." + names[s] + "." + rietveld::kDisplacementNames[j],
                       (*crystal.sites[s].uaniso)[j]);
        }
        out.add(row + "\n");
      }
    }
    if (magnetic) {
      out.add(
          "loop_\n_atom_site_moment.label\n_atom_site_moment.crystalaxis_x\n_atom_site_moment.crystalaxis_y\n"
          "_atom_site_moment.crystalaxis_z\n");
      // A size refined alone scales the components, its esd theirs.
      const auto write_moment = [&](std::size_t s, const std::array<double, 3>& m) {
        const std::string base = "moment." + names[s] + ".";
        const auto size = by_name.find(base + "size");
        const bool scaled = size != by_name.end() && size->second->refined;
        std::string row = cif_token(names[s]);
        for (std::size_t j = 0; j < 3; ++j) {
          const double v = m[j] == 0 ? 0.0 : m[j];  // no -0
          row += ' ';
          row += scaled ? rietveld::with_esd(v, std::abs(v / size->second->value) * size->second->esd)
                        : value(base + rietveld::kMomentComponentNames[j], v);
        }
        out.add(row + "\n");
      };
      if (crystal.operations.empty()) {
        for (const CrystalAtom& atom : crystal.atoms)
          if (crystal.site_of(atom).magnetic)
            write_moment(atom.site, rietveld::axis_components(crystal.cell, moment_components(atom.moment)));
      } else {
        for (std::size_t s = 0; s < crystal.sites.size(); ++s)
          if (crystal.sites[s].magnetic) write_moment(s, crystal.sites[s].moment);
      }
    }
    add_dispersion(out, crystal, xray, dispersion_source);
    const powder::PatternFit& fit = r.fit;
    std::size_t refined = 0;
    for (const rietveld::RefinedValue& v : r.values) refined += v.refined;
    out.add("_pd_proc_ls_prof_R_factor " + shortest_text(static_cast<float>(fit.rp)) + "\n");
    out.add("_pd_proc_ls_prof_wR_factor " + shortest_text(static_cast<float>(fit.rwp)) + "\n");
    out.add("_pd_proc_ls_prof_wR_expected " + shortest_text(static_cast<float>(fit.rexp)) + "\n");
    out.add("_refine_ls_goodness_of_fit_all " + shortest_text(static_cast<float>(std::sqrt(fit.chi2))) +
            "\n");
    out.add("_refine_ls_number_parameters " + std::to_string(refined) + "\n");
  };
}

}  // namespace velmora::powder

#endif
