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
// every key of a mode. Qualities are told apart by their catalogue entry, so every spelling
// of one quality shares an entry.
struct FactsKey {
  const ChordQuality* quality;
  int place;  // mode, root and bass relative to the tonic

  friend bool operator==(const FactsKey&, const FactsKey&) = default;
};

struct FactsKeyHash {
  std::size_t operator()(const FactsKey& k) const {
    return std::hash<const void*>{}(k.quality) * 31 + static_cast<std::size_t>(k.place);
  }
};

using Cache = std::unordered_map<FactsKey, CandidateFacts, FactsKeyHash>;

Cache& cache() {
  static Cache facts;
  return facts;
}

std::uint64_t& corpusFactsWereFor() {
  static std::uint64_t loads = 0;
  return loads;
}

const ChordQuality& majorTriad() {
  static const ChordQuality* triad = findQuality("");
  return *triad;
}

}  // namespace

const CandidateFacts& candidateFacts(const KeyContext& key, PitchClass root, std::string_view quality,
                                     std::optional<PitchClass> bass) {
  const ChordQuality* resolved = findQuality(quality);
  const ChordQuality& q = resolved ? *resolved : majorTriad();
  if (bass && *bass == root) bass.reset();
  const FactsKey k{&q, (key.minor ? 1 << 8 : 0) | reducePitchClass(root - key.root) << 4 |
                           (bass ? reducePitchClass(*bass - key.root) : 12)};
  auto it = cache().find(k);
  if (it != cache().end()) return it->second;
  const KeyContext natural{key.root, key.minor, false};
  ParsedChord chord = makeParsedChord(root, q, bass);
  CandidateFacts f;
  f.quality = &q;
  f.canonical = chord.quality;
  f.intervals = &qualityIntervals(chord.quality);
  f.habitNumeral = habitNumeral(natural, chord);
  f.continuationNumeral = continuationNumeral(natural, chord);
  for (const auto& numeral : lookupNumerals(natural, chord)) {
    f.followers = continuationCorpus().continuations(numeral, 255);
    if (!f.followers.empty()) break;
  }
  return cache().emplace(k, std::move(f)).first->second;
}

void trimCandidateFacts() {
  if (cache().size() >= kCandidateFactsLimit || corpusFactsWereFor() != continuationCorpusLoads()) cache().clear();
  corpusFactsWereFor() = continuationCorpusLoads();
}

}  // namespace tw
