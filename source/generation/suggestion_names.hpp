#pragma once
// How a suggestion is named in its key: the symbol spelled in the key and the numeral over its
// bass.
#include <array>
#include <string>
#include <string_view>

#include "analysis/roman_numerals.hpp"
#include "chord/key_context.hpp"
#include "chord/pitch_spelling.hpp"
#include "generation/suggestion.hpp"

namespace tw {

// Names the suggestions of one list; each pitch class's name in the key is spelled once.
class SuggestionNames {
 public:
  SuggestionNames(const KeyContext& key, SpellingOptions names, RomanFlags flags);

  // Root name, quality and "/bass" when the bass is not the root.
  std::string symbol(const Suggestion& suggestion);
  std::string numeral(const Suggestion& suggestion) const;

  // The quality as the catalogue writes it: "maj" for the major triad.
  static std::string_view quality(const Suggestion& suggestion);

 private:
  const std::string& nameOf(PitchClass pc);

  KeyContext key_;
  SpellingOptions names_;
  RomanFlags flags_;
  std::array<std::string, 12> spelled_;
};

// The score as lists show it: rounded to two decimals.
double roundedScore(const Suggestion& suggestion);

}  // namespace tw
