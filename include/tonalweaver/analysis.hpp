#pragma once
// Chords named in a key, and the key of a progression.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tonalweaver/key.hpp"
#include "tonalweaver/result.hpp"

namespace tonalweaver {

// A chord as it functions in a key.
struct ChordAnalysis {
  std::string symbol{};               // spelled for the key: Bbmaj7/A in F major
  std::string root{};                 // spelled for the key
  std::string quality{};              // the canonical quality ("maj", "m7"...)
  std::string category{};             // "major", "minor", "dominant"... as for Chord
  std::optional<std::string> bass{};  // spelled for the key, when the chord has a slash bass
  std::string numeral{};              // roman numeral, over its bass when it has one
  int degree = 0;                     // scale degree of the root, 1..7; 0 outside the scale
};

// Names a chord in a key. Fails with "Invalid chord: TEXT" or "Invalid key root: TEXT".
//
//   tonalweaver::analyseChord("A7", {"D", tonalweaver::Mode::Minor})->numeral  // "V7"
Result<ChordAnalysis> analyseChord(std::string_view chord, const Key& key,
                                   const Spelling& spelling = {});

// The most likely key of a chord sequence (major, natural or melodic minor), its tonic spelled
// as the key is usually written. Fails with "Progression is empty" or "Invalid chord: TEXT".
//
//   tonalweaver::detectKey({"Am", "Dm", "E7", "Am"})  // tonic "A", Mode::Minor
Result<Key> detectKey(const std::vector<std::string>& chords, const Spelling& spelling = {});

}  // namespace tonalweaver
