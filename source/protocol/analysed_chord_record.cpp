#include "protocol/analysed_chord_record.hpp"

namespace tw {

Json analysedChordRecord(const KeyContext& key, const ParsedChord& chord, SpellingOptions options) {
  AnalysedChord analysed = analyseChord(key, chord, options);
  Json record = Json::object();
  if (analysed.bass) record["bass"] = std::move(*analysed.bass);
  record["category"] = std::move(analysed.category);
  record["degree"] = analysed.degree;
  record["quality"] = std::move(analysed.quality);
  record["roman"] = std::move(analysed.roman);
  record["root"] = std::move(analysed.root);
  record["symbol"] = std::move(analysed.symbol);
  return record;
}

}  // namespace tw
