#pragma once
// One candidate chord of the suggestion engine and the context it is judged in.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"

namespace tw {

enum SuggestionCategory : int {
  kSmart = 0,
  kDiatonic = 1,
  kSecondaryDominant = 2,
  kModalInterchange = 3,
  kTritoneSub = 4,
  kDiminishedApproach = 5,
  kChromaticMediant = 6,
};

// "smart", "diatonic", ..., or "unknown" outside 0..6.
std::string_view categoryName(int category);

struct Suggestion {
  PitchClass root = 0;
  std::string quality;  // "" for the major triad
  std::optional<PitchClass> bass;
  int category = kSmart;
  std::string label;
  std::string roman;
  double score = 0.0;
  std::vector<int> notes;
  bool isDiatonic = false;
  bool isCurrent = false;
};

struct SuggestionContext {
  KeyContext key;
  std::vector<ParsedChord> previous;  // oldest first
  std::optional<ParsedChord> next;
  std::optional<ParsedChord> current;
  std::string position = "append";
};

// The chord a suggestion names, as the parser would give it.
ParsedChord suggestionChord(const Suggestion& s);

// Same root, same bass, same quality once resolved ("" and "maj" are one chord).
bool sameChord(PitchClass rootA, std::string_view qualityA, std::optional<PitchClass> bassA,
               PitchClass rootB, std::string_view qualityB, std::optional<PitchClass> bassB);
bool sameChord(const Suggestion& s, const ParsedChord& c);

// Every tone (and the bass) lies in the key's scale.
bool isDiatonicChord(const KeyContext& key, PitchClass root, std::string_view quality,
                     std::optional<PitchClass> bass);
bool isDiatonicChord(const KeyContext& key, PitchClass root, const IntervalList& intervals,
                     std::optional<PitchClass> bass);

// "sus", "dominant", "major", "minor", "diminished" or "other".
std::string_view qualityFamily(std::string_view quality);

}  // namespace tw
