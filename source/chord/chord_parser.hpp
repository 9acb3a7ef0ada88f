#pragma once
// The chord-symbol parser: the single entry point for chord text in the engine.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chord/interval_list.hpp"
#include "chord/pitch_class.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {

struct ParsedChord {
  PitchClass root = 0;
  std::string quality;           // canonical symbol ("maj" for the major triad)
  IntervalList intervals;        // copy of the catalogue intervals of quality
  std::optional<PitchClass> bass;  // the slash bass, when written
  std::string symbol;            // the input after trimming, exactly as typed

  bool hasBass() const { return bass.has_value(); }
};

std::optional<ParsedChord> parseChordSymbol(std::string_view text);

struct RootToken {
  std::optional<PitchClass> root;  // empty when the token is not a note name
  std::string_view token;          // the letter and its run of '#' or 'b'
  std::string_view rest;           // everything after the token, untouched
};

// Shared by roots and slash basses.
RootToken splitRootToken(std::string_view text);

// Builds a chord that was never typed; an empty symbol is made from sharp-table names.
ParsedChord makeParsedChord(PitchClass root, const ChordQuality& quality,
                            std::optional<PitchClass> bass, std::string symbol = {});

// Root name, quality symbol and "/bass" from the flat or sharp table.
std::string chordSymbolText(const ParsedChord& chord, bool preferFlats);

// Whether the chord's root and bass are named from the flat table when shown as sent: a flat
// or sharp written on the root decides; otherwise a diminished fifth without a perfect fifth
// reads better with flats (Cdim/Eb, not Cdim/D#). The text is taken as sent, not trimmed: a
// root behind leading white space carries no written accidental.
bool sentSymbolPrefersFlats(const ParsedChord& chord, std::string_view sentText);

// (root + interval) mod 12 for every interval, in interval order, duplicates kept.
std::vector<PitchClass> chordPitchClasses(const ParsedChord& chord);

}  // namespace tw
