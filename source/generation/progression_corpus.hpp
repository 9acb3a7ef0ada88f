#pragma once
// The progression corpus: for each genre key and chord count, the stored progressions of
// roman numerals, best first, each with its mode judgment.
//
// File "pc.bin", unscrambled (see corpus_format.hpp for the scramble and the checksum):
//   "TWLP", u16 version (1 or 2), u16 genre count G, then G genres:
//     u8 key length, key bytes (letters and digits, lower case), u8 group count, then groups:
//       u8 chord count L (1..16), u16 progression count P, then P progressions:
//         version 2: u8 mode (0 major, 1 natural minor, 2 melodic minor), u16 occurrences;
//         version 1: u8 mode (0 major, 1 minor);
//         then L numerals, each u8 length and its bytes.
//   u32 checksum.
// Genre keys are unique and ascending, chord counts unique and ascending within a genre,
// every group and every genre holds at least one entry, and nothing follows the checksum.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct ModeJudgment {
  bool minor = false;
  bool melodic = false;  // meaningful only when minor

  friend bool operator==(const ModeJudgment&, const ModeJudgment&) = default;
};

struct StoredProgression {
  std::vector<std::string> numerals;
  ModeJudgment mode;
  std::uint16_t occurrences = 0;  // how often the pieces play it (ranking evidence)

  friend bool operator==(const StoredProgression&, const StoredProgression&) = default;
};

class ProgressionCorpus {
 public:
  using Groups = std::map<int, std::vector<StoredProgression>>;
  using Genres = std::map<std::string, Groups, std::less<>>;

  // Appends behind the progressions already stored for the genre and its chord count.
  void add(const std::string& genreKey, StoredProgression progression);

  // The progressions of a genre key and chord count, best first; nullptr when none.
  const std::vector<StoredProgression>* find(std::string_view genreKey, int length) const;

  bool empty() const { return genres_.empty(); }
  const Genres& genres() const { return genres_; }

  friend bool operator==(const ProgressionCorpus&, const ProgressionCorpus&) = default;

 private:
  Genres genres_;
};

inline constexpr std::uint16_t kProgressionFormatVersion = 2;
inline constexpr int kMaxStoredProgressionLength = 16;

// The finished, scrambled file. Texts too long for the format or not storable are the
// caller's fault; encoding skips them so the file always reads back.
std::vector<std::uint8_t> encodeProgressionCorpus(const ProgressionCorpus& corpus,
                                                  std::uint16_t version = kProgressionFormatVersion);

// The corpus of a valid file; nothing for a short, truncated or corrupt one.
std::optional<ProgressionCorpus> decodeProgressionCorpus(std::span<const std::uint8_t> file);

// Genre key of a genre name: letters and digits only, lower-cased ("Pop + EDM" -> "popedm").
std::string genreKeyOf(std::string_view genre);

}  // namespace tw
