#pragma once
// Scale degrees, diatonic chords and roman numerals in both directions.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"
#include "chord/pitch_class.hpp"

namespace tw {

// The chord as the numeral operations see it. The diatonic tables write the major triad as
// the empty quality; a parsed chord carries "maj".
struct AnalysisChord {
  PitchClass root = 0;
  std::string quality;
  PitchClass bass = 0;
  bool hasBass = false;
};

AnalysisChord analysisChordOf(const ParsedChord& chord);

struct RomanFlags {
  bool useLetters = false;   // spelled mode: chromatic degrees from letter names
  bool preferFlats = false;  // letter of a black key in spelled mode
};

// 1..7, or 0 for a pitch class outside the key's scale.
int degreeOf(const KeyContext& key, PitchClass pc);

struct DiatonicChord {
  PitchClass root = 0;
  std::string quality;
  int degree = 0;
  std::string roman;
};

// The chord on degree 1..7 from the triad row (seventh false) or the seventh row.
DiatonicChord diatonicChord(const KeyContext& key, int degree, bool seventh);

// The quality row of the diatonic table for a key's scale and a size (3, 7 or 9; any
// other size reads the seventh row).
const std::array<const char*, 7>& diatonicQualityRow(const KeyContext& key, int size);

bool isMinorLikeQuality(std::string_view quality);

std::string romanForPitchClass(const KeyContext& key, PitchClass pc, RomanFlags flags);
std::string romanForChord(const KeyContext& key, const AnalysisChord& chord, RomanFlags flags);
std::string romanSlashName(const KeyContext& key, const AnalysisChord& chord, RomanFlags flags,
                           SpellingOptions options);
std::string romanSlashNumeral(const KeyContext& key, const AnalysisChord& chord,
                              RomanFlags flags);

struct RomanToken {
  int degree = 0;
  bool upper = false;
  int accidental = 0;
  std::size_t end = 0;
  bool valid = false;
};

RomanToken parseRomanNumeral(std::string_view text);

struct RomanChord {
  PitchClass root = 0;
  std::string quality;
  PitchClass bass = 0;
  bool hasBass = false;
  std::string label;  // the augmented sixth name, else empty
  bool valid = false;
};

RomanChord chordFromRoman(const KeyContext& key, std::string_view text);

std::string minorizeExtension(std::string_view extension);
std::string combineQuality(std::string_view source, std::string_view templateQuality);

// One chord analysed in a key: its names spelled for the key, its category, scale degree and
// numeral (over its bass when it has one).
struct AnalysedChord {
  NoteName root;
  std::string quality;
  std::string symbol;                // root name, quality and "/bass"
  std::string category;
  std::optional<NoteName> bass;      // only for a chord written with a bass
  std::string roman;
  int degree = 0;
};

AnalysedChord analyseChord(const KeyContext& key, const ParsedChord& chord, SpellingOptions options);

}  // namespace tw
