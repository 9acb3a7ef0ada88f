#pragma once
// Next-chord prediction measured on pieces the corpora never saw: at every chord change of a
// piece, "get_suggestions" is asked with the chords before it, and the chord actually played
// next (by root and pitch classes) is looked for in the reply. The same is done for a plain
// per-collection bigram (which chord follows which, relative to the key, counted on the
// training pieces and ranked by count), the yardstick the engine has to beat.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "datasets/corpus_builder.hpp"

namespace tw {

struct PredictionFigures {
  long cases = 0;
  double hit1 = 0.0;  // fractions of the cases
  double hit5 = 0.0;
  double hit10 = 0.0;
  double meanReciprocalRank = 0.0;
};

struct CollectionPrediction {
  PredictionFigures engine;
  PredictionFigures baseline;
};

struct PredictionOptions {
  // Chords before the position that the request carries, at most (within the same key,
  // since the last rest or unreadable chord; a chord held on counts once).
  std::size_t context = 8;
  // At most this many cases per collection, evenly spread over its pieces; 0 means all.
  long casesPerCollection = 0;
  // Told the collection and the number of cases done and in all, now and then.
  std::function<void(const std::string&, long, long)> progress;
};

// Uses the process-wide continuation corpus, which should be built from `training`.
std::map<std::string, CollectionPrediction> evaluateNextChordPrediction(const std::vector<CollectionPiece>& heldOut,
                                                                        const std::vector<CollectionPiece>& training,
                                                                        const PredictionOptions& options);

}  // namespace tw
