#pragma once
// Next-chord prediction on pieces kept out of the corpora: how often the chord a piece
// actually plays next is the first suggestion, among the first five, and its mean
// reciprocal rank, against ranking by the continuation corpus alone.
#include <map>
#include <string>
#include <vector>

#include "generation/corpus_builder.hpp"

namespace tw {

struct PredictionFigures {
  long cases = 0;
  double top1 = 0.0;  // fractions of the cases
  double top5 = 0.0;
  double meanReciprocalRank = 0.0;
};

struct GenrePrediction {
  PredictionFigures engine;    // the suggestion engine's final list
  PredictionFigures baseline;  // the continuation corpus alone
};

// Uses the process-wide continuation corpus. At most `perGenreLimit` cases per genre (evenly
// spread over the pieces) keep the run short; 0 means all.
std::map<std::string, GenrePrediction> evaluateNextChordPrediction(const std::vector<HeldOutPiece>& pieces,
                                                                   long perGenreLimit);

}  // namespace tw
