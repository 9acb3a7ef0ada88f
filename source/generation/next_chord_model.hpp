#pragma once
// What the chords so far say comes next. Each collection's habits (collection_habits.hpp)
// are weighted by how well that collection explains the progression up to here, so a
// progression that sounds like jazz is continued the way jazz continues; the moves the
// progression has already made weigh in too, since music repeats itself. Without habit
// tables in the corpus the pooled continuations of the last chord answer alone.
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"
#include "generation/continuation_corpus.hpp"

namespace tw {

class NextChordModel {
 public:
  // The continuations the corpus offers, best first: numeral (in the natural form of the key)
  // and probability.
  const std::vector<Continuation>& ranked() const { return ranked_; }

  // The probability of the chord a numeral names coming next (0 when nothing suggests it).
  // Numerals are habit numerals (habitNumeral) when the model draws on habit tables, else
  // continuation numerals (continuationNumeral).
  double probabilityOfNumeral(std::string_view numeral) const;
  bool fromHabits() const { return fromHabits_; }

  // How much each collection's habits counted, in kCollections order (all 0 without habit
  // tables).
  const std::vector<double>& collectionWeights() const { return weights_; }

  friend NextChordModel predictNextChords(const ContinuationCorpus& corpus, const KeyContext& key,
                                          std::span<const ParsedChord> previous);

  NextChordModel() = default;
  // The lookup table points into the ranked list: a copy needs its own.
  NextChordModel(const NextChordModel&) = delete;
  NextChordModel& operator=(const NextChordModel&) = delete;
  NextChordModel(NextChordModel&&) = default;
  NextChordModel& operator=(NextChordModel&&) = default;

 private:
  std::vector<Continuation> ranked_;
  std::unordered_map<std::string_view, double> byNumeral_;  // into ranked_
  std::vector<double> weights_;
  bool fromHabits_ = false;
};

NextChordModel predictNextChords(const ContinuationCorpus& corpus, const KeyContext& key,
                                 std::span<const ParsedChord> previous);

}  // namespace tw
