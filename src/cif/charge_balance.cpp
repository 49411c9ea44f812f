// The balance is an exhaustive search over the uncharged elements' common
// states, bounded so that a cell of many such elements is left undecided
// rather than searched for long. The tolerance allows for occupancies given
// to a few decimals.
#include "cif/charge_balance.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

namespace velmora::cif {
namespace {

// At most this many assignments are tried (4^10, ten elements of four states).
constexpr long kMaxAssignments = 1L << 20;

const std::unordered_map<std::string_view, std::vector<int>>& state_table() {
  static const std::unordered_map<std::string_view, std::vector<int>> table = {
      {"H", {1}},           {"Li", {1}},          {"Be", {2}},        {"B", {3}},       {"C", {4, -4}},
      {"N", {-3, 5}},       {"O", {-2}},          {"F", {-1}},        {"Na", {1}},      {"Mg", {2}},
      {"Al", {3}},          {"Si", {4}},          {"P", {5, -3}},     {"S", {-2, 6}},   {"Cl", {-1}},
      {"K", {1}},           {"Ca", {2}},          {"Sc", {3}},        {"Ti", {4, 3}},   {"V", {3, 4, 5}},
      {"Cr", {3, 2, 6}},    {"Mn", {2, 3, 4}},    {"Fe", {3, 2}},     {"Co", {2, 3}},   {"Ni", {2, 3}},
      {"Cu", {2, 1}},       {"Zn", {2}},          {"Ga", {3}},        {"Ge", {4}},      {"As", {5, 3, -3}},
      {"Se", {-2, 4, 6}},   {"Br", {-1}},         {"Rb", {1}},        {"Sr", {2}},      {"Y", {3}},
      {"Zr", {4}},          {"Nb", {5, 4}},       {"Mo", {6, 4, 5}},  {"Tc", {4, 7}},   {"Ru", {4, 3, 5}},
      {"Rh", {3, 4}},       {"Pd", {2, 4}},       {"Ag", {1}},        {"Cd", {2}},      {"In", {3}},
      {"Sn", {4, 2}},       {"Sb", {5, 3, -3}},   {"Te", {-2, 4, 6}}, {"I", {-1}},      {"Cs", {1}},
      {"Ba", {2}},          {"La", {3}},          {"Ce", {3, 4}},     {"Pr", {3, 4}},   {"Nd", {3}},
      {"Pm", {3}},          {"Sm", {3, 2}},       {"Eu", {3, 2}},     {"Gd", {3}},      {"Tb", {3, 4}},
      {"Dy", {3}},          {"Ho", {3}},          {"Er", {3}},        {"Tm", {3}},      {"Yb", {3, 2}},
      {"Lu", {3}},          {"Hf", {4}},          {"Ta", {5}},        {"W", {6, 4, 5}}, {"Re", {4, 5, 6, 7}},
      {"Os", {4, 5, 6}},    {"Ir", {4, 3, 5}},    {"Pt", {2, 4}},     {"Au", {3, 1}},   {"Hg", {2, 1}},
      {"Tl", {1, 3}},       {"Pb", {2, 4}},       {"Bi", {3, 5}},     {"Th", {4}},      {"U", {4, 6, 3, 5}},
      {"Np", {5, 4, 3, 6}}, {"Pu", {4, 3, 5, 6}}, {"Am", {3, 4}},
  };
  return table;
}

// Ce to Tm: the lanthanides whose 3+ ion has an open 4f shell.
bool magnetic_lanthanide(gemmi::Element element) {
  const int z = element.atomic_number();
  return z >= 58 && z <= 69;
}

}  // namespace

std::vector<int> common_oxidation_states(gemmi::Element element) {
  const auto found = state_table().find(element.name());
  return found == state_table().end() ? std::vector<int>{} : found->second;
}

std::map<int, int> balanced_charges(const std::vector<SiteContent>& content) {
  // The fixed charge, and each uncharged element's atoms and states.
  double fixed = 0, scale = 0;
  std::map<int, double> unknown;
  for (const SiteContent& site : content) {
    if (site.charge) {
      fixed += *site.charge * site.count;
      scale += std::abs(*site.charge) * site.count;
    } else {
      unknown[site.element.atomic_number()] += site.count;
    }
  }
  std::vector<int> zs;
  std::vector<double> counts;
  std::vector<std::vector<int>> states;
  long assignments = 1;
  for (const auto& [z, count] : unknown) {
    zs.push_back(z);
    counts.push_back(count);
    states.push_back(common_oxidation_states(gemmi::Element(z)));
    assignments *= static_cast<long>(states.back().size());
    if (assignments == 0 || assignments > kMaxAssignments) return {};
  }
  std::vector<int> agreed(zs.size(), 0);
  std::vector<bool> differs(zs.size(), false);
  bool any = false;
  std::vector<std::size_t> pick(zs.size(), 0);
  for (long n = 0; n < assignments; ++n) {
    double total = fixed, size = scale;
    for (std::size_t i = 0; i < zs.size(); ++i) {
      const int q = states[i][pick[i]];
      total += q * counts[i];
      size += std::abs(q) * counts[i];
    }
    // Balanced within a part in 500 of the charges, and within 0.02 of an
    // electron for small cells.
    if (std::fabs(total) <= std::max(0.02, 0.002 * size)) {
      for (std::size_t i = 0; i < zs.size(); ++i) {
        const int q = states[i][pick[i]];
        if (!any)
          agreed[i] = q;
        else if (agreed[i] != q)
          differs[i] = true;
      }
      any = true;
    }
    for (std::size_t i = 0; i < pick.size() && ++pick[i] == states[i].size(); ++i) pick[i] = 0;
  }
  std::map<int, int> charges;
  for (std::size_t i = 0; any && i < zs.size(); ++i)
    if (!differs[i]) charges[zs[i]] = agreed[i];
  return charges;
}

bool two_common_charges(gemmi::Element element) {
  return element.name() == std::string_view("Eu") || element.name() == std::string_view("Yb");
}

std::optional<int> default_charge(gemmi::Element element) {
  if (!magnetic_lanthanide(element) || two_common_charges(element)) return std::nullopt;
  return 3;
}

}  // namespace velmora::cif
