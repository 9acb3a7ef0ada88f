// Reading the data sets' notations into engine chords, with their traps.
#include <gtest/gtest.h>

#include "generation/notation_chords.hpp"

namespace tw {
namespace {

struct Expected {
  const char* notation;
  PitchClass root;
  const char* quality;
  int bass;  // -1 for none
};

void expectChord(const NotationChord& got, const Expected& e) {
  ASSERT_TRUE(got.chord.has_value()) << e.notation << ": " << got.failure;
  EXPECT_EQ(got.chord->root, e.root) << e.notation;
  EXPECT_EQ(got.chord->quality, e.quality) << e.notation;
  if (e.bass < 0) EXPECT_FALSE(got.chord->hasBass()) << e.notation;
  else EXPECT_EQ(got.chord->bass.value_or(-1), e.bass) << e.notation;
}

TEST(RomanTextNumerals, FiguresAreInversionsAndSeventhsAreDiatonic) {
  const KeyContext cMajor{0, false, false};
  const Expected cases[] = {
      {"I", 0, "maj", -1},      {"ii6", 2, "m", 5},          // a minor triad over its third, no sixth
      {"I64", 0, "maj", 7},     {"V7", 7, "7", -1},          {"V65", 7, "7", 11},
      {"V6/5", 7, "7", 11},     {"V43", 7, "7", 2},          {"V4/3", 7, "7", 2},
      {"V2", 7, "7", 5},        {"I7", 0, "maj7", -1},       // diatonic: a major seventh
      {"IV7", 5, "maj7", -1},   {"ii7", 2, "m7", -1},        {"viio7", 11, "dim7", -1},
      {"viiø7", 11, "m7b5", -1}, {"ii/o6/5", 2, "m7b5", 5},  {"V7/V", 2, "7", -1},
      {"V6/5/V", 2, "7", 6},    {"viio7/V", 6, "dim7", -1},  {"I/V", 7, "maj", -1},
      {"Ger65", 8, "7", -1},    {"It6", 8, "7no5", -1},      {"Fr43", 8, "7b5", -1},
      {"N6", 1, "maj", 5},      {"Cad64", 0, "maj", 7},      {"IVmaj7", 5, "maj7", -1},
      {"III+", 4, "aug", -1},   {"V[add9]", 7, "maj", -1},   {"bVII", 10, "maj", -1},
      {"V9", 7, "9", -1},
  };
  for (const auto& e : cases) expectChord(chordFromRomanText(e.notation, cMajor), e);
}

TEST(RomanTextNumerals, MinorKeysRaiseLowerCaseSixthAndSeventh) {
  const KeyContext aMinor{9, true, false};
  const Expected cases[] = {
      {"i", 9, "m", -1},         {"VII", 7, "maj", -1},     {"viio7", 8, "dim7", -1},
      {"#viio7", 8, "dim7", -1}, {"VI", 5, "maj", -1},      {"V7", 4, "7", -1},
      {"III", 0, "maj", -1},     {"iv7", 2, "m7", -1},      {"ii/o7", 11, "m7b5", -1},
      {"It6", 5, "7no5", -1},
  };
  for (const auto& e : cases) expectChord(chordFromRomanText(e.notation, aMinor), e);
}

TEST(RomanTextNumerals, UnknownFiguresAreRejectedNotGuessed) {
  const KeyContext cMajor{0, false, false};
  EXPECT_FALSE(chordFromRomanText("V754", cMajor).chord.has_value());
  EXPECT_FALSE(chordFromRomanText("Vb9", cMajor).chord.has_value());
  EXPECT_FALSE(chordFromRomanText("", cMajor).chord.has_value());
  EXPECT_FALSE(chordFromRomanText("X", cMajor).chord.has_value());
  EXPECT_FALSE(chordFromRomanText("V/Q", cMajor).chord.has_value());
  EXPECT_FALSE(chordFromRomanText("var1", cMajor).failure.empty());
}

TEST(RockNumerals, RelativeToTheMajorScaleWithDominantMarks) {
  const Expected cases[] = {
      {"I", 0, "maj", -1},     {"bVII", 10, "maj", -1},  {"bIII", 3, "maj", -1},
      {"i", 0, "m", -1},       {"IVd7", 5, "7", -1},      {"Id7", 0, "7", -1},
      {"I7", 0, "maj7", -1},   {"ii7", 2, "m7", -1},      {"V7", 7, "7", -1},
      {"IV64", 5, "maj", 0},   {"V42/IV", 0, "7", 10},    {"viix7/V", 6, "dim7", -1},
      {"iih7", 2, "m7b5", -1}, {"Vs4", 7, "sus4", -1},    {"V7s4", 7, "7sus4", -1},
      {"Va", 7, "aug", -1},    {"i7", 0, "m7", -1},       {"Id7#9", 0, "7#9", -1},
  };
  for (const auto& e : cases) expectChord(chordFromRockNumeral(e.notation, 0), e);
  expectChord(chordFromRockNumeral("bVII", 7), {"bVII in G", 5, "maj", -1});
  EXPECT_FALSE(chordFromRockNumeral("V+11", 0).chord.has_value());  // meaning uncertain
  EXPECT_FALSE(chordFromRockNumeral("R", 0).chord.has_value());
}

TEST(HarteSymbols, BassesAreIntervalsAboveTheRoot) {
  const Expected cases[] = {
      {"A:min", 9, "m", -1},         {"D:maj/5", 2, "maj", 9},     {"C:maj/3", 0, "maj", 4},
      {"A:min/b7", 9, "m", 7},       {"G:maj/9", 7, "maj", 9},     {"Bb:maj", 10, "maj", -1},
      {"F#:min7", 6, "m7", -1},      {"C:sus4(b7)", 0, "7sus4", -1}, {"C:sus4(b7,9)", 0, "9sus4", -1},
      {"E:7(#9)", 4, "7#9", -1},     {"C:hdim7", 0, "m7b5", -1},   {"C:maj6(9)", 0, "69", -1},
      {"C:5", 0, "5", -1},           {"C", 0, "maj", -1},
  };
  for (const auto& e : cases) expectChord(chordFromHarte(e.notation), e);
  EXPECT_FALSE(chordFromHarte("C:1").chord.has_value());
  EXPECT_FALSE(chordFromHarte("H:maj").chord.has_value());
  EXPECT_FALSE(chordFromHarte("C:weird").chord.has_value());
  EXPECT_FALSE(chordFromHarte("C:maj(9").chord.has_value());
  EXPECT_FALSE(chordFromHarte("C:maj/x").chord.has_value());
}

}  // namespace
}  // namespace tw
