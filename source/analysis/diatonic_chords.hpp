#pragma once
// The seven chords of a key as a palette, with voicings and per-pitch-class lookup tables.
#include <array>
#include <string>

#include "chord/key_context.hpp"

namespace tw {

struct DiatonicSetEntry {
  PitchClass root = 0;
  std::string quality;  // the diatonic table's text: the major triad is ""
  int degree = 1;
};

// size 3 gives triads, 9 ninth chords, anything else seventh chords.
std::array<DiatonicSetEntry, 7> diatonicSet(const KeyContext& key, int size);

}  // namespace tw
