// Terms are read as multiplicity 2S+1 (digits), the letter of L (S P D F G H
// I K L M N, J being skipped by convention) and J as a whole or half number.
#include "magnetic/lande_factor.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

namespace velmora {
namespace {

constexpr std::string_view kOrbitalLetters = "SPDFGHIKLMN";

bool read_count(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

}  // namespace

std::optional<SpectroscopicTerm> read_term(std::string_view text) {
  std::size_t letter = 0;
  while (letter < text.size() && text[letter] >= '0' && text[letter] <= '9') ++letter;
  int multiplicity = 0;
  if (letter == 0 || letter >= text.size() || !read_count(text.substr(0, letter), multiplicity) ||
      multiplicity < 1)
    return std::nullopt;
  const std::size_t l = kOrbitalLetters.find(text[letter]);
  if (l == std::string_view::npos) return std::nullopt;
  std::string_view j_text = text.substr(letter + 1);
  int j_twice = 0, numerator = 0;
  if (j_text.ends_with("/2")) {
    if (!read_count(j_text.substr(0, j_text.size() - 2), numerator) || numerator % 2 == 0)
      return std::nullopt;
    j_twice = numerator;
  } else {
    if (!read_count(j_text, numerator)) return std::nullopt;
    j_twice = 2 * numerator;
  }
  SpectroscopicTerm term{(multiplicity - 1) / 2.0, static_cast<double>(l), j_twice / 2.0};
  // J runs from |L - S| to L + S in whole steps.
  const double steps = term.j - std::fabs(term.l - term.s);
  if (steps < 0 || term.j > term.l + term.s || steps != std::floor(steps)) return std::nullopt;
  return term;
}

std::optional<double> lande_factor(const SpectroscopicTerm& t) {
  if (t.j == 0) return std::nullopt;
  const double jj = t.j * (t.j + 1);
  return 1.0 + (jj + t.s * (t.s + 1) - t.l * (t.l + 1)) / (2.0 * jj);
}

}  // namespace velmora
