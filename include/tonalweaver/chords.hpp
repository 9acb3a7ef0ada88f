#pragma once
// Reading chord symbols.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tonalweaver/result.hpp"

namespace tonalweaver {

// A chord symbol read into its parts.
struct Chord {
  std::string symbol{};                 // the text as typed, white space trimmed
  std::string root{};                   // "Eb"; flats or sharps as written on the root
  int rootPitchClass = 0;               // 0..11, C = 0
  std::string quality{};                // the canonical quality: "maj", "m7", "13#11", "m7b5"...
  std::string category{};               // "major", "minor", "dominant", "diminished",
                                        // "half-diminished", "augmented", "sixth" or "suspended"
  std::vector<int> intervals{};         // semitones above the root, ascending (the 9th is 14)
  std::optional<std::string> bass{};    // the slash bass, when written ("C7/Bb")
  std::optional<int> bassPitchClass{};
};

// Reads a chord symbol in any of the spellings lead sheets use ("Cm7", "C-7", "Bb13(#11)/Ab",
// "F#ø", "G7alt"). Fails with "Invalid chord: TEXT" for anything else.
Result<Chord> parseChord(std::string_view symbol);

}  // namespace tonalweaver
