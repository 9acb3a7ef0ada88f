#pragma once
// Where a progression's voicings sit: a transposition split into its whole amount and its part
// within the octave, chords moved by it, notes shifted into the MIDI range, and the slots of a
// progression voiced one by one or led by the solver.
#include <span>
#include <vector>

#include "chord/chord_parser.hpp"
#include "voicing/voice_leading_solver.hpp"

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

// Every note moved by `semitones` and clamped to 0..127, ascending and distinct.
std::vector<int> shiftNotes(const std::vector<int>& notes, int semitones);

// A slot's voicing where it sounds (moved by the whole transposition) and as it is shown
// (moved by the part within the octave only).
struct PlacedVoicing {
  std::vector<int> notes;
  std::vector<int> displayNotes;
};

// The manual inversion steps of a slot whose chord is as sent, voiced under the transposition.
int slotMaxInversion(const AvlSlot& slot, const ProgressionTransposition& shift);

// One slot voiced on its own in its style (its manual notes and anchor flag play no part).
// Throws std::runtime_error when the style has no plan for the chord.
PlacedVoicing voiceSlotDirectly(const AvlSlot& slot, const ProgressionTransposition& shift);

// Every slot through the auto voice-leading solver, each voicing then moved to its slot's
// octave (an anchor's manual notes stay where they were entered) with its bass dropped when
// asked. Chords are as sent. Throws std::runtime_error with the solver's message; with
// `debug`, the solver's lines join this thread's debug list.
std::vector<PlacedVoicing> leadProgression(std::span<const AvlSlot> slots,
                                           const ProgressionTransposition& shift,
                                           bool allowBassChanges, bool debug);

}  // namespace tw
