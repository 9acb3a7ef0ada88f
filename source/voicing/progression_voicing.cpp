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

}  // namespace tw
