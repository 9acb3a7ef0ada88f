#pragma once
// Builds the two corpora from the human-annotated data sets: the progressions real pieces
// play, per genre and length, the continuations of every numeral across all genres, and each
// collection's own habits (collection_habits.hpp).
// The build is deterministic: the same data sets always give the same bytes.
#include <map>
#include <string>
#include <vector>

#include "datasets/dataset_readers.hpp"
#include "generation/continuation_corpus.hpp"
#include "generation/progression_corpus.hpp"

namespace tw {

struct DatasetSummary {
  std::string name;
  std::string genreKey;
  bool found = false;
  std::size_t piecesUsed = 0;
  std::size_t piecesHeldOut = 0;
  long chordsRead = 0;
  long noChord = 0;
  long rejectedCount = 0;
  std::map<std::string, long> rejected;
  long rewrittenCount = 0;  // chart spellings read through the chart reader's table
  std::map<std::string, long> rewritten;
  long unnamedChords = 0;  // chords no realisable numeral names
  long transitions = 0;
};

// A piece with the collection it comes from.
struct CollectionPiece {
  std::string genreKey;
  std::string dataset;
  AnnotatedPiece piece;
};

struct BuiltCorpora {
  ProgressionCorpus progressions;
  ContinuationCorpus continuations;
  std::vector<DatasetSummary> datasets;
  std::vector<CollectionPiece> heldOut;   // never seen by the corpora
  std::vector<CollectionPiece> training;  // what the corpora were built from, when kept
};

struct CorpusBuildOptions {
  // Holds a further tenth of the remaining pieces out and evaluates on it instead: tuning
  // looks at these, so the held-out tenth stays unseen. The tenth held out for evaluation
  // is then left out of everything.
  bool validation = false;
  bool keepTraining = false;
};

inline constexpr int kMajorProgressionsPerGroup = 250;
inline constexpr int kMinorProgressionsPerGroup = 150;
inline constexpr std::size_t kContinuationsPerNumeral = 24;

BuiltCorpora buildCorpora(const std::string& datasetsFolder, const CorpusBuildOptions& options = {});

// The stored lengths of progressions.
inline constexpr int kProgressionLengths[] = {4, 6, 8};

}  // namespace tw
