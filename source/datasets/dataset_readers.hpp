#pragma once
// Readers of the four human-annotated data sets: every piece becomes a sequence of engine
// chords, each with the key it stands in. Symbols a reader cannot turn into a chord are
// counted by text, never guessed.
#include <map>
#include <string>
#include <vector>

#include "generation/annotated_piece.hpp"

namespace tw {

struct DatasetReading {
  std::string name;
  std::vector<AnnotatedPiece> pieces;
  long chordsRead = 0;  // chord entries turned into engine chords
  long noChord = 0;     // rests and no-chord marks
  long rejectedCount = 0;
  std::map<std::string, long> rejected;  // symbol (and reason) -> occurrences
  long rewrittenCount = 0;               // chord symbols read through the chart reader's table
  std::map<std::string, long> rewritten;  // chart symbol -> occurrences
  long piecesSeen = 0;                   // pieces with at least one chord entry
  long piecesFullyRead = 0;              // of those, pieces none of whose entries was rejected
  bool found = false;                    // the data set's files were present
};

// How the lead-sheet reader reads chord symbols: as the catalogue spells them, or through the
// chart reader's table of chart spellings as well.
enum class SymbolReading { catalogue, chart };

DatasetReading readWhenInRome(const std::string& datasetsFolder);
DatasetReading readRockCorpus(const std::string& datasetsFolder);
DatasetReading readBillboard(const std::string& datasetsFolder);
DatasetReading readJazzCorpus(const std::string& datasetsFolder,
                              SymbolReading symbols = SymbolReading::chart);

// A fixed tenth of the pieces (by a seeded hash of their ids), kept out of the corpora for
// evaluation. Splits `reading.pieces` into the kept and the held-out ones.
std::vector<AnnotatedPiece> holdOutTenth(std::vector<AnnotatedPiece>& pieces);

}  // namespace tw
