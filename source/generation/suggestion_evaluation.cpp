#include "generation/suggestion_evaluation.hpp"

#include "analysis/roman_numerals.hpp"
#include "chord/quality_catalogue.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/corpus_numerals.hpp"
#include "generation/suggestion_engine.hpp"

namespace tw {

namespace {

constexpr std::size_t kContextChords = 4;

// A prediction counts when it names the played chord's root and seventh-level quality.
bool matches(PitchClass root, const std::string& quality, const ParsedChord& actual) {
  if (root != actual.root) return false;
  auto resolved = resolveQuality(quality);
  if (!resolved) return false;
  ParsedChord predicted = makeParsedChord(root, *resolved, std::nullopt);
  return reducedQuality(predicted, QualityLevel::seventh) == reducedQuality(actual, QualityLevel::seventh);
}

void record(PredictionFigures& f, long rank) {
  ++f.cases;
  if (rank == 1) f.top1 += 1;
  if (rank >= 1 && rank <= 5) f.top5 += 1;
  if (rank >= 1) f.meanReciprocalRank += 1.0 / static_cast<double>(rank);
}

void finish(PredictionFigures& f) {
  if (f.cases == 0) return;
  double n = static_cast<double>(f.cases);
  f.top1 /= n;
  f.top5 /= n;
  f.meanReciprocalRank /= n;
}

long baselineRank(const KeyContext& key, const ParsedChord& previous, const ParsedChord& actual) {
  KeyContext natural{key.root, key.minor, false};
  for (const auto& numeral : lookupNumerals(natural, previous)) {
    auto list = continuationCorpus().continuations(numeral, 255);
    if (list.empty()) continue;
    long rank = 0;
    for (const auto& c : list) {
      RomanChord chord = chordFromRoman(natural, c.numeral);
      if (!chord.valid) continue;
      ++rank;
      if (matches(chord.root, chord.quality, actual)) return rank;
    }
    return 0;
  }
  return 0;
}

struct Case {
  const HeldOutPiece* piece;
  std::size_t index;  // the chord to predict
};

}  // namespace

std::map<std::string, GenrePrediction> evaluateNextChordPrediction(const std::vector<HeldOutPiece>& pieces,
                                                                   long perGenreLimit) {
  std::map<std::string, std::vector<Case>> cases;
  for (const auto& held : pieces) {
    const auto& chords = held.piece.chords;
    for (std::size_t i = 1; i < chords.size(); ++i) {
      const auto& a = chords[i - 1];
      const auto& b = chords[i];
      if (b.afterGap || !(a.key == b.key)) continue;
      if (a.chord.root == b.chord.root && sameQuality(a.chord.quality, b.chord.quality)) continue;  // held on
      cases[held.genreKey].push_back({&held, i});
    }
  }
  std::map<std::string, GenrePrediction> out;
  SuggestionOptions options;
  options.voice = false;
  for (auto& [genre, list] : cases) {
    std::size_t step = 1;
    if (perGenreLimit > 0 && list.size() > static_cast<std::size_t>(perGenreLimit))
      step = list.size() / static_cast<std::size_t>(perGenreLimit);
    GenrePrediction& result = out[genre];
    for (std::size_t n = 0; n < list.size(); n += step) {
      const Case& c = list[n];
      const auto& chords = c.piece->piece.chords;
      const AnnotatedChord& actual = chords[c.index];
      SuggestionContext context;
      context.key = actual.key;
      std::size_t first = c.index;
      while (first > 0 && c.index - first < kContextChords && !chords[first].afterGap &&
             chords[first - 1].key == actual.key)
        --first;
      for (std::size_t j = first; j < c.index; ++j) context.previous.push_back(chords[j].chord);
      auto suggestions = suggestChords(context, options);
      long rank = 0;
      for (std::size_t r = 0; r < suggestions.size(); ++r)
        if (matches(suggestions[r].root, suggestions[r].quality, actual.chord)) {
          rank = static_cast<long>(r) + 1;
          break;
        }
      record(result.engine, rank);
      record(result.baseline, baselineRank(actual.key, chords[c.index - 1].chord, actual.chord));
    }
    finish(result.engine);
    finish(result.baseline);
  }
  return out;
}

}  // namespace tw
