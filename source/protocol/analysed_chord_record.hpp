#pragma once
// The record replies give one analysed chord: root, quality, symbol, category, bass (only for a
// chord with one), roman and degree.
#include "analysis/roman_numerals.hpp"
#include "protocol/handler_contract.hpp"

namespace tw {

Json analysedChordRecord(const KeyContext& key, const ParsedChord& chord, SpellingOptions options);

}  // namespace tw
