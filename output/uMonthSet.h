// The months of one year that a document covers: a set of 1..12, walked in
// calendar order whatever order they were chosen in.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <iterator>

namespace kadrel {

class TMonthSet {
 public:
  class TIterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = int;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = int;

    constexpr TIterator() = default;
    constexpr explicit TIterator(std::uint16_t rest) : rest_(rest) {}
    constexpr int operator*() const { return std::countr_zero(rest_) + 1; }
    constexpr TIterator& operator++() {
      rest_ &= static_cast<std::uint16_t>(rest_ - 1);  // drops the lowest month
      return *this;
    }
    constexpr TIterator operator++(int) {
      TIterator before = *this;
      ++*this;
      return before;
    }
    friend constexpr bool operator==(TIterator, TIterator) = default;

   private:
    std::uint16_t rest_ = 0;
  };

  constexpr TMonthSet() = default;
  constexpr TMonthSet(std::initializer_list<int> months) {
    for (int m : months) Add(m);
  }
  static constexpr TMonthSet All() {
    TMonthSet all;
    all.bits_ = kAllBits;
    return all;
  }

  // A number outside 1..12 is no month and is left out.
  constexpr TMonthSet& Add(int month) {
    if (month >= 1 && month <= 12) bits_ |= static_cast<std::uint16_t>(1u << (month - 1));
    return *this;
  }
  constexpr bool Contains(int month) const {
    return month >= 1 && month <= 12 && (bits_ >> (month - 1) & 1u) != 0;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr int Count() const { return std::popcount(bits_); }

  constexpr TIterator begin() const { return TIterator(bits_); }
  constexpr TIterator end() const { return TIterator(); }

  friend constexpr bool operator==(TMonthSet, TMonthSet) = default;

 private:
  static constexpr std::uint16_t kAllBits = 0x0FFF;
  std::uint16_t bits_ = 0;
};

static_assert(TMonthSet::All().Count() == 12 && *TMonthSet::All().begin() == 1);
static_assert(*TMonthSet{12, 2, 2}.begin() == 2 && TMonthSet{12, 2, 2}.Count() == 2);
static_assert(TMonthSet{0, 13}.Empty());

}  // namespace kadrel
