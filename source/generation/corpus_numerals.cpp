#include "generation/corpus_numerals.hpp"

#include "analysis/roman_numerals.hpp"
#include "chord/quality_catalogue.hpp"

#include <algorithm>

namespace tw {

namespace {
bool hasTone(const IntervalList& intervals, int pc) {
  for (int i : intervals)
    if (i % 12 == pc) return true;
  return false;
}

std::optional<std::string> canonicalQuality(const std::string& q) {
  auto resolved = resolveQuality(q);
  if (!resolved) return std::nullopt;
  return resolved->symbol;
}

bool realisesAs(const KeyContext& key, const std::string& numeral, PitchClass root,
                const std::string& quality, std::optional<PitchClass> bass) {
  RomanChord rc = chordFromRoman(key, numeral);
  if (!rc.valid || rc.root != root || !sameQuality(rc.quality, quality)) return false;
  if (rc.hasBass != bass.has_value()) return false;
  return !bass || rc.bass == *bass;
}
}  // namespace

bool sameQuality(const std::string& a, const std::string& b) {
  auto ca = canonicalQuality(a);
  auto cb = canonicalQuality(b);
  return ca && cb && *ca == *cb;
}

std::string reducedQuality(const ParsedChord& chord, QualityLevel level) {
  if (level == QualityLevel::full) return chord.quality == "maj" ? "" : chord.quality;
  const auto& iv = chord.intervals;
  bool major = hasTone(iv, 4);
  bool minor = !major && hasTone(iv, 3);
  bool fifth = hasTone(iv, 7);
  enum { kMajor, kMinor, kDim, kAug, kSus4, kSus2, kPower } family;
  if (major) family = (!fifth && hasTone(iv, 8)) ? kAug : kMajor;
  else if (minor) family = (!fifth && hasTone(iv, 6)) ? kDim : kMinor;
  else if (hasTone(iv, 5)) family = kSus4;
  else if (hasTone(iv, 2)) family = kSus2;
  else family = kPower;
  bool flatSeventh = hasTone(iv, 10);
  bool majorSeventh = hasTone(iv, 11);
  bool diminishedSeventh = hasTone(iv, 9);
  static constexpr std::string_view kTriads[] = {"", "m", "dim", "aug", "sus4", "sus2", ""};
  std::string_view result = kTriads[family];
  if (level == QualityLevel::seventh) {
    switch (family) {
      case kMajor: result = flatSeventh ? "7" : majorSeventh ? "maj7" : ""; break;
      case kMinor: result = flatSeventh ? "m7" : majorSeventh ? "mM7" : "m"; break;
      case kDim: result = diminishedSeventh ? "dim7" : flatSeventh ? "m7b5" : "dim"; break;
      case kAug: result = flatSeventh ? "7#5" : majorSeventh ? "maj7#5" : "aug"; break;
      case kSus4: result = flatSeventh ? "7sus4" : "sus4"; break;
      case kSus2: result = "sus2"; break;
      case kPower: result = "5"; break;
    }
    if (!result.empty() && !isCatalogueSymbol(result)) result = kTriads[family];
  }
  if (!result.empty() && !isCatalogueSymbol(result)) result = {};
  return std::string(result);
}

std::optional<std::string> realisableNumeral(const KeyContext& key, PitchClass root,
                                             const std::string& quality,
                                             std::optional<PitchClass> bass) {
  std::string q = quality == "maj" ? "" : quality;
  if (bass && *bass == root) bass.reset();
  if (bass) {
    AnalysisChord slash{root, q, *bass, true};
    std::string numeral = romanSlashNumeral(key, slash, RomanFlags{});
    if (realisesAs(key, numeral, root, q, bass)) return numeral;
  }
  AnalysisChord plain{root, q, 0, false};
  std::string numeral = romanForChord(key, plain, RomanFlags{});
  if (realisesAs(key, numeral, root, q, std::nullopt)) return numeral;
  return std::nullopt;
}

}  // namespace tw

namespace tw {

std::vector<std::string> lookupNumerals(const KeyContext& key, const ParsedChord& chord) {
  // Lookups need no round trip: the corpus only holds numerals that realise, so a name that
  // would not simply finds nothing.
  KeyContext natural{key.root, key.minor, false};
  std::vector<std::string> out;
  out.reserve(4);
  auto add = [&](std::string n) {
    if (std::find(out.begin(), out.end(), n) == out.end()) out.push_back(std::move(n));
  };
  auto named = [&](const std::string& quality, bool withBass) {
    bool slash = withBass && chord.bass && *chord.bass != chord.root;
    AnalysisChord a{chord.root, quality, slash ? *chord.bass : 0, slash};
    return slash ? romanSlashNumeral(natural, a, RomanFlags{}) : romanForChord(natural, a, RomanFlags{});
  };
  const std::string full = reducedQuality(chord, QualityLevel::full);
  if (chord.bass && *chord.bass != chord.root) add(named(full, true));
  add(named(full, false));
  add(named(reducedQuality(chord, QualityLevel::seventh), false));
  add(named(reducedQuality(chord, QualityLevel::triad), false));
  return out;
}

std::string continuationNumeral(const KeyContext& key, const ParsedChord& chord) {
  KeyContext natural{key.root, key.minor, false};
  return romanForChord(natural, AnalysisChord{chord.root, reducedQuality(chord, QualityLevel::seventh), 0, false},
                       RomanFlags{});
}

std::string habitNumeral(const KeyContext& key, const ParsedChord& chord) {
  KeyContext natural{key.root, key.minor, false};
  for (QualityLevel level : {QualityLevel::full, QualityLevel::seventh})
    if (auto numeral = realisableNumeral(natural, chord.root, reducedQuality(chord, level), std::nullopt))
      return *numeral;
  return {};
}

}  // namespace tw
