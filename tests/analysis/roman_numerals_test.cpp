// Keys, diatonic chords and roman numerals in both directions.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "analysis/roman_numerals.hpp"
#include "protocol/analysed_chord_record.hpp"
#include "chord/chord_parser.hpp"

namespace tw {
namespace {

constexpr KeyContext kCMajor{0, false, false};
constexpr KeyContext kCMinor{0, true, false};
constexpr KeyContext kANatural{9, true, false};
constexpr KeyContext kAMelodic{9, true, true};
constexpr KeyContext kEMinor{4, true, false};
constexpr RomanFlags kNearest{false, false};
constexpr RomanFlags kSpelledSharps{true, false};
constexpr RomanFlags kSpelledFlats{true, true};

AnalysisChord chord(PitchClass root, std::string quality) { return {root, std::move(quality), 0, false}; }
AnalysisChord slash(PitchClass root, std::string quality, PitchClass bass) {
  return {root, std::move(quality), bass, true};
}
SpellingOptions sharpsSimplified() { return {OptionalFlag::of(false), OptionalFlag::of(true)}; }

TEST(DegreeOf, FindsScaleTonesAndRejectsChromaticOnes) {
  EXPECT_EQ(degreeOf(kCMajor, 0), 1);
  EXPECT_EQ(degreeOf(kCMajor, 11), 7);
  EXPECT_EQ(degreeOf(kCMajor, 1), 0);
  EXPECT_EQ(degreeOf(kANatural, 7), 7);
  EXPECT_EQ(degreeOf(kAMelodic, 8), 7);
  EXPECT_EQ(degreeOf(kAMelodic, 7), 0);
  EXPECT_EQ(degreeOf(kCMajor, -1), 7);  // pitch classes wrap
}

TEST(DegreeOf, MajorKeyIgnoresItsScaleTypeFlag) {
  EXPECT_EQ(degreeOf(KeyContext{0, false, true}, 9), 6);
  EXPECT_EQ(degreeOf(KeyContext{0, false, true}, 8), 0);
}

TEST(DiatonicChord, SeventhOnTheLeadingToneOfCMajor) {
  const DiatonicChord c = diatonicChord(kCMajor, 7, true);
  EXPECT_EQ(c.root, 11);
  EXPECT_EQ(c.quality, "m7b5");
  EXPECT_EQ(c.roman, "vii°");
  EXPECT_EQ(c.degree, 7);
}

TEST(DiatonicChord, ThirdDegreeTriadsInMinor) {
  const DiatonicChord natural = diatonicChord(kANatural, 3, false);
  EXPECT_EQ(natural.root, 0);
  EXPECT_EQ(natural.quality, "");
  EXPECT_EQ(natural.roman, "III");
  const DiatonicChord melodic = diatonicChord(kAMelodic, 3, false);
  EXPECT_EQ(melodic.root, 0);
  EXPECT_EQ(melodic.quality, "+");
  EXPECT_EQ(melodic.roman, "III");
}

TEST(DiatonicChord, CMajorTriadNumerals) {
  const std::vector<std::string> expected{"I", "ii", "iii", "IV", "V", "vi", "vii°"};
  for (int d = 1; d <= 7; ++d) EXPECT_EQ(diatonicChord(kCMajor, d, false).roman, expected[d - 1]) << d;
}

TEST(DiatonicChord, DegreesOutsideTheScaleGiveTheNeutralChord) {
  for (int degree : {0, 8, -3, 1000}) {
    const DiatonicChord c = diatonicChord(KeyContext{5, false, false}, degree, true);
    EXPECT_EQ(c.root, 5);
    EXPECT_EQ(c.quality, "");
    EXPECT_EQ(c.roman, "");
    EXPECT_EQ(c.degree, degree);
  }
}

TEST(DiatonicChord, NinthRowAndOtherSizesReadTheSeventhRow) {
  EXPECT_STREQ(diatonicQualityRow(kCMajor, 9)[6], "m9b5");
  EXPECT_STREQ(diatonicQualityRow(kAMelodic, 9)[0], "mM9");
  EXPECT_STREQ(diatonicQualityRow(kANatural, 5)[6], "7");
  EXPECT_STREQ(diatonicQualityRow(kANatural, 3)[1], "dim");
}

TEST(IsMinorLikeQuality, DecidesTheCaseOfTheNumeral) {
  const std::vector<std::pair<std::string, bool>> cases{
      {"", false},     {"maj7", false}, {"M7", false},   {"Δ", false},   {"Δ7", false},
      {"+", false},    {"aug", false},  {"7", false},    {"sus4", false}, {"6", false},
      {"m", true},     {"-7", true},    {"m7", true},    {"mM7", true},  {"m7b5", true},
      {"dim7", true},  {"ø7", true},    {"dim", true},   {"o", false},   {"5", false}};
  for (const auto& [quality, minorLike] : cases)
    EXPECT_EQ(isMinorLikeQuality(quality), minorLike) << quality;
}

struct PitchClassNumeral {
  KeyContext key;
  PitchClass pc;
  RomanFlags flags;
  std::string numeral;
};

TEST(RomanForPitchClass, NearestStepAndSpelledModes) {
  const std::vector<PitchClassNumeral> cases{
      {kCMajor, 0, kNearest, "I"},          {kCMajor, 1, kNearest, "♭II"},
      {kCMajor, 3, kNearest, "♭III"},       {kCMajor, 6, kNearest, "♯IV"},
      {kCMajor, 8, kNearest, "♭VI"},        {kCMajor, 10, kNearest, "♭VII"},
      {kCMinor, 4, kNearest, "♭IV"},        {kCMinor, 9, kNearest, "♭VII"},
      {kCMinor, 11, kNearest, "♯VII"},      {kCMajor, 6, kSpelledFlats, "♭V"},
      {kCMajor, 6, kSpelledSharps, "♯IV"},  {kCMinor, 4, kSpelledFlats, "♯III"},
      {kCMinor, 4, kSpelledSharps, "♯III"}, {kCMajor, 3, kSpelledFlats, "♭III"},
      {kCMajor, 3, kSpelledSharps, "♯II"},  {kCMajor, 7, kSpelledSharps, "V"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(romanForPitchClass(c.key, c.pc, c.flags), c.numeral) << c.pc << " in " << c.key.root;
}

struct ChordNumeral {
  KeyContext key;
  AnalysisChord chord;
  std::string numeral;
};

TEST(RomanForChord, CaseAndQualitySuffix) {
  const std::vector<ChordNumeral> cases{
      {kCMajor, chord(2, "m7"), "iim7"},      {kCMajor, chord(4, "m"), "iii"},
      {kCMajor, chord(7, "7"), "V7"},         {kCMajor, chord(3, "maj7"), "♭IIImaj7"},
      {kCMajor, chord(11, "m7b5"), "viiø"},   {kCMajor, chord(11, "dim7"), "vii°7"},
      {kCMajor, chord(0, "aug"), "I+"},       {kCMajor, chord(0, "+"), "I+"},
      {kCMajor, chord(9, "m7"), "vim7"},      {kCMajor, chord(9, "m"), "vi"},
      {kEMinor, chord(6, "m9b5"), "iiø9"},    {kCMajor, chord(0, "maj"), "I"},
      {kCMajor, chord(0, ""), "I"},           {kCMajor, chord(11, "dim"), "vii°"},
      {kCMajor, chord(7, "aug7"), "V+7"},     {kCMajor, chord(11, "ø7"), "viiø"},
      {kCMajor, chord(7, "7sus4"), "V7sus4"}, {kCMajor, chord(2, "mM7"), "iimM7"},
      {kCMajor, chord(3, ""), "♭III"},        {kCMajor, chord(6, "7"), "♯IV7"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(romanForChord(c.key, c.chord, kNearest), c.numeral) << c.chord.root << c.chord.quality;
}

TEST(RomanForChord, SpelledModeFollowsTheLetter) {
  EXPECT_EQ(romanForChord(kCMajor, chord(3, "maj"), kSpelledFlats), "♭III");
  EXPECT_EQ(romanForChord(kCMajor, chord(3, "maj"), kSpelledSharps), "♯II");
}

TEST(RomanSlashName, NamesTheBassAsAChordTone) {
  EXPECT_EQ(romanSlashName(kCMajor, slash(0, "maj", 4), kSpelledSharps, sharpsSimplified()), "I/E");
  EXPECT_EQ(romanSlashName(kCMajor, slash(0, "maj", 0), kSpelledSharps, sharpsSimplified()), "I");
  EXPECT_EQ(romanSlashName(kCMajor, chord(7, "7"), kSpelledSharps, sharpsSimplified()), "V7");
}

TEST(RomanSlashNumeral, NamesTheBassAsADegree) {
  EXPECT_EQ(romanSlashNumeral(kCMajor, slash(0, "maj", 4), kNearest), "I/III");
  EXPECT_EQ(romanSlashNumeral(kCMajor, slash(0, "maj", 10), kNearest), "I/♭VII");
  EXPECT_EQ(romanSlashNumeral(kCMajor, slash(9, "m", 9), kNearest), "vi");
}

TEST(ParseRomanNumeral, ReadsAccidentalsAndLetters) {
  const RomanToken flatSeven = parseRomanNumeral("bVII7");
  ASSERT_TRUE(flatSeven.valid);
  EXPECT_EQ(flatSeven.degree, 7);
  EXPECT_TRUE(flatSeven.upper);
  EXPECT_EQ(flatSeven.accidental, -1);
  EXPECT_EQ(flatSeven.end, 4u);

  const RomanToken doubleFlat = parseRomanNumeral("♭♭VI");
  ASSERT_TRUE(doubleFlat.valid);
  EXPECT_EQ(doubleFlat.accidental, -2);
  EXPECT_EQ(doubleFlat.degree, 6);

  const RomanToken sharpFour = parseRomanNumeral("#iv");
  ASSERT_TRUE(sharpFour.valid);
  EXPECT_FALSE(sharpFour.upper);
  EXPECT_EQ(sharpFour.accidental, 1);
  EXPECT_EQ(sharpFour.degree, 4);

  for (const char* invalid : {"IIII", "iV", "7", "", "b", "♭", "X", "viiii", "Vi"})
    EXPECT_FALSE(parseRomanNumeral(invalid).valid) << invalid;
}

TEST(ParseRomanNumeral, LongAccidentalRunsStayBounded) {
  const std::string text = std::string(100000, 'b') + "V";
  const RomanToken token = parseRomanNumeral(text);
  ASSERT_TRUE(token.valid);
  EXPECT_EQ(reducePitchClass(token.accidental), reducePitchClass(-100000));
  EXPECT_EQ(chordFromRoman(kCMajor, text).root, reducePitchClass(7 - 100000));
}

struct RomanCase {
  RomanCase(KeyContext k, std::string t, bool v, PitchClass r = 0, std::string q = {},
            std::optional<PitchClass> b = std::nullopt, std::string l = {})
      : key(k), text(std::move(t)), valid(v), root(r), quality(std::move(q)), bass(b), label(std::move(l)) {}
  KeyContext key;
  std::string text;
  bool valid;
  PitchClass root;
  std::string quality;
  std::optional<PitchClass> bass;
  std::string label;
};

TEST(ChordFromRoman, ReadsNumeralsInAKey) {
  const std::vector<RomanCase> cases{
      {kCMajor, "ii", true, 2, "m"},
      {kCMajor, "ii6", true, 2, "m6"},
      {kCMajor, "ii7", true, 2, "m7"},
      {kCMajor, "ii9", true, 2, "m9"},
      {kCMajor, "V", true, 7, ""},
      {kCMajor, "V7", true, 7, "7"},
      {kCMajor, "vi", true, 9, "m"},
      {kCMajor, "viiø7", true, 11, "m7b5"},
      {kCMajor, "viiø", true, 11, "m7b5"},
      {kCMajor, "viiø9", true, 11, "m9b5"},
      {kCMajor, "vii°", true, 11, "dim"},
      {kCMajor, "vii°7", true, 11, "dim7"},
      {kCMajor, "♭VI", true, 8, ""},
      {kCMajor, "bVII", true, 10, ""},
      {kCMajor, "III+", true, 4, "aug"},
      {kCMajor, "Imaj7", true, 0, "maj7"},
      {kCMajor, "It+6", true, 8, "7no5", std::nullopt, "It+6"},
      {kCMajor, "It6", true, 8, "7no5", std::nullopt, "It+6"},
      {kCMajor, "Fr43", true, 8, "7#11no5", std::nullopt, "Fr+6"},
      {kCMajor, "Fr+6", true, 8, "7#11no5", std::nullopt, "Fr+6"},
      {kCMajor, "Ger65", true, 8, "7", std::nullopt, "Ger+6"},
      {kCMajor, "Gr+6", true, 8, "7", std::nullopt, "Ger+6"},
      {kANatural, "It+6", true, 5, "7no5", std::nullopt, "It+6"},
      {kCMajor, "V/V", true, 2, "7"},
      {kCMajor, "V/ii", true, 9, "7"},
      {kCMajor, "V7/IV", true, 0, "7"},
      {kCMajor, "V9/V", true, 2, "9"},
      {kCMajor, "vii°7/V", true, 6, "dim7"},
      {kCMajor, "viiø7/V", true, 6, "m7b5"},
      {kCMajor, "IV/V", true, 5, "", 7},
      {kCMajor, "I/III", true, 0, "", 4},
      {kCMajor, "VII/V", true, 11, "", 7},
      {kCMajor, "I/I", true, 0, ""},
      {kCMajor, "ii/", true, 2, "m"},
      {kCMajor, "V7/V7", false},
      {kCMajor, "V/X", false},
      {kCMajor, "", false},
      {kCMajor, "X", false},
      {kCMajor, "Vxyz", false},
      {kCMajor, "viiø11", false},
      {kCMajor, "it+6", false},
      {kCMajor, "C", false},
  };
  for (const auto& c : cases) {
    const RomanChord result = chordFromRoman(c.key, c.text);
    ASSERT_EQ(result.valid, c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(result.root, c.root) << c.text;
    EXPECT_EQ(result.quality, c.quality) << c.text;
    EXPECT_EQ(result.hasBass, c.bass.has_value()) << c.text;
    if (c.bass) {
      EXPECT_EQ(result.bass, *c.bass) << c.text;
    }
    EXPECT_EQ(result.label, c.label) << c.text;
  }
}

TEST(ChordFromRoman, NeverFailsOnArbitraryBytes) {
  const std::vector<std::string> texts{"\xff\xfe", "\xe2\x99", "V/\xe2\x99\xad", "\xc2", "////",
                                       "V//V", "♭", "♯♯♯♯♯♯♯♯♯♯♯♯♯VII", "I\0V"};
  for (const auto& text : texts) {
    const RomanChord result = chordFromRoman(kCMajor, text);
    if (result.valid) {
      EXPECT_GE(result.root, 0);
      EXPECT_LT(result.root, 12);
    }
  }
}

TEST(MinorizeExtension, TurnsExtensionsMinor) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", "m"},         {"m", "m"},       {"-", "-"},         {"maj7", "maj7"},
      {"M7", "M7"},      {"dim7", "dim7"}, {"o7", "o7"},       {"ø7", "ø7"},
      {"sus4", "sus4"},  {"+", "+"},       {"aug", "aug"},     {"min7", "min7"},
      {"6", "m6"},       {"69", "m69"},    {"add9", "madd9"},  {"7", "m7"},
      {"9", "m9"},       {"11", "m11"},    {"13", "m13"},      {"xyz", "xyz"},
  };
  for (const auto& [extension, quality] : cases) EXPECT_EQ(minorizeExtension(extension), quality) << extension;
}

TEST(AnalysedChordRecord, SlashChordInCMajor) {
  const auto parsed = parseChordSymbol("C/E");
  ASSERT_TRUE(parsed);
  const nlohmann::json record = analysedChordRecord(kCMajor, *parsed, sharpsSimplified());
  EXPECT_EQ(record, (nlohmann::json{{"bass", "E"},
                                    {"category", "major"},
                                    {"degree", 1},
                                    {"quality", "maj"},
                                    {"roman", "I/E"},
                                    {"root", "C"},
                                    {"symbol", "Cmaj/E"}}));
}

TEST(AnalysedChordRecord, ChromaticChordHasDegreeZero) {
  const auto parsed = parseChordSymbol("Eb7");
  ASSERT_TRUE(parsed);
  const SpellingOptions flats{OptionalFlag::of(true), OptionalFlag::of(true)};
  const nlohmann::json record = analysedChordRecord(kCMajor, *parsed, flats);
  EXPECT_EQ(record["degree"], 0);
  EXPECT_EQ(record["roman"], "♭III7");
  EXPECT_EQ(record["root"], "Eb");
  EXPECT_EQ(record["category"], "dominant");
  EXPECT_FALSE(record.contains("bass"));
}

}  // namespace
}  // namespace tw
