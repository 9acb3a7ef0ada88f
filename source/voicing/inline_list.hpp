#pragma once
// A short list held inline, for the handful of tones and offsets a chord voicing needs, so
// that voicing a chord touches the heap only for its final note list.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace tw {

template <typename T, std::size_t N>
class InlineList {
 public:
  static constexpr std::size_t kCapacity = N;

  // Values beyond the capacity are dropped; callers size N for the largest chord.
  constexpr void push_back(const T& value) {
    if (size_ < N) items_[size_++] = value;
  }
  constexpr void pop_back() {
    if (size_ > 0) --size_;
  }
  constexpr void clear() { size_ = 0; }
  constexpr void eraseAt(std::size_t i) {
    for (std::size_t j = i + 1; j < size_; ++j) items_[j - 1] = items_[j];
    --size_;
  }
  constexpr std::size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  constexpr bool full() const { return size_ == N; }
  constexpr T& operator[](std::size_t i) { return items_[i]; }
  constexpr const T& operator[](std::size_t i) const { return items_[i]; }
  constexpr T& back() { return items_[size_ - 1]; }
  constexpr const T& back() const { return items_[size_ - 1]; }
  constexpr T* begin() { return items_.data(); }
  constexpr T* end() { return items_.data() + size_; }
  constexpr const T* begin() const { return items_.data(); }
  constexpr const T* end() const { return items_.data() + size_; }

  constexpr bool contains(const T& value) const {
    return std::find(begin(), end(), value) != end();
  }
  // Ascending order without repeats.
  void sortUnique() {
    std::sort(begin(), end());
    size_ = static_cast<std::size_t>(std::unique(begin(), end()) - begin());
  }
  std::vector<T> toVector() const { return std::vector<T>(begin(), end()); }

 private:
  std::array<T, N> items_{};
  std::size_t size_ = 0;
};

}  // namespace tw
