#include "generation/suggestion_names.hpp"

#include <cmath>

namespace tw {

SuggestionNames::SuggestionNames(const KeyContext& key, SpellingOptions names, RomanFlags flags)
    : key_(key), names_(names), flags_(flags) {}

const std::string& SuggestionNames::nameOf(PitchClass pc) {
  std::string& name = spelled_[static_cast<std::size_t>(reducePitchClass(pc))];
  if (name.empty()) name = spellPitchInKey(key_, pc, names_);
  return name;
}

std::string SuggestionNames::symbol(const Suggestion& suggestion) {
  std::string symbol = nameOf(suggestion.root) + suggestion.quality;
  if (suggestion.bass && *suggestion.bass != suggestion.root) {
    symbol += '/';
    symbol += nameOf(*suggestion.bass);
  }
  return symbol;
}

std::string SuggestionNames::numeral(const Suggestion& suggestion) const {
  const bool slash = suggestion.bass && *suggestion.bass != suggestion.root;
  AnalysisChord named{suggestion.root, std::string(quality(suggestion)),
                      suggestion.bass.value_or(0), slash};
  return romanSlashNumeral(key_, named, flags_);
}

std::string_view SuggestionNames::quality(const Suggestion& suggestion) {
  return suggestion.quality.empty() ? std::string_view("maj") : std::string_view(suggestion.quality);
}

double roundedScore(const Suggestion& suggestion) {
  return std::round(suggestion.score * 100.0) / 100.0;
}

}  // namespace tw
