// Each search is exhaustive over the states of its list, bounded so that a
// cell of many open sites is left undecided rather than searched for long.
#include "cif/charge_balance.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "cif/bond_valence.hpp"

namespace velmora::cif {
namespace {

// At most this many assignments are tried (4^10, ten unknowns of four states).
constexpr long kMaxAssignments = 1L << 20;

// A sum decides a site's state when it lies this near it, and the best
// assignment's squared misfit is this much below the next one's.
constexpr double kSumReach = 0.5;
constexpr double kSumMargin = 0.25;

constexpr StateList kLists[] = {StateList::common, StateList::further, StateList::all};

// An unknown of a search: an element or a site, its atoms and its states.
struct Unknown {
  double count = 0;
  std::vector<int> states;
};

// The charge given to the cell's atoms so far, and the sum of its sizes.
struct Known {
  double total = 0;
  double size = 0;
};

// The assignments (a state per unknown) that balance the cell: within a part
// in 500 of the charges (and 0.02 of an electron for small cells), else, with
// `near`, those nearest balance when that is within 2 % of the charges.
std::vector<std::vector<int>> balancing(const std::vector<Unknown>& unknowns, Known known, bool near) {
  long assignments = 1;
  for (const Unknown& u : unknowns) {
    assignments *= static_cast<long>(u.states.size());
    if (assignments == 0 || assignments > kMaxAssignments) return {};
  }
  std::vector<std::vector<int>> exact, nearest;
  double best = 0;
  std::vector<std::size_t> pick(unknowns.size(), 0);
  std::vector<int> states(unknowns.size());
  for (long n = 0; n < assignments; ++n) {
    double total = known.total, size = known.size;
    for (std::size_t i = 0; i < unknowns.size(); ++i) {
      states[i] = unknowns[i].states[pick[i]];
      total += states[i] * unknowns[i].count;
      size += std::abs(states[i]) * unknowns[i].count;
    }
    const double off = std::fabs(total);
    if (off <= std::max(0.02, 0.002 * size)) {
      exact.push_back(states);
    } else if (near && off <= 0.02 * size) {
      if (nearest.empty() || off < best - 1e-9) nearest.clear(), best = off;
      if (off <= best + 1e-9) nearest.push_back(states);
    }
    for (std::size_t i = 0; i < pick.size() && ++pick[i] == unknowns[i].states.size(); ++i) pick[i] = 0;
  }
  return exact.empty() ? nearest : exact;
}

// The balancing assignments of the first list with any, exact ones before
// near ones, and whether they are near.
template <typename StatesOf>
std::vector<std::vector<int>> first_balancing(std::vector<Unknown> unknowns, const StatesOf& states_of,
                                              Known known, int lists, bool& near) {
  for (bool allow_near : {false, true})
    for (int list = 0; list < lists; ++list) {
      for (std::size_t i = 0; i < unknowns.size(); ++i) unknowns[i].states = states_of(i, kLists[list]);
      std::vector<std::vector<int>> found = balancing(unknowns, known, allow_near);
      if (!found.empty()) {
        near = allow_near;
        return found;
      }
    }
  return {};
}

bool has_anions(const std::vector<SiteContent>& content) {
  return std::any_of(content.begin(), content.end(), [](const SiteContent& site) {
    return bond_valence_anion(site.element) || (site.charge && *site.charge < 0);
  });
}

Known known_of(const std::vector<SiteContent>& content) {
  Known known;
  for (const SiteContent& site : content)
    if (site.charge)
      known.total += *site.charge * site.count, known.size += std::abs(*site.charge) * site.count;
  return known;
}

// The element balance: each uncharged element's state where all balancing
// assignments agree. A cell without anions balances by the common states
// only: rarer ones would make germanides of Fe4+ and silicides of Yb2+.
std::map<int, int> element_balance(const std::vector<SiteContent>& content, bool& near) {
  std::map<int, double> counts;
  for (const SiteContent& site : content)
    if (!site.charge) counts[site.element.atomic_number()] += site.count;
  std::vector<int> zs;
  std::vector<Unknown> unknowns;
  for (const auto& [z, count] : counts) zs.push_back(z), unknowns.push_back({count, {}});
  const auto states_of = [&](std::size_t i, StateList list) {
    return oxidation_states(gemmi::Element(zs[i]), list);
  };
  near = false;
  const std::vector<std::vector<int>> found =
      first_balancing(unknowns, states_of, known_of(content), has_anions(content) ? 3 : 1, near);
  std::map<int, int> charges;
  for (std::size_t i = 0; !found.empty() && i < zs.size(); ++i)
    if (std::all_of(found.begin(), found.end(), [&](const auto& a) { return a[i] == found[0][i]; }))
      charges[zs[i]] = found[0][i];
  return charges;
}

std::string two_decimals(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

std::string ion_text(gemmi::Element element, int charge) {
  return std::string(element.name()) + std::to_string(std::abs(charge)) + (charge < 0 ? "-" : "+");
}

// The sites the element balance leaves open, each given the state nearest its
// bond-valence sum among the assignments of a state per site that balance the
// cell, when the best assignment fits every sum within kSumReach and fits
// clearly better than the next.
void choose_by_bond_valence(const std::vector<SiteContent>& content, std::vector<SiteContent>& decided,
                            const BondSums& bond_sums, std::vector<std::optional<GuessedCharge>>& out) {
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < decided.size(); ++i) {
    if (decided[i].charge) continue;
    const std::vector<int> states = common_oxidation_states(decided[i].element);
    if (!bond_valence_anion(decided[i].element)) {
      // A cation with one common charge and no bond-valence parameters (La3+ among the further
      // states' La2+) takes that charge; the others are chosen by their sums.
      if (states.size() == 1 && states[0] > 0 && !bond_sums(i, states[0]))
        decided[i].charge = states[0];
      else
        open.push_back(i);
      continue;
    }
    // An anion the balance leaves open takes its usual charge (O2-, S2-, N3-).
    if (states.empty() || states[0] >= 0) return;
    decided[i].charge = states[0];
  }
  if (open.empty()) return;
  std::vector<Unknown> unknowns;
  for (std::size_t i : open) unknowns.push_back({content[i].count, {}});
  const auto states_of = [&](std::size_t k, StateList list) {
    std::vector<int> states;
    for (int q : oxidation_states(content[open[k]].element, list))
      if (q > 0) states.push_back(q);
    return states;
  };
  bool near = false;
  const std::vector<std::vector<int>> found =
      first_balancing(unknowns, states_of, known_of(decided), 3, near);
  if (found.empty()) return;
  // Each open site's sum at each charge the assignments give it.
  std::vector<std::map<int, double>> sums(open.size());
  for (const std::vector<int>& assignment : found)
    for (std::size_t k = 0; k < open.size(); ++k) {
      if (sums[k].count(assignment[k]) != 0) continue;
      const std::optional<double> sum = bond_sums(open[k], assignment[k]);
      if (!sum) return;
      sums[k][assignment[k]] = *sum;
    }
  std::vector<double> misfit(found.size(), 0);
  for (std::size_t a = 0; a < found.size(); ++a)
    for (std::size_t k = 0; k < open.size(); ++k)
      misfit[a] += std::pow(sums[k][found[a][k]] - found[a][k], 2);
  const std::size_t best = std::min_element(misfit.begin(), misfit.end()) - misfit.begin();
  for (std::size_t a = 0; a < found.size(); ++a)
    if (a != best && misfit[a] < misfit[best] + kSumMargin) return;
  for (std::size_t k = 0; k < open.size(); ++k)
    if (std::fabs(sums[k][found[best][k]] - found[best][k]) > kSumReach) return;
  for (std::size_t k = 0; k < open.size(); ++k) {
    const gemmi::Element element = content[open[k]].element;
    std::string others;
    for (const auto& [q, sum] : sums[k])
      if (q != found[best][k])
        others += "; " + two_decimals(sum) + " with the parameters of " + ion_text(element, q);
    out[open[k]] = GuessedCharge{found[best][k], "the bond-valence sum of its site (" +
                                                     two_decimals(sums[k][found[best][k]]) + others +
                                                     "; Brown's IUCr table) among the charges that "
                                                     "balance the cell"};
  }
}

// The ion of a magnetic rare earth or actinide in an intermetallic, as
// magnetic-structure studies take it: the trivalent ion, as in the metals
// (Jensen and Mackintosh, Rare Earth Magnetism, 1991), but Eu2+, the 4f7 ion
// of europium in its intermetallics (Eu3+ has J = 0: no moment).
std::optional<GuessedCharge> intermetallic_charge(gemmi::Element element) {
  const int z = element.atomic_number();
  if (!((z >= 58 && z <= 70) || (z >= 92 && z <= 95))) return std::nullopt;
  const int q = element.elem == gemmi::El::Eu ? 2 : 3;
  const std::string alternative = element.elem == gemmi::El::Eu   ? "; Eu3+ has no moment, J = 0"
                                  : element.elem == gemmi::El::Yb ? "; Yb2+ has a closed 4f shell"
                                  : element.elem == gemmi::El::Ce ? "; Ce4+ has an empty 4f shell"
                                  : element.elem == gemmi::El::Sm ? "; Sm2+ has no moment, J = 0"
                                                                  : "";
  return GuessedCharge{q, "the usual ion of " + std::string(element.name()) +
                              " in intermetallics (the cell has no anions" + alternative + ")"};
}

}  // namespace

std::map<int, int> balanced_charges(const std::vector<SiteContent>& content) {
  bool near = false;
  return element_balance(content, near);
}

std::vector<std::optional<GuessedCharge>> guess_charges(const std::vector<SiteContent>& content,
                                                        const BondSums& bond_sums) {
  std::vector<std::optional<GuessedCharge>> out(content.size());
  const bool anions = has_anions(content);
  bool near = false;
  const std::map<int, int> balanced = element_balance(content, near);
  std::vector<SiteContent> decided = content;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i].charge) continue;
    if (!anions && content[i].magnetic) {
      if ((out[i] = intermetallic_charge(content[i].element))) {
        decided[i].charge = out[i]->charge;
        continue;
      }
    }
    const auto found = balanced.find(content[i].element.atomic_number());
    if (found == balanced.end()) continue;
    decided[i].charge = found->second;
    out[i] =
        GuessedCharge{found->second, near ? "the charge balance of the cell, within 2 % of its charges (no "
                                            "assignment balances exactly)"
                                          : "the charge balance of the cell"};
  }
  if (anions) choose_by_bond_valence(content, decided, bond_sums, out);
  return out;
}

bool two_common_charges(gemmi::Element element) {
  return element.name() == std::string_view("Eu") || element.name() == std::string_view("Yb");
}

std::optional<int> default_charge(gemmi::Element element) {
  const int z = element.atomic_number();
  if (z < 58 || z > 69 || two_common_charges(element)) return std::nullopt;
  return 3;
}

}  // namespace velmora::cif
