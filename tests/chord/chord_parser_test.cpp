#include <gtest/gtest.h>

#include "chord/chord_parser.hpp"

namespace tw {
namespace {

struct ParseCase {
  const char* text;
  bool parses;
  PitchClass root = 0;
  const char* quality = "";
  std::optional<PitchClass> bass = std::nullopt;
  const char* symbol = nullptr;  // nullptr: the text itself
};

TEST(ParseChordSymbol, EdgeCases) {
  const ParseCase cases[] = {
      {"  Cmaj7  ", true, 0, "maj7", std::nullopt, "Cmaj7"},
      {"\t\n Cm7\r\v\f", true, 0, "m7", std::nullopt, "Cm7"},
      {"", false},
      {"   ", false},
      {"|", false},
      {" | ", false},
      {"c", true, 0, "maj"},
      {"bb", true, 10, "maj"},
      {"b", true, 11, "maj"},
      {"Bbm", true, 10, "m"},
      {"C/E", true, 0, "maj", 4},
      {"C/e", true, 0, "maj", 4},
      {"C/Fb", true, 0, "maj", 4},
      {"C/H", false},
      {"C/", false},
      {"C/E7", false},
      {"C/E/G", false},
      {"C6/9", true, 0, "69"},
      {"C6/9/E", false},
      {"Cm6/9", true, 0, "m69"},
      {"Cm/M7", true, 0, "mM7"},
      {"Cm/Eb", true, 0, "m", 3},
      {"C\u266Fm7", false},
      {"C#m7", true, 1, "m7"},
      {"Cm7\u266D5", true, 0, "m7b5"},
      {"Cb9", true, 11, "9"},
      {"C (maj7)", false},
      {"C(maj7)", true, 0, "maj7"},
      {"Ebm7", true, 3, "m7"},
      {"F#\u00F8", true, 6, "m7b5"},
      {"Bb13(#11)/Ab", true, 10, "13#11", 8},
      {"g-7", true, 7, "m7"},
      {"C#b", false},  // only the run of '#' is the root, and "b" names no quality
      {"F##", true, 7, "maj"},
      {"Ebb7", true, 2, "7"},
      {"H7", false},
      {"7", false},
      {"/E", false},
      {"C/Eb7", false},
      {"C7/Bb", true, 0, "7", 10},
      {"Cmaj7/B", true, 0, "maj7", 11},
      {"C/C", true, 0, "maj", 0},
      {"C//E", false},
      {"Cxyz/E", false},
      {"C/ E", false},
      {"\u00B0", false},
      {"C\u00B07", true, 0, "dim7"},
      {"C\u25B3", true, 0, "maj7"},
      {"A\u266D", false},
  };
  for (const auto& c : cases) {
    const auto chord = parseChordSymbol(c.text);
    ASSERT_EQ(chord.has_value(), c.parses) << c.text;
    if (!chord) continue;
    EXPECT_EQ(chord->root, c.root) << c.text;
    EXPECT_EQ(chord->quality, c.quality) << c.text;
    EXPECT_EQ(chord->intervals, qualityIntervals(c.quality)) << c.text;
    EXPECT_EQ(chord->bass, c.bass) << c.text;
    EXPECT_EQ(chord->hasBass(), c.bass.has_value()) << c.text;
    EXPECT_EQ(chord->symbol, c.symbol ? c.symbol : c.text) << c.text;
  }
}

TEST(SplitRootToken, TokenAndRest) {
  struct Case { const char* text; std::optional<PitchClass> root; const char* token; const char* rest; };
  const Case cases[] = {
      {"Bb", 10, "Bb", ""},       {"F##m", 7, "F##", "m"},  {"Ebb7", 2, "Ebb", "7"},
      {"C#b", 1, "C#", "b"},      {"Cb9", 11, "Cb", "9"},   {"bbm", 10, "bb", "m"},
      {"", std::nullopt, "", ""}, {"H", std::nullopt, "", "H"}, {"e7", 4, "e", "7"},
      {"C\u266F", 0, "C", "\u266F"}, {" C", std::nullopt, "", " C"},
  };
  for (const auto& c : cases) {
    const RootToken t = splitRootToken(c.text);
    EXPECT_EQ(t.root, c.root) << c.text;
    EXPECT_EQ(t.token, c.token) << c.text;
    EXPECT_EQ(t.rest, c.rest) << c.text;
  }
}

TEST(MakeParsedChord, BuildsASymbolFromSharpNamesWhenNoneIsGiven) {
  const ChordQuality m7 = *resolveQuality("m7");
  const ParsedChord plain = makeParsedChord(10, m7, std::nullopt);
  EXPECT_EQ(plain.root, 10);
  EXPECT_EQ(plain.quality, "m7");
  EXPECT_EQ(plain.intervals, m7.intervals);
  EXPECT_FALSE(plain.bass.has_value());
  EXPECT_EQ(plain.symbol, "A#m7");

  const ParsedChord slash = makeParsedChord(0, *resolveQuality(""), 3);
  EXPECT_EQ(slash.symbol, "Cmaj/D#");
  EXPECT_EQ(slash.bass, 3);

  const ParsedChord typed = makeParsedChord(10, m7, 8, "Bbm7/Ab");
  EXPECT_EQ(typed.symbol, "Bbm7/Ab");

  // Out-of-range pitch classes are reduced, never used as table indexes.
  const ParsedChord wrapped = makeParsedChord(-1, m7, 14);
  EXPECT_EQ(wrapped.root, 11);
  EXPECT_EQ(wrapped.bass, 2);
  EXPECT_EQ(wrapped.symbol, "Bm7/D");
}

TEST(ChordSymbolText, UsesOneTableForRootAndBass) {
  const ParsedChord chord = *parseChordSymbol("A#m7/G#");
  EXPECT_EQ(chordSymbolText(chord, true), "Bbm7/Ab");
  EXPECT_EQ(chordSymbolText(chord, false), "A#m7/G#");
  EXPECT_EQ(chordSymbolText(*parseChordSymbol("Db"), false), "C#maj");
  EXPECT_EQ(chordSymbolText(*parseChordSymbol("C-7"), true), "Cm7");
}

TEST(ChordPitchClasses, IntervalOrderWithDuplicates) {
  EXPECT_EQ(chordPitchClasses(*parseChordSymbol("G7")), (std::vector<PitchClass>{7, 11, 2, 5}));
  EXPECT_EQ(chordPitchClasses(*parseChordSymbol("C13")),
            (std::vector<PitchClass>{0, 4, 7, 10, 2, 9}));
  EXPECT_EQ(chordPitchClasses(*parseChordSymbol("C11#11")),
            (std::vector<PitchClass>{0, 4, 7, 10, 2, 5, 6}));
  EXPECT_EQ(chordPitchClasses(*parseChordSymbol("Bdim#5")), (std::vector<PitchClass>{11, 2, 5, 7}));
  const ChordQuality octave{"x", {0, 12}};
  EXPECT_EQ(chordPitchClasses(makeParsedChord(5, octave, std::nullopt)), (std::vector<PitchClass>{5, 5}));
}

TEST(ParseChordSymbol, EveryCatalogueSymbolAndAliasAfterEveryRoot) {
  const char* roots[] = {"C", "c", "C#", "Db", "Ebb", "F##", "bb", "G"};
  for (const char* root : roots) {
    const PitchClass expectedRoot = *splitRootToken(root).root;
    for (const ChordQuality& q : supportedQualities()) {
      const auto chord = parseChordSymbol(std::string(root) + q.symbol);
      // A quality that begins with "b" or "#" would join a root's accidental run.
      if (q.symbol[0] == 'b' || q.symbol[0] == '#') continue;
      ASSERT_TRUE(chord.has_value()) << root << q.symbol;
      EXPECT_EQ(chord->root, expectedRoot);
      EXPECT_EQ(chord->quality, q.symbol);
      const auto slash = parseChordSymbol(std::string(root) + q.symbol + "/Eb");
      ASSERT_TRUE(slash.has_value()) << root << q.symbol << "/Eb";
      EXPECT_EQ(slash->bass, 3);
    }
    for (const auto& [key, symbol] : qualityAliasMap()) {
      const std::string text = std::string(root) + key;
      const auto chord = parseChordSymbol(text);
      if (key[0] == 'b' || key[0] == '#') continue;
      ASSERT_TRUE(chord.has_value()) << text;
      EXPECT_EQ(chord->quality, symbol) << text;
    }
  }
}

}  // namespace
}  // namespace tw
