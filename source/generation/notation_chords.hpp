#pragma once
// Turns the chord notations of the human-annotated data sets into the engine's chords. Each
// converter builds a chord symbol and hands it to the engine's own chord parser; a notation
// it cannot read, or tones no catalogue quality holds, yields nothing with a reason, never a
// guessed chord.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"

namespace tw {

struct NotationChord {
  std::optional<ParsedChord> chord;
  std::string failure;  // why there is no chord (empty on success)
};

// The canonical catalogue symbol whose interval list is exactly the given set (sorted,
// compound values kept); the shortest one when several agree.
std::optional<std::string> catalogueSymbolForIntervals(const std::vector<int>& intervals);

// A chord from a root, its intervals and an optional bass, via the chord parser.
NotationChord chordFromTones(PitchClass root, std::vector<int> intervals,
                             std::optional<PitchClass> bass, bool preferFlats);

// RomanText numerals (figured-bass inversions, diatonic sevenths, lower-case raised sixth and
// seventh degrees in minor, applied chords, augmented sixths, Neapolitan, cadential six-four).
NotationChord chordFromRomanText(std::string_view numeral, const KeyContext& key);

// Rock-corpus numerals: relative to the tonic's major scale, "d" dominant sevenths, "x"/"o"/
// "h"/"a" for diminished, half-diminished and augmented, "s4" suspensions.
NotationChord chordFromRockNumeral(std::string_view numeral, PitchClass tonic);

// Harte symbols ("A:min7", "D:maj/5", "C:sus4(b7,9)"); the bass is an interval above the root.
NotationChord chordFromHarte(std::string_view symbol);

}  // namespace tw
