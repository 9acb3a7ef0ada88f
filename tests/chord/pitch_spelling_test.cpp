#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "chord/key_context.hpp"
#include "chord/pitch_spelling.hpp"
#include "protocol/spelling_request.hpp"

namespace tw {
namespace {

constexpr KeyContext kCMajor{0, false, false};

SpellingOptions defaults() { return {}; }
SpellingOptions flats() { return {OptionalFlag::of(true), OptionalFlag::absent()}; }
SpellingOptions sharps() { return {OptionalFlag::of(false), OptionalFlag::absent()}; }
SpellingOptions simplified() { return {OptionalFlag::absent(), OptionalFlag::of(true)}; }

struct NoteNameCase {
  const char* text;
  std::optional<PitchClass> expected;
};

TEST(ParseNoteName, ReadsPlainNamesAndRejectsEverythingElse) {
  const NoteNameCase cases[] = {
      {"", std::nullopt},   {"H", std::nullopt},      {"C#", 1},  {"c#", 1},
      {"Cb", 11},           {"B#", 0},                {"E##", 6}, {"C\u266F", std::nullopt},
      {"C #", std::nullopt}, {"C ", std::nullopt},    {"bb", 10}, {"b", 11},
      {"cb", 11},           {"C#b", 0},               {"Dbbb", 11}, {"CB", std::nullopt},
      {"C\u266D", std::nullopt}, {"A", 9},            {"g", 7},  
      {"#", std::nullopt},  {"\xC3", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parseNoteName(c.text), c.expected) << c.text;
}

TEST(NoteNameTables, FlatAndSharpNames) {
  const char* sharpNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  const char* flatNames[] = {"C", "Db", "D", "Eb", "E", "F", "Gb", "G", "Ab", "A", "Bb", "B"};
  for (int pc = 0; pc < 12; ++pc) {
    EXPECT_EQ(noteName(pc, false), sharpNames[pc]);
    EXPECT_EQ(noteName(pc, true), flatNames[pc]);
  }
  // Out-of-range values are reduced before the table is read.
  EXPECT_EQ(noteName(-1, true), "B");
  EXPECT_EQ(noteName(13, false), "C#");
}

TEST(LetterIndexOf, BlackKeysFollowThePreference) {
  const int withFlats[] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
  const int withSharps[] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
  for (int pc = 0; pc < 12; ++pc) {
    EXPECT_EQ(letterIndexOf(pc, true), withFlats[pc]) << pc;
    EXPECT_EQ(letterIndexOf(pc, false), withSharps[pc]) << pc;
  }
  EXPECT_EQ(letterIndexOf(12, true), 0);
  EXPECT_EQ(letterIndexOf(-3, false), 0);
}

TEST(KeyPrefersFlats, DefaultTable) {
  const bool major[] = {false, true, false, true, false, true, true, false, true, false, true, false};
  for (int root = 0; root < 12; ++root) {
    EXPECT_EQ(keyPrefersFlats({root, false, false}), major[root]) << root;
    EXPECT_EQ(keyPrefersFlats({root, true, false}), root != 4 && root != 9) << root;
    EXPECT_EQ(keyPrefersFlats({root, true, true}), root != 4 && root != 9) << root;
  }
}

struct SpellingCase {
  const char* payload;
  KeyContext key;
  const char* keyName;
  bool preferFlats;
  bool simplify;
};

TEST(ResolveSpelling, OptionsKeyNameAndKeyDefault) {
  const SpellingCase cases[] = {
      {"{}", {10, false, false}, "Bb", true, true},
      {"{}", {6, false, false}, "F#", false, true},
      {"{}", {11, true, false}, "B", true, true},
      {"{}", {4, true, false}, "E", false, true},
      {R"({"spellingPreference":"sharps"})", {3, false, false}, "Eb", false, true},
      {R"({"spellingPreference":"flats"})", {6, false, false}, "F#", true, true},
      {R"({"spellingPreference":"Flats"})", {6, false, false}, "F#", false, true},
      {R"({"spellingPreference":"fifths","simplifyAccidentals":false})", {0, false, false}, "C",
       false, false},
      {"{}", {1, false, false}, "", true, true},
      {"{}", {0, false, false}, "b", false, true},  // one character: no flat sign
      {"{}", {0, false, false}, "C#b", true, true},  // a flat anywhere after the first wins
      {"null", {5, false, false}, "", true, true},
      {"[1,2]", {7, false, false}, "G", false, true},
  };
  for (const auto& c : cases) {
    const ResolvedSpelling r = resolveSpelling(nlohmann::json::parse(c.payload), c.key, c.keyName);
    EXPECT_EQ(r.preferFlats, c.preferFlats) << c.payload << " " << c.keyName;
    EXPECT_EQ(r.simplify, c.simplify) << c.payload << " " << c.keyName;
    EXPECT_TRUE(r.options().preferFlats.present);
    EXPECT_TRUE(r.options().simplify.present);
  }
}

TEST(ResolveSpelling, WrongMemberTypeThrowsTheJsonTypeError) {
  EXPECT_THROW(resolveSpelling(nlohmann::json::parse(R"({"simplifyAccidentals":"yes"})"), kCMajor, "C"),
               nlohmann::json::type_error);
  EXPECT_THROW(resolveSpelling(nlohmann::json::parse(R"({"spellingPreference":1})"), kCMajor, "C"),
               nlohmann::json::type_error);
}

TEST(DegreeNoteName, NamesScaleDegrees) {
  EXPECT_EQ(degreeNoteName({5, false, false}, 4, defaults()), "Bb");
  EXPECT_EQ(degreeNoteName({8, true, true}, 7, sharps()), "F##");
  EXPECT_EQ(degreeNoteName({8, true, true}, 7, {OptionalFlag::of(false), OptionalFlag::of(true)}), "G");
  EXPECT_EQ(degreeNoteName(kCMajor, 0, defaults()), "");
  EXPECT_EQ(degreeNoteName(kCMajor, 8, defaults()), "");
  EXPECT_EQ(degreeNoteName({6, false, false}, 4, sharps()), "B");
  EXPECT_EQ(degreeNoteName({6, false, false}, 7, sharps()), "E#");
  EXPECT_EQ(degreeNoteName({6, false, false}, 7, {OptionalFlag::of(false), OptionalFlag::of(true)}), "F");
  EXPECT_EQ(degreeNoteName({6, false, false}, 4, defaults()), "Cb");  // Gb major
  EXPECT_EQ(degreeNoteName({9, true, false}, 6, defaults()), "F");   // A natural minor
  EXPECT_EQ(degreeNoteName({9, true, true}, 6, defaults()), "F#");   // A melodic minor
}

TEST(SpellPitchInKey, DiatonicPitchClassesKeepTheirDegreeNames) {
  for (int root = 0; root < 12; ++root) {
    for (const KeyContext key : {KeyContext{root, false, false}, KeyContext{root, true, false},
                                 KeyContext{root, true, true}}) {
      for (const SpellingOptions options : {defaults(), flats(), sharps()}) {
        for (int degree = 1; degree <= 7; ++degree) {
          const PitchClass pc = (root + scaleOf(key)[static_cast<std::size_t>(degree - 1)]) % 12;
          EXPECT_EQ(spellPitchInKey(key, pc, options), degreeNoteName(key, degree, options))
              << "root " << root << " minor " << key.minor << " degree " << degree;
        }
      }
    }
  }
}

TEST(SpellPitchInKey, ChromaticNotes) {
  EXPECT_EQ(spellPitchInKey(kCMajor, 1, defaults()), "C#");
  EXPECT_EQ(spellPitchInKey(kCMajor, 1, flats()), "Db");
  EXPECT_EQ(spellPitchInKey(kCMajor, 10, defaults()), "A#");
  EXPECT_EQ(spellPitchInKey(kCMajor, 10, flats()), "Bb");
  EXPECT_EQ(spellPitchInKey({5, false, false}, 10, defaults()), "Bb");
  EXPECT_EQ(spellPitchInKey({5, false, false}, 1, defaults()), "Db");
  // Gb major spells its fourth Cb, simplified to B on request.
  EXPECT_EQ(spellPitchInKey({6, false, false}, 11, defaults()), "Cb");
  EXPECT_EQ(spellPitchInKey({6, false, false}, 11, {OptionalFlag::absent(), OptionalFlag::of(true)}), "B");
}

struct ChordToneCase {
  KeyContext key;
  PitchClass root;
  const char* quality;
  PitchClass pc;
  const char* expected;
};

TEST(SpellChordTone, TonesFollowTheirInterval) {
  const ChordToneCase cases[] = {
      {kCMajor, 0, "dim7", 9, "Bbb"},
      {kCMajor, 0, "7#11", 6, "F#"},
      {{10, false, false}, 3, "m", 3, "Eb"},
      {{10, false, false}, 3, "m", 6, "Gb"},
      {kCMajor, 2, "7b9", 3, "Eb"},
      {kCMajor, 7, "aug", 3, "D#"},
      {kCMajor, 0, "maj7", 11, "B"},
      {kCMajor, 0, "m7", 3, "Eb"},
      {kCMajor, 0, "6", 9, "A"},
      {kCMajor, 0, "13", 9, "A"},
      {kCMajor, 0, "7#9", 3, "D#"},
      {kCMajor, 0, "nonsense", 4, "E"},  // unknown symbols read as the major triad
      {kCMajor, 0, "maj", 1, "Db"},      // a foreign tone falls back to its plain interval
      {kCMajor, 0, "maj", 6, "Gb"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(spellChordTone(c.key, c.root, c.quality, c.pc, defaults()), c.expected)
        << c.quality << " " << c.pc;
  EXPECT_EQ(spellChordTone(kCMajor, 0, "dim7", 9, simplified()), "A");
}

TEST(LetterStepForInterval, StepsInTestOrder) {
  struct Case { int interval; const char* quality; int step; };
  const Case cases[] = {
      {0, "maj", 0},  {12, "maj", 0}, {24, "maj", 0}, {-12, "maj", 0}, {1, "", 1},   {2, "", 1},
      {13, "", 1},    {14, "", 1},    {15, "", 1},    {3, "", 2},      {4, "", 2},   {5, "", 3},
      {16, "", 3},    {17, "", 3},    {18, "", 3},    {6, "", 4},      {7, "", 4},   {8, "", 4},
      {19, "", 4},    {9, "dim7", 6}, {9, "m6", 5},   {9, "Dim7", 5},  {20, "", 5},  {21, "", 5},
      {10, "", 6},    {11, "", 6},    {22, "", 6},    {23, "", 6},     {25, "", 1},  {33, "dim7", 5},
      {-1, "", 6},    {-5, "", 4},
  };
  for (const auto& c : cases)
    EXPECT_EQ(letterStepForInterval(c.interval, c.quality), c.step) << c.interval << " " << c.quality;
}

TEST(SimplifyNoteName, OnlyAwkwardNamesChange) {
  const std::pair<const char*, const char*> cases[] = {
      {"Bb", "Bb"},   {"F#", "F#"},  {"C", "C"},     {"Cb", "B"},   {"Fb", "E"},   {"B#", "C"},
      {"E#", "F"},    {"Fbb", "Eb"}, {"B##", "C#"},  {"Abb", "G"},  {"Bbb", "A"},  {"Cbb", "Bb"},
      {"Dbb", "C"},   {"Ebb", "D"},  {"Gbb", "F"},   {"A##", "B"},  {"C##", "D"},  {"D##", "E"},
      {"E##", "F#"},  {"F##", "G"},  {"G##", "A"},   {"", ""},      {"Cbbb", "Cbbb"}, {"C#b", "C#b"},
  };
  for (const auto& [from, to] : cases) EXPECT_EQ(simplifyNoteName(from), to) << from;
}

TEST(SimplifyNoteName, KeepsThePitchClass) {
  for (const char* letter : {"A", "B", "C", "D", "E", "F", "G"}) {
    for (const char* accidental : {"", "#", "##", "b", "bb"}) {
      const std::string name = std::string(letter) + accidental;
      EXPECT_EQ(parseNoteName(simplifyNoteName(name)), parseNoteName(name)) << name;
    }
  }
}

}  // namespace
}  // namespace tw
