#pragma once
// The numerals the corpora store: a chord named in its key with the engine's own numeral
// naming, kept only when the engine realises the text back into the same chord.
#include <optional>
#include <string>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"

namespace tw {

// Levels of detail a chord is reduced to before it is named, so that statistics are not
// scattered over every colour a player adds.
enum class QualityLevel {
  triad,    // "", "m", "dim", "aug", "sus4", "sus2"
  seventh,  // the triad plus its seventh ("7", "maj7", "m7", "mM7", "m7b5", "dim7", "7sus4"), or "5"
  full,     // the chord's own quality
};

// The reduced quality ("" for the major triad).
std::string reducedQuality(const ParsedChord& chord, QualityLevel level);

// The numeral of a chord (root, quality with "" or "maj" for the major triad, optional bass)
// in a key, or nothing when the engine would not realise it as the same chord. A bass the
// numeral cannot carry (a V over a scale degree reads as a secondary dominant) is dropped
// first.
std::optional<std::string> realisableNumeral(const KeyContext& key, PitchClass root,
                                             const std::string& quality,
                                             std::optional<PitchClass> bass);

// True when two qualities name the same catalogue entry ("" and "maj" are the major triad).
bool sameQuality(const std::string& a, const std::string& b);

}  // namespace tw

#include <vector>

namespace tw {

// The numerals a chord is looked up by in the continuation corpus, most specific first: as
// played (with its bass), without its bass, reduced to its seventh, reduced to its triad.
std::vector<std::string> lookupNumerals(const KeyContext& key, const ParsedChord& chord);

// The numeral a chord is named by as a continuation (its seventh, no bass), or empty.
std::string continuationNumeral(const KeyContext& key, const ParsedChord& chord);

// The numeral the collections' habit tables know a chord by: its own quality without the
// bass, or its seventh when the engine cannot name the full quality; empty when neither
// realises.
std::string habitNumeral(const KeyContext& key, const ParsedChord& chord);

}  // namespace tw
