// Single-precision sine, cosine and exponential, the same to the last bit on
// every platform. The systems' own single-precision functions disagree in
// the last bit for some arguments (the 32-bit Linux and the Windows
// libraries each differ from the 64-bit Linux one), which would change
// printed digits; these are computed in double from the float argument with
// our own argument reduction and series, then rounded once to float, so
// they are within one unit in the last place of the exact value and, for all
// but a few arguments whose exact value lies extremely close to a rounding
// boundary, correctly rounded.
#pragma once

#include <span>

namespace velmora {

float sin_f(float x);
float cos_f(float x);
float exp_f(float x);

// sin_f(x) and cos_f(x) together, for the cost of one argument reduction;
// the results are those of the separate functions, bit for bit.
void sincos_f(float x, float& sine, float& cosine);

// sincos_f of every element of x, into sine and cosine (of x's size at
// least); the same bits as one call per element, computed in a loop that the
// compiler can vectorize.
void sincos_f_many(std::span<const float> x, std::span<float> sine, std::span<float> cosine);

// exp_f of every element of x, into result (of x's size at least), in a
// loop that the compiler can vectorize.
void exp_f_many(std::span<const float> x, std::span<float> result);

}  // namespace velmora
