#include "generation/candidate_facts.hpp"

#include <unordered_map>

#include "analysis/roman_numerals.hpp"
#include "chord/chord_parser.hpp"
#include "chord/quality_catalogue.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/corpus_numerals.hpp"

namespace tw {

namespace {

// Numerals depend only on where the chord lies relative to the tonic, so one entry serves
// every key of a mode.
using Cache = std::unordered_map<std::string, CandidateFacts>;

Cache& cache() {
  static Cache facts;
  return facts;
}

std::uint64_t& corpusFactsWereFor() {
  static std::uint64_t loads = 0;
  return loads;
}

std::string cacheKey(const KeyContext& key, PitchClass root, std::string_view quality, std::optional<PitchClass> bass) {
  std::string text;
  text.reserve(quality.size() + 3);
  text += key.minor ? 'm' : 'M';
  text += static_cast<char>('a' + reducePitchClass(root - key.root));
  text += bass && *bass != root ? static_cast<char>('a' + reducePitchClass(*bass - key.root)) : '-';
  text += quality;
  return text;
}

}  // namespace

const CandidateFacts& candidateFacts(const KeyContext& key, PitchClass root, std::string_view quality,
                                     std::optional<PitchClass> bass) {
  std::string k = cacheKey(key, root, quality, bass);
  auto it = cache().find(k);
  if (it != cache().end()) return it->second;
  const KeyContext natural{key.root, key.minor, false};
  const ChordQuality* resolved = findQuality(quality);
  static const ChordQuality kMajorTriad{"maj", IntervalList{0, 4, 7}};
  const ChordQuality& q = resolved ? *resolved : kMajorTriad;
  ParsedChord chord = makeParsedChord(root, q, bass && *bass != root ? bass : std::nullopt);
  CandidateFacts f;
  f.canonical = chord.quality;
  f.intervals = &qualityIntervals(chord.quality);
  f.habitNumeral = habitNumeral(natural, chord);
  f.continuationNumeral = continuationNumeral(natural, chord);
  for (const auto& numeral : lookupNumerals(natural, chord)) {
    f.followers = continuationCorpus().continuations(numeral, 255);
    if (!f.followers.empty()) break;
  }
  return cache().emplace(std::move(k), std::move(f)).first->second;
}

void trimCandidateFacts() {
  if (cache().size() >= kCandidateFactsLimit || corpusFactsWereFor() != continuationCorpusLoads()) cache().clear();
  corpusFactsWereFor() = continuationCorpusLoads();
}

}  // namespace tw
