#pragma once
// Where a progression's voicings sit: a transposition split into its whole amount and its part
// within the octave, chords moved by it, and notes shifted into the MIDI range.
#include <vector>

#include "chord/chord_parser.hpp"

namespace tw {

inline constexpr int kMaxSemitoneTranspose = 48;

// A transposition split into the whole amount T (clamped to +-48) and its part within the
// octave t (the remainder keeps the sign of T). Voicings are built on the chord moved down by
// t and then moved by T, so the register does not jump.
struct ProgressionTransposition {
  int total = 0;
  int withinOctave = 0;
};

ProgressionTransposition progressionTransposition(long long semitones);

// The chord with its root and written bass moved down by `semitones` (mod 12).
ParsedChord transposeChordDown(const ParsedChord& chord, int semitones);

// Every note moved by `semitones` and clamped to 0..127 (order kept).
std::vector<int> shiftNotes(const std::vector<int>& notes, int semitones);

}  // namespace tw
