#include "voicing/progression_voicing.hpp"

#include <algorithm>

namespace tw {

ProgressionTransposition progressionTransposition(long long semitones) {
  ProgressionTransposition t;
  t.total = static_cast<int>(std::clamp<long long>(semitones, -kMaxSemitoneTranspose, kMaxSemitoneTranspose));
  t.withinOctave = t.total - 12 * (t.total / 12);
  return t;
}

ParsedChord transposeChordDown(const ParsedChord& chord, int semitones) {
  if (semitones == 0) return chord;
  ParsedChord moved = chord;
  moved.root = reducePitchClass(static_cast<long long>(chord.root) - semitones);
  if (chord.bass) moved.bass = reducePitchClass(static_cast<long long>(*chord.bass) - semitones);
  return moved;
}

std::vector<int> shiftNotes(const std::vector<int>& notes, int semitones) {
  std::vector<int> out;
  out.reserve(notes.size());
  for (int n : notes) out.push_back(std::clamp(n + semitones, 0, 127));
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

int slotMaxInversion(const AvlSlot& slot, const ProgressionTransposition& shift) {
  return maxManualInversion(transposeChordDown(slot.chord, shift.withinOctave), slot.style,
                            slot.octave, slot.octaveShift);
}

PlacedVoicing voiceSlotDirectly(const AvlSlot& slot, const ProgressionTransposition& shift) {
  const std::vector<int> notes =
      voiceChord(transposeChordDown(slot.chord, shift.withinOctave), slot.style, slot.octave,
                 VoicingOptions{slot.octaveShift, slot.dropBass, slot.inversion});
  return {shiftNotes(notes, shift.total), shiftNotes(notes, shift.withinOctave)};
}

std::vector<PlacedVoicing> leadProgression(std::span<const AvlSlot> slots,
                                           const ProgressionTransposition& shift,
                                           bool allowBassChanges, bool debug) {
  std::vector<AvlSlot> moved(slots.begin(), slots.end());
  for (AvlSlot& slot : moved) slot.chord = transposeChordDown(slot.chord, shift.withinOctave);
  const std::vector<std::vector<int>> solved = solveProgression(moved, allowBassChanges, debug);

  std::vector<PlacedVoicing> placed;
  placed.reserve(slots.size());
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const AvlSlot& slot = slots[i];
    std::vector<int> shown, output;
    if (!slot.manualNotes.empty()) {
      shown = solved[i];
      output = shiftNotes(solved[i], shift.total);
    } else {
      const std::vector<int> atOctave = shiftNotes(solved[i], 12 * (slot.octave - kSolverOctave));
      auto place = [&](int semitones) {
        std::vector<int> notes = shiftNotes(atOctave, semitones);  // ascending and distinct already
        if (slot.dropBass && !notes.empty()) {
          notes.front() = std::max(0, notes.front() - 12);
          // Lowering the bass can fold it onto another note; a voicing holds each key once.
          std::sort(notes.begin(), notes.end());
          notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
        }
        return notes;
      };
      shown = place(0);
      output = place(shift.total);
    }
    placed.push_back({std::move(output), shiftNotes(shown, shift.withinOctave)});
  }
  return placed;
}

}  // namespace tw
