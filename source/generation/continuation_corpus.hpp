#pragma once
// The continuation corpus: for a roman numeral, the numerals that follow it in real music,
// each with its probability, best first.
//
// File "cc.bin", unscrambled (see corpus_format.hpp for the scramble and the checksum):
//   "TWCP", u16 version (1), u16 numeral count N, then N numerals (u8 length and bytes,
//   unique), then u16 record count R and R records:
//     u16 source numeral index (ascending, each below N), u8 continuation count C (1..255),
//     C times: u16 target numeral index (below N), u16 probability in steps of 1/65535
//     (non-increasing along the record).
//   u32 checksum.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct Continuation {
  std::string numeral;
  float probability = 0.0f;  // 0..1

  friend bool operator==(const Continuation&, const Continuation&) = default;
};

class ContinuationCorpus {
 public:
  using Entries = std::map<std::string, std::vector<Continuation>, std::less<>>;

  // Stores the continuations of a numeral; they are kept best first (a stable sort by
  // descending probability), at most 255.
  void set(const std::string& numeral, std::vector<Continuation> continuations);

  // Up to `limit` continuations of the numeral, best first; empty when it is not held.
  std::span<const Continuation> continuations(std::string_view numeral, std::size_t limit) const;

  bool empty() const { return entries_.empty(); }
  const Entries& entries() const { return entries_; }

  friend bool operator==(const ContinuationCorpus&, const ContinuationCorpus&) = default;

 private:
  Entries entries_;
};

inline constexpr std::uint16_t kContinuationFormatVersion = 1;

// Probabilities are stored in steps of 1/65535; this is the value a stored one reads back as.
float quantizedProbability(float probability);

std::vector<std::uint8_t> encodeContinuationCorpus(const ContinuationCorpus& corpus);

// The corpus of a valid file; nothing for a short, truncated or corrupt one.
std::optional<ContinuationCorpus> decodeContinuationCorpus(std::span<const std::uint8_t> file);

}  // namespace tw
