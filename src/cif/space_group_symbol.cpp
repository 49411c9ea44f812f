// Reading space-group symbols in the spellings that files use.
#include "cif/space_group_symbol.hpp"

#include <algorithm>
#include <gemmi/cifdoc.hpp>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace velmora::cif {

namespace cif = gemmi::cif;

namespace {

// SHELXTL and XD write a screw axis 2_1 as 2(1): the digits are joined.
std::string joined_subscripts(const std::string& symbol) {
  std::string out;
  for (std::size_t i = 0; i < symbol.size(); ++i) {
    if (i + 3 < symbol.size() && symbol[i] >= '2' && symbol[i] <= '6' && symbol[i + 1] == '(' &&
        symbol[i + 2] >= '1' && symbol[i + 2] <= '5' && symbol[i + 3] == ')') {
      out += symbol[i];
      out += symbol[i + 2];
      i += 3;
    } else {
      out += symbol[i];
    }
  }
  return out;
}

}  // namespace

// A space-group symbol as files write it, mapped to gemmi's: first as it
// stands (with the setting code when the file gives one); else with screw
// subscripts in parentheses joined (2(1) for 21), a compact full monoclinic
// symbol completed (P121/n for P121/n1), the old cubic spellings (m3m for
// m-3m), the full symbols' 2/m reduced to m, an origin or axes suffix (Z or
// S: origin choice 2 or 1; H or R, or "(hexagonal axes)": the axes) turned
// into gemmi's ":2" form.
const gemmi::SpaceGroup* find_group(std::string symbol, const std::string& code, const gemmi::UnitCell& cell,
                                    bool& respelt) {
  respelt = false;
  std::string setting = code;
  if (symbol.find(':') != std::string::npos) setting.clear();
  const std::string coded = setting.empty() ? symbol : symbol + ":" + setting;
  if (const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_name(coded, cell.alpha, cell.gamma))
    return group;
  respelt = true;
  symbol = joined_subscripts(symbol);
  if (const auto colon = symbol.find(':'); colon != std::string::npos) {
    setting = symbol.substr(colon + 1);
    symbol.resize(colon);
  }
  for (const std::string& name : {symbol, symbol + "1"}) {
    const std::string with = setting.empty() ? name : name + ":" + setting;
    if (name.find(' ') == std::string::npos)
      if (const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_name(with, cell.alpha, cell.gamma))
        return group;
  }
  if (const auto open = symbol.find('('); open != std::string::npos) {
    const std::string note = gemmi::to_lower(symbol.substr(open));
    if (note.find("hex") != std::string::npos) setting.assign(1, 'H');
    if (note.find("rhomb") != std::string::npos) setting.assign(1, 'R');
    symbol.resize(open);
  }
  std::vector<std::string> words;
  for (std::size_t at = 0, end; at < symbol.size(); at = end) {
    at = symbol.find_first_not_of(" \t", at);
    if (at == std::string::npos) break;
    end = std::min(symbol.find_first_of(" \t", at), symbol.size());
    words.push_back(symbol.substr(at, end - at));
  }
  static const std::map<std::string, std::string> suffixes = {{"Z", "2"}, {"S", "1"}, {"H", "H"}, {"R", "R"}};
  if (words.size() > 2 && suffixes.count(words.back()) != 0) {
    setting = suffixes.at(words.back());
    words.pop_back();
  }
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (i > 1 && words[i].size() > 2 && words[i][0] == '2' && words[i].find('/') != std::string::npos)
      words[i] = words[i].substr(words[i].find('/') + 1);  // 2/m, 21/c of a full symbol
    if (i == 2 && words[i] == "3" && std::string("mnad").find(words[1][0]) != std::string::npos)
      words[i] = "-3";
  }
  std::string name;
  for (const std::string& word : words) name += (name.empty() ? "" : " ") + word;
  if (!setting.empty()) name += ":" + setting;
  return gemmi::find_spacegroup_by_name(name, cell.alpha, cell.gamma);
}

// gemmi's Hall parser adds a screw subscript (4_1) along the principal axis,
// which a symbol may lack (a diagonal axis, a one-fold axis after the first):
// it would index outside the translation. Such a symbol is refused first,
// with the axes found as gemmi finds them: written (x, y, z), or, for a
// symbol without a diagonal mark (' " *), implied for the first symbol and
// for a two-fold after a two- or four-fold. A long symbol is refused too:
// each translation letter adds to an int, which kLongestHallSymbol keeps far
// from overflowing (real Hall symbols are under 20 characters).
constexpr std::size_t kLongestHallSymbol = 100;

void check_hall(const std::string& symbol) {
  if (symbol.size() > kLongestHallSymbol)
    throw std::runtime_error("more than " + std::to_string(kLongestHallSymbol) + " characters");
  // gemmi reads the symbol as a C string, to its first NUL.
  for (char c : symbol)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
      throw std::runtime_error("a control character in the symbol");
  std::string text = symbol.substr(0, symbol.find('('));
  std::replace(text.begin(), text.end(), '_', ' ');  // gemmi reads _ as a blank
  std::istringstream words(text);
  std::string word;
  int position = 0, previous = 0;
  for (words >> word; words >> word;) {
    ++position;
    const std::size_t at = word[0] == '-' ? 1 : 0;
    if (word == "1" || at >= word.size() || word[at] < '1' || word[at] > '6') continue;
    const int order = word[at] - '0';
    const bool diagonal = word.find_first_of("'\"*", at + 1) != std::string::npos;
    const bool axis =
        word.find_first_of("xyz", at + 1) != std::string::npos ||
        (!diagonal && (position == 1 || (position == 2 && order == 2 && (previous == 2 || previous == 4))));
    if (!axis && word.find_first_of("12345", at + 1) != std::string::npos)
      throw std::runtime_error("a screw subscript without a principal axis: " + word);
    previous = order;
  }
}

std::string symbol_value(const std::string& value) {
  std::string symbol = cif::as_string(value);
  // A symbol quoted twice ("'-P 2ybc'") keeps its inner quotes.
  while (symbol.size() >= 2 && (symbol[0] == '\'' || symbol[0] == '"') && symbol.back() == symbol[0])
    symbol = symbol.substr(1, symbol.size() - 2);
  return symbol;
}

}  // namespace velmora::cif
