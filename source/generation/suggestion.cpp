#include "generation/suggestion.hpp"

#include "analysis/roman_numerals.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {

std::string_view categoryName(int category) {
  static constexpr std::string_view kNames[] = {"smart",       "diatonic",          "secondary_dominant",
                                                "modal_interchange", "tritone_sub", "diminished_approach",
                                                "chromatic_mediant"};
  if (category < 0 || category > 6) return "unknown";
  return kNames[category];
}

namespace {
std::string_view canonical(std::string_view quality) {
  const ChordQuality* resolved = findQuality(quality);
  return resolved ? std::string_view(resolved->symbol) : quality;
}
}  // namespace

ParsedChord suggestionChord(const Suggestion& s) {
  auto quality = resolveQuality(s.quality);
  ChordQuality q = quality ? *quality : ChordQuality{"maj", IntervalList{0, 4, 7}};
  return makeParsedChord(s.root, q, s.bass && *s.bass != s.root ? s.bass : std::nullopt);
}

bool sameChord(PitchClass rootA, std::string_view qualityA, std::optional<PitchClass> bassA,
               PitchClass rootB, std::string_view qualityB, std::optional<PitchClass> bassB) {
  if (rootA != rootB) return false;
  // A bass on the root is no bass; -1 stands for none, which keeps GCC's optional analysis quiet.
  const int effectiveA = bassA && *bassA != rootA ? *bassA : -1;
  const int effectiveB = bassB && *bassB != rootB ? *bassB : -1;
  if (effectiveA != effectiveB) return false;
  return canonical(qualityA) == canonical(qualityB);
}

bool sameChord(const Suggestion& s, const ParsedChord& c) {
  return sameChord(s.root, s.quality, s.bass, c.root, c.quality, c.bass);
}

bool isDiatonicChord(const KeyContext& key, PitchClass root, std::string_view quality,
                     std::optional<PitchClass> bass) {
  const ChordQuality* resolved = findQuality(quality);
  return resolved && isDiatonicChord(key, root, resolved->intervals, bass);
}

bool isDiatonicChord(const KeyContext& key, PitchClass root, const IntervalList& intervals,
                     std::optional<PitchClass> bass) {
  for (int i : intervals)
    if (degreeOf(key, reducePitchClass(root + i)) == 0) return false;
  return !bass || degreeOf(key, *bass) != 0;
}

std::string_view qualityFamily(std::string_view q) {
  auto has = [&](std::string_view part) { return q.find(part) != std::string_view::npos; };
  if (has("sus")) return "sus";
  if (has("dim") || has("m7b5") || has("\xC3\xB8") || q == "o" || q == "o7") return "diminished";
  if (isMinorQuality(q)) return "minor";
  if (q.empty() || q == "maj" || has("maj") || has("add") || q == "6" || q == "69" || has("M7")) return "major";
  if (q == "5" || q == "aug" || q == "+") return "other";
  if (has("7") || has("9") || has("11") || has("13") || has("alt")) return "dominant";
  return "other";
}

}  // namespace tw
