#include "generation/local_progression_generator.hpp"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

#include "analysis/key_detection.hpp"
#include "analysis/roman_numerals.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/genre_filters.hpp"
#include "generation/random_source.hpp"
#include "generation/recent_progressions.hpp"

namespace tw {

namespace {
constexpr int kAttempts = 12;
constexpr double kChromaticMinimumProbability = 0.15;
constexpr std::size_t kPopPlainCandidates = 3;

std::size_t uniformIndex(std::mt19937& engine, std::size_t count) {
  return std::uniform_int_distribution<std::size_t>(0, count - 1)(engine);
}

// The continuation that replaces a chord, or nothing when no candidate passes the filters.
std::optional<std::string> chooseContinuation(const std::string& genreKey,
                                              const std::string& previous, bool minorKey,
                                              std::mt19937& engine) {
  const bool pop = genreKey == "popedm";
  auto candidates = continuationCorpus().continuations(previous, pop ? 12 : 5);
  std::vector<const Continuation*> kept;
  for (const auto& c : candidates)
    if (genreAcceptsContinuation(genreKey, c.numeral, minorKey)) kept.push_back(&c);
  if (pop) {
    std::vector<const Continuation*> plain;
    const Continuation* chromatic = nullptr;
    for (const auto* c : kept) {
      if (!chromatic && isChromaticNumeral(c->numeral) &&
          c->probability >= kChromaticMinimumProbability) {
        chromatic = c;
      } else if (plain.size() < kPopPlainCandidates) {
        plain.push_back(c);
      }
    }
    if (chromatic) plain.push_back(chromatic);
    if (!plain.empty()) return plain[uniformIndex(engine, plain.size())]->numeral;
  }
  if (kept.empty()) return std::nullopt;
  return kept[uniformIndex(engine, kept.size())]->numeral;
}

// True when the key read from the realised chords has the requested tonic.
bool keepsRequestedTonic(const std::vector<RomanChord>& chords, PitchClass tonic) {
  std::vector<KeyInputChord> input;
  input.reserve(chords.size());
  for (const auto& c : chords) input.push_back({c.root, c.quality, c.bass, c.hasBass, 1.0});
  return detectKey(input).root == tonic;
}

struct AttemptResult {
  GeneratedProgression progression;
  std::vector<RomanChord> chords;
};

std::optional<AttemptResult> attempt(const std::string& genreKey, int length, const KeyChoice& choice,
                                     double temperature, const ResolvedSpelling& spelling) {
  const auto* stored = progressionCorpus().find(genreKey, length);
  if (!stored) return std::nullopt;
  std::mt19937 engine = freshEngine();
  std::vector<const StoredProgression*> candidates;
  for (const auto& p : *stored)
    if (choice.automatic || p.mode.minor == choice.minor) candidates.push_back(&p);
  if (candidates.empty()) return std::nullopt;
  const StoredProgression& chosen = *candidates[uniformIndex(engine, candidates.size())];

  KeyContext key{choice.tonic, choice.minor, choice.minor && choice.melodic};
  if (choice.automatic) key = {choice.tonic, chosen.mode.minor, chosen.mode.minor && chosen.mode.melodic};

  std::vector<std::string> numerals = chosen.numerals;
  if (temperature > 0 && numerals.size() >= 2 && !continuationCorpus().empty()) {
    for (std::size_t i = 1; i + 1 < numerals.size(); ++i) {
      if (uniformUnit(engine) > temperature) continue;
      if (auto next = chooseContinuation(genreKey, numerals[i - 1], key.minor, engine))
        numerals[i] = *next;
    }
  }

  AttemptResult result;
  SpellingOptions options = spelling.options();
  RomanFlags flags{true, spelling.preferFlats};
  for (const auto& numeral : numerals) {
    RomanChord chord = chordFromRoman(key, numeral);
    if (!chord.valid) continue;
    std::string symbol = spellPitchInKey(key, chord.root, options) + chord.quality;
    if (chord.hasBass) symbol += "/" + spellPitchInKey(key, chord.bass, options);
    AnalysisChord named{chord.root, chord.quality.empty() ? "maj" : chord.quality, chord.bass, chord.hasBass};
    result.progression.chords.push_back(std::move(symbol));
    result.progression.numerals.push_back(romanForChord(key, named, flags));
    result.chords.push_back(std::move(chord));
  }
  if (result.progression.chords.empty()) return std::nullopt;
  result.progression.signature = progressionSignature(result.progression.chords);
  return result;
}

}  // namespace

int mappedProgressionLength(long long requested) {
  switch (requested) {
    case 6: return 6;
    case 8: return 8;
    default: return 4;
  }
}

std::optional<GeneratedProgression> generationAttempt(const std::string& genreKey, int length,
                                                      const KeyChoice& key, double temperature,
                                                      const ResolvedSpelling& spelling) {
  auto result = attempt(genreKey, length, key, temperature, spelling);
  if (!result) return std::nullopt;
  return std::move(result->progression);
}

KeyChoice automaticKeyChoice() {
  auto& engine = processEngine();
  std::uint32_t tonic = 0;
  do tonic = static_cast<std::uint32_t>(engine()) & 0xF;
  while (tonic > 11);
  return {static_cast<PitchClass>(tonic), false, false, true};
}

std::optional<GeneratedProgression> generateLocalProgression(const std::string& genreKey, int length,
                                                             const KeyChoice& key, double temperature,
                                                             const ResolvedSpelling& spelling) {
  return generateLocalProgression(genreKey, length, key, temperature, spelling, recentProgressions());
}

std::optional<GeneratedProgression> generateLocalProgression(const std::string& genreKey, int length,
                                                             const KeyChoice& key, double temperature,
                                                             const ResolvedSpelling& spelling,
                                                             RecentProgressions& recent) {
  std::optional<AttemptResult> accepted;
  std::optional<AttemptResult> lastProduced;
  for (int n = 0; n < kAttempts && !accepted; ++n) {
    auto result = attempt(genreKey, length, key, temperature, spelling);
    if (!result) continue;
    bool repeated = recent.contains(result->progression.signature);
    bool keyMoved = !key.automatic && !keepsRequestedTonic(result->chords, key.tonic);
    if ((repeated || keyMoved) && n + 1 < kAttempts) {
      lastProduced = std::move(result);
      continue;
    }
    accepted = std::move(result);
  }
  // When the last attempt produced nothing, an earlier rejected progression still answers
  // the request rather than an error.
  if (!accepted) accepted = std::move(lastProduced);
  if (!accepted) return std::nullopt;
  recent.accept(accepted->progression.signature);
  return std::move(accepted->progression);
}

}  // namespace tw
