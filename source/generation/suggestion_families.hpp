#pragma once
// The families of candidate chords the suggestion engine starts from. Each gives its
// candidates a prior score; the context scoring adds the rest.
#include <array>
#include <string_view>
#include <vector>

#include "analysis/roman_numerals.hpp"
#include "generation/next_chord_model.hpp"
#include "generation/suggestion.hpp"

namespace tw {

inline constexpr std::array<std::string_view, 18> kDominantQualities{
    "7",     "9",      "13",   "7sus4", "9sus4", "13sus4", "7b9",   "7#9",    "7#5",
    "7b13",  "13b9",   "7#11", "9#11",  "13#11", "7#5b9",  "7b9b13", "7#9b13", "7alt"};
inline constexpr std::array<std::string_view, 7> kMinorSideQualities{"m", "m6", "m7", "m9", "m11", "m13", "madd9"};
inline constexpr std::array<std::string_view, 3> kDiminishedQualities{"dim", "dim7", "m7b5"};
inline constexpr std::array<std::string_view, 8> kMajorSideQualities{"", "6", "7", "add9", "maj7", "maj9", "maj13", "maj7#11"};
inline constexpr std::array<std::string_view, 10> kMediantQualities{"m", "m6", "m7", "m9", "m11", "m13", "madd9", "6", "13", "add9"};

// Each family appends its candidates to `out`.
void secondaryDominants(const SuggestionContext& context, RomanFlags flags, std::vector<Suggestion>& out);
void borrowedChords(const SuggestionContext& context, RomanFlags flags, std::vector<Suggestion>& out);
void tritoneSubstitutes(const SuggestionContext& context, RomanFlags flags, std::vector<Suggestion>& out);
void diminishedApproaches(const SuggestionContext& context, RomanFlags flags, std::vector<Suggestion>& out);
void chromaticMediants(const SuggestionContext& context, RomanFlags flags, std::vector<Suggestion>& out);
// The continuations of the previous chords in the continuation corpus (and the moves the
// progression itself has made from its last chord), as the model ranks them; none before the
// first chord.
void corpusCandidates(const SuggestionContext& context, const NextChordModel& model, std::vector<Suggestion>& out);
// The key's own triads and sevenths (where a corpus candidate names the same chord, the
// better scored of the two stays).
void diatonicCandidates(const SuggestionContext& context, std::vector<Suggestion>& out);

}  // namespace tw
