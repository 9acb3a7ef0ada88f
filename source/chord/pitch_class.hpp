#pragma once
// Pitch classes, spelled note names and the spelling options a request carries.
#include <array>
#include <string>

namespace tw {

// 0..11, C = 0. Every sum or difference is reduced with reducePitchClass.
using PitchClass = int;

// A spelled note: a letter A..G and zero to two accidentals, all '#' or all 'b'.
using NoteName = std::string;

// Wraps any integer (negative included) into 0..11.
constexpr PitchClass reducePitchClass(long long value) {
  long long r = value % 12;
  return static_cast<PitchClass>(r < 0 ? r + 12 : r);
}

// A flag that may be absent: the key decides when a spelling preference is absent.
struct OptionalFlag {
  bool value = false;
  bool present = false;

  static constexpr OptionalFlag absent() { return {}; }
  static constexpr OptionalFlag of(bool v) { return {v, true}; }
  constexpr bool isTrue() const { return present && value; }
};

struct SpellingOptions {
  OptionalFlag preferFlats;
  OptionalFlag simplify;
};

inline constexpr const char* kLetterOrder = "CDEFGAB";
inline constexpr std::array<int, 7> kNaturalPitchByLetterIndex{0, 2, 4, 5, 7, 9, 11};
inline constexpr std::array<const char*, 12> kSharpNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                         "F#", "G",  "G#", "A",  "A#", "B"};
inline constexpr std::array<const char*, 12> kFlatNames{"C",  "Db", "D",  "Eb", "E",  "F",
                                                        "Gb", "G",  "Ab", "A",  "Bb", "B"};

}  // namespace tw
