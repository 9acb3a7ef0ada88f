#include "generation/rhythm_patterns.hpp"

namespace tw {

const std::vector<RhythmPattern>& rhythmPatterns() {
  static const std::vector<RhythmPattern> catalogue{
#include "rhythm_patterns.inc"
  };
  return catalogue;
}

const RhythmPattern* findRhythmPattern(std::string_view id) {
  for (const auto& pattern : rhythmPatterns())
    if (pattern.id == id) return &pattern;
  return nullptr;
}

}  // namespace tw
