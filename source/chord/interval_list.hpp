#pragma once
// A chord's interval list held inline: at most eight ascending semitone values (0..21),
// so chords and qualities copy without touching the heap.
#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tw {

class IntervalList {
 public:
  static constexpr std::size_t kCapacity = 8;

  constexpr IntervalList() = default;
  constexpr IntervalList(std::initializer_list<int> values) {
    for (int v : values) push_back(v);
  }

  // Values beyond the capacity are ignored; catalogue qualities never exceed it.
  constexpr void push_back(int value) {
    if (size_ < kCapacity) values_[size_++] = static_cast<std::int8_t>(value);
  }

  constexpr std::size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  constexpr int operator[](std::size_t i) const { return values_[i]; }
  constexpr int front() const { return values_[0]; }
  constexpr int back() const { return values_[size_ - 1]; }

  constexpr bool contains(int value) const {
    for (std::size_t i = 0; i < size_; ++i)
      if (values_[i] == value) return true;
    return false;
  }

  class const_iterator {
   public:
    using value_type = int;
    using difference_type = std::ptrdiff_t;
    constexpr const_iterator() = default;
    constexpr explicit const_iterator(const std::int8_t* p) : p_(p) {}
    constexpr int operator*() const { return *p_; }
    constexpr const_iterator& operator++() { ++p_; return *this; }
    constexpr const_iterator operator++(int) { auto t = *this; ++p_; return t; }
    constexpr bool operator==(const const_iterator&) const = default;
   private:
    const std::int8_t* p_ = nullptr;
  };

  constexpr const_iterator begin() const { return const_iterator(values_.data()); }
  constexpr const_iterator end() const { return const_iterator(values_.data() + size_); }

  std::vector<int> toVector() const { return std::vector<int>(begin(), end()); }

  friend constexpr bool operator==(const IntervalList& a, const IntervalList& b) {
    if (a.size_ != b.size_) return false;
    for (std::size_t i = 0; i < a.size_; ++i)
      if (a.values_[i] != b.values_[i]) return false;
    return true;
  }

 private:
  std::array<std::int8_t, kCapacity> values_{};
  std::uint8_t size_ = 0;
};

}  // namespace tw
