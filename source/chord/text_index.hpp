#pragma once
// A read-only map from short texts to small integers, built once. Chord parsing looks up
// every typed suffix here, so it is an open-addressing table over one block of key text:
// a lookup hashes a few words, probes adjacent 12-byte slots and compares bytes only when
// the stored hash matches. Nothing is allocated on lookup.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw {

class TextIndex {
 public:
  using Row = std::pair<std::string_view, std::uint16_t>;

  TextIndex() = default;

  // Empty keys, keys longer than 65535 bytes and repeated keys (the first row wins) are
  // left out.
  explicit TextIndex(const std::vector<Row>& rows) {
    std::size_t capacity = 16;
    while (capacity < rows.size() * 2) capacity *= 2;  // load factor at most one half
    slots_.assign(capacity, Slot{});
    mask_ = capacity - 1;
    for (const auto& [key, value] : rows) {
      if (key.empty() || key.size() > kMaxKeyLength || find(key) >= 0) continue;
      const std::uint64_t hash = hashText(key);
      std::size_t at = hash & mask_;
      while (slots_[at].length != 0) at = (at + 1) & mask_;
      slots_[at] = {static_cast<std::uint32_t>(hash >> 32), static_cast<std::uint32_t>(text_.size()),
                    static_cast<std::uint16_t>(key.size()), value};
      text_.append(key);
      ++size_;
    }
  }

  // The value stored for key, or -1.
  int find(std::string_view key) const {
    if (key.empty() || key.size() > kMaxKeyLength || slots_.empty()) return -1;
    const std::uint64_t hash = hashText(key);
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      const Slot& slot = slots_[at];
      if (slot.length == 0) return -1;
      if (slot.tag == tag && slot.length == key.size() &&
          std::memcmp(text_.data() + slot.offset, key.data(), key.size()) == 0)
        return slot.value;
    }
  }

  std::size_t size() const { return size_; }

 private:
  static constexpr std::size_t kMaxKeyLength = 0xFFFF;

  struct Slot {
    std::uint32_t tag = 0;
    std::uint32_t offset = 0;
    std::uint16_t length = 0;  // 0 marks an empty slot; keys are never empty
    std::uint16_t value = 0;
  };

  static std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return h;
  }

  static std::uint64_t hashText(std::string_view text) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ (text.size() * 0xC2B2AE3D27D4EB4FULL);
    const char* p = text.data();
    std::size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      h = mix(h ^ word) * 0x9E3779B97F4A7C15ULL;
    }
    if (n > 0) {
      std::uint64_t word = 0;
      std::memcpy(&word, p, n);
      h = mix(h ^ word);
    }
    return mix(h);
  }

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t size_ = 0;
  std::string text_;
};

}  // namespace tw
