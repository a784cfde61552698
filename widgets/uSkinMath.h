// Integer arithmetic shared by the skinned controls.
//
// The gradient and the title buttons are laid out pixel by pixel with two
// different rounding rules, and mixing them up shifts bands by a pixel, so
// both live here under names that say which rule they follow.
#pragma once

#include <cstdint>

namespace kadrel {

// a × b / c rounded to the nearest integer, halves away from zero, computed
// without overflow for any int operands. c == 0 yields -1, the sentinel the
// system routine of the same name returns.
constexpr int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  std::int64_t num = static_cast<std::int64_t>(a) * b;
  std::int64_t den = c;
  if (den < 0) {
    num = -num;
    den = -den;
  }
  const std::int64_t half = den / 2;
  const bool odd = den % 2 != 0;
  // |num| / den rounded half away from zero, then the sign put back.
  std::int64_t mag = num < 0 ? -num : num;
  std::int64_t q = mag / den;
  const std::int64_t r = mag % den;
  if (r > half || (r == half && !odd)) ++q;
  return static_cast<int>(num < 0 ? -q : q);
}

// num / den rounded to the nearest integer, halves to even (den > 0).
constexpr int RoundHalfEven(std::int64_t num, std::int64_t den) {
  std::int64_t q = num / den;
  std::int64_t r = num % den;
  if (r < 0) {  // floor division
    r += den;
    --q;
  }
  if (2 * r > den || (2 * r == den && q % 2 != 0)) ++q;
  return static_cast<int>(q);
}

static_assert(MulDiv(31, 174, 32) == 169);
static_assert(MulDiv(31, 110, 32) == 107);
static_assert(MulDiv(1, 1, 2) == 1 && MulDiv(-1, 1, 2) == -1);
static_assert(MulDiv(5, 1, -2) == -3);
static_assert(MulDiv(7, 3, 0) == -1);
static_assert(MulDiv(2'000'000, 2'000'000, 4'000'000) == 1'000'000);
static_assert(RoundHalfEven(349, 2) == 174 && RoundHalfEven(221, 2) == 110);
static_assert(RoundHalfEven(3, 2) == 2 && RoundHalfEven(-3, 2) == -2);

}  // namespace kadrel
