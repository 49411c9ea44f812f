// The Landé factor of a free ion from its ground-state term ²ˢ⁺¹L_J, as the
// magnetic ion table writes it (6H15/2, 5D0, 2F7/2): the dipole model weighs
// the orbital part of a moment, <j2>, by 2/g - 1.
#pragma once

#include <optional>
#include <string_view>

namespace velmora {

struct SpectroscopicTerm {
  double s = 0;  // total spin S
  double l = 0;  // total orbital angular momentum L
  double j = 0;  // total angular momentum J
};

// The term of text such as "6H15/2"; nothing when the text is no term or its
// S, L and J cannot couple (J outside |L - S| ... L + S).
std::optional<SpectroscopicTerm> read_term(std::string_view text);

// g = 1 + [J(J+1) + S(S+1) - L(L+1)] / [2 J(J+1)]; nothing for J = 0, where
// the free ion has no moment and g is not defined.
std::optional<double> lande_factor(const SpectroscopicTerm& term);

}  // namespace velmora
