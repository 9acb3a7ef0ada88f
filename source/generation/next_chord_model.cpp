#include "generation/next_chord_model.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "generation/collection_habits.hpp"
#include "generation/corpus_numerals.hpp"

namespace tw {

namespace {

// The progression's last chords that are weighed, at most: enough to tell the collections
// apart and to find a repeated phrase, few enough to keep a request quick.
constexpr std::size_t kWindow = 16;
// How far the progression's own moves may outweigh the collections' habits.
constexpr double kRepeatShare = 0.5;
// A collection that has never shown a chord after a context still leaves it this share of
// the least likely chord it lists there.
constexpr double kUnlistedShare = 0.5;

double listed(std::span<const Continuation> list, std::string_view numeral) {
  for (const auto& c : list)
    if (c.numeral == numeral) return c.probability;
  return list.empty() ? 0.0 : kUnlistedShare * list.back().probability;
}

// The last chords before the position as habit numerals, oldest first, a chord held on
// counted once; an unnamed chord breaks the progression, as it breaks the runs the habits were
// counted on. Only the window is named, however long the progression.
std::vector<std::string> habitContext(const KeyContext& key, std::span<const ParsedChord> previous) {
  std::vector<std::string> numerals;
  for (auto chord = previous.rbegin(); chord != previous.rend() && numerals.size() <= kWindow; ++chord) {
    std::string numeral = habitNumeral(key, *chord);
    if (numeral.empty()) break;
    if (numerals.empty() || numerals.back() != numeral) numerals.push_back(std::move(numeral));
  }
  if (numerals.size() > kWindow) numerals.pop_back();  // the one that showed the window was full
  std::reverse(numerals.begin(), numerals.end());
  return numerals;
}

// What followed earlier occurrences of the last chord in the progression, the more so the
// longer the run of chords before it that matches the progression's end.
std::map<std::string, double, std::less<>> repeatedMoves(const std::vector<std::string>& numerals, double& mass) {
  std::map<std::string, double, std::less<>> moves;
  mass = 0.0;
  const std::size_t n = numerals.size();
  for (std::size_t j = 1; j < n; ++j) {
    std::size_t match = 0;
    while (match < j && numerals[j - 1 - match] == numerals[n - 1 - match]) ++match;
    if (match == 0) continue;
    double weight = std::ldexp(1.0, static_cast<int>(std::min<std::size_t>(match, 12)) - 1);
    moves[numerals[j]] += weight;
    mass += weight;
  }
  return moves;
}

}  // namespace

double NextChordModel::probabilityOfNumeral(std::string_view numeral) const {
  auto it = byNumeral_.find(numeral);
  return it != byNumeral_.end() ? it->second : 0.0;
}

NextChordModel predictNextChords(const ContinuationCorpus& corpus, const KeyContext& key,
                                 std::span<const ParsedChord> previous) {
  NextChordModel model;
  model.weights_.assign(kCollections.size(), 0.0);
  const KeyContext natural{key.root, key.minor, false};
  std::map<std::string, double, std::less<>> mixed;

  std::vector<bool> present(kCollections.size(), false);
  for (std::size_t g = 0; g < kCollections.size(); ++g)
    present[g] = !habitContinuations(corpus, kCollections[g], key.minor, {}).empty();
  model.fromHabits_ = std::find(present.begin(), present.end(), true) != present.end();

  if (model.fromHabits_) {
    const std::vector<std::string> numerals = habitContext(natural, previous);
    const std::span<const std::string> all(numerals);
    // How well each collection explains the progression, as a log-likelihood: its chords, one
    // after another, and what it puts in the bass.
    const std::span<const ParsedChord> recent = previous.subspan(previous.size() - std::min(previous.size(), kWindow));
    std::vector<double> fit(kCollections.size(), 0.0);
    for (std::size_t g = 0; g < kCollections.size(); ++g) {
      if (!present[g]) continue;
      const auto shares = bassMemberShares(corpus, kCollections[g], key.minor);
      for (const auto& chord : recent)
        for (const auto& share : shares)
          if (share.numeral == bassMember(chord) && share.probability > 0.0f) fit[g] += std::log(share.probability);
      for (std::size_t i = 0; i < numerals.size(); ++i) {
        std::size_t from = i > kHabitContext ? i - kHabitContext : 0;
        double p = listed(habitContinuations(corpus, kCollections[g], key.minor, all.subspan(from, i - from)), numerals[i]);
        fit[g] += std::log(std::max(p, 1e-9));
      }
    }
    double best = -INFINITY;
    for (std::size_t g = 0; g < fit.size(); ++g)
      if (present[g]) best = std::max(best, fit[g]);
    double sum = 0.0;
    for (std::size_t g = 0; g < fit.size(); ++g) {
      model.weights_[g] = present[g] ? std::exp(fit[g] - best) : 0.0;
      sum += model.weights_[g];
    }
    const std::size_t from = numerals.size() > kHabitContext ? numerals.size() - kHabitContext : 0;
    for (std::size_t g = 0; g < fit.size(); ++g) {
      model.weights_[g] /= sum;
      if (model.weights_[g] < 1e-4) continue;
      for (const auto& c : habitContinuations(corpus, kCollections[g], key.minor, all.subspan(from)))
        mixed[c.numeral] += model.weights_[g] * c.probability;
    }
    double mass = 0.0;
    auto repeats = repeatedMoves(numerals, mass);
    if (mass > 0.0) {
      const double share = kRepeatShare * std::min(1.0, mass / 2.0);
      for (auto& [numeral, p] : mixed) p *= 1.0 - share;
      for (const auto& [numeral, weight] : repeats) mixed[numeral] += share * weight / mass;
    }
  } else if (!previous.empty()) {
    for (const auto& numeral : lookupNumerals(natural, previous.back())) {
      auto list = corpus.continuations(numeral, 255);
      if (list.empty()) continue;
      for (const auto& c : list) mixed.emplace(c.numeral, c.probability);
      break;
    }
  }

  model.ranked_.reserve(mixed.size());
  for (const auto& [numeral, p] : mixed) model.ranked_.push_back({numeral, static_cast<float>(p)});
  std::stable_sort(model.ranked_.begin(), model.ranked_.end(),
                   [](const Continuation& a, const Continuation& b) { return a.probability > b.probability; });
  // Moving the model moves the list's buffer, so the views stay valid.
  model.byNumeral_.reserve(model.ranked_.size());
  for (const auto& c : model.ranked_) model.byNumeral_.emplace(c.numeral, c.probability);
  return model;
}

}  // namespace tw
