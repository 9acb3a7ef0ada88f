#pragma once
// Next-chord suggestions: candidate chords for a place in a progression, from the colour-chord
// families and the continuation corpus, scored against the context, ranked, merged, capped
// and voiced.
#include <random>
#include <vector>

#include "analysis/roman_numerals.hpp"
#include "chord/pitch_spelling.hpp"
#include "generation/suggestion.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

struct SuggestionOptions {
  bool shuffle = false;
  bool mergeVariants = true;
  bool voice = true;
  VoicingStyle style = 0;
  int octave = 4;
  bool dropBass = false;
  RomanFlags flags{true, false};
};

inline constexpr std::size_t kSmartCap = 30;
inline constexpr std::size_t kCategoryCap = 8;

// Every candidate with its context score (steps before ranking), for inspection and tests.
std::vector<Suggestion> scoredCandidates(const SuggestionContext& context, RomanFlags flags);

// The final list, in reply order.
std::vector<Suggestion> suggestChords(const SuggestionContext& context, const SuggestionOptions& options);

// Shuffle-mode selection: diatonic suggestions first, the others filling up to 30.
void shuffleSelection(std::vector<Suggestion>& suggestions, std::mt19937& engine);

}  // namespace tw
