// Display fields of a voiced chord and chord names in a key.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "chord/chord_parser.hpp"
#include "analysis/chord_rendering.hpp"

namespace tw {
namespace {

using nlohmann::json;

ParsedChord chordOf(const char* symbol) {
  auto chord = parseChordSymbol(symbol);
  EXPECT_TRUE(chord) << symbol;
  return chord.value_or(ParsedChord{});
}

json fields(const char* symbol, std::vector<int> notes, std::optional<KeyContext> key = std::nullopt,
            OptionalFlag preferFlats = OptionalFlag::absent(), bool simplify = true) {
  const auto display = chordDisplay(chordOf(symbol), key, preferFlats, simplify, notes);
  json f = json::object();
  if (!display) return f;
  f["display_bass"] = display->bass;
  f["display_note_labels"] = display->noteLabels;
  f["display_symbol"] = display->symbol;
  if (display->roman) f["display_roman"] = *display->roman;
  return f;
}

TEST(ChordDisplayFields, FirstInversionWithoutKey) {
  const json f = fields("C", {64, 67, 72});
  EXPECT_EQ(f, (json{{"display_bass", "E"},
                     {"display_note_labels", {"E", "G", "C"}},
                     {"display_symbol", "C/E"}}));
}

TEST(ChordDisplayFields, RootPositionKeepsTheTypedSymbol) {
  EXPECT_EQ(fields("C", {60, 64, 67})["display_symbol"], "C");
  EXPECT_EQ(fields("C/G", {60, 64, 67})["display_symbol"], "C/G");
  EXPECT_EQ(fields("Cmaj7", {48, 64, 67, 71})["display_symbol"], "Cmaj7");
}

TEST(ChordDisplayFields, SlashBassIsReplacedButQualitySlashStays) {
  EXPECT_EQ(fields("C6/9", {64, 67, 69, 72, 74})["display_symbol"], "C6/9/E");
  EXPECT_EQ(fields("C/G", {64, 67, 72})["display_symbol"], "C/E");
  EXPECT_EQ(fields("Cm/M7", {63, 67, 71, 72})["display_symbol"], "Cm/M7/D#");
}

TEST(ChordDisplayFields, DiminishedSeventhLabels) {
  EXPECT_EQ(fields("Cdim7", {60, 63, 66, 69}, std::nullopt, OptionalFlag::absent(), false)["display_note_labels"],
            (json{"C", "Eb", "Gb", "Bbb"}));
  EXPECT_EQ(fields("Cdim7", {60, 63, 66, 69})["display_note_labels"], (json{"C", "Eb", "Gb", "A"}));
}

TEST(ChordDisplayFields, LabelsFollowTheTypedLetter) {
  EXPECT_EQ(fields("Db7", {61, 65, 68, 71}, KeyContext{4, false, false}, OptionalFlag::absent(), false)
                ["display_note_labels"],
            (json{"Db", "F", "Ab", "Cb"}));
  EXPECT_EQ(fields("C#7", {61, 65, 68, 71}, std::nullopt, OptionalFlag::absent(), false)["display_note_labels"],
            (json{"C#", "E#", "G#", "B"}));
  EXPECT_EQ(fields("C#7", {61, 65, 68, 71})["display_note_labels"], (json{"C#", "F", "G#", "B"}));
  EXPECT_EQ(fields("Db7", {61, 65, 68, 71})["display_note_labels"], (json{"Db", "F", "Ab", "B"}));
}

TEST(ChordDisplayFields, LabelsOfTonesOutsideTheChord) {
  // A voicing may add a tone the quality does not list; it is labelled by its plain interval.
  EXPECT_EQ(fields("C", {60, 62, 64, 67})["display_note_labels"], (json{"C", "D", "E", "G"}));
}

TEST(ChordDisplayFields, EmptyVoicingGivesAnEmptyObject) {
  EXPECT_EQ(fields("C", {}), json::object());
  EXPECT_EQ(fields("C", {}, KeyContext{0, false, false}), json::object());
}

TEST(ChordDisplayFields, BassNameWithoutKeyFollowsAnExplicitPreferenceOnly) {
  EXPECT_EQ(fields("Bb7", {58, 62, 65, 68})["display_bass"], "A#");
  EXPECT_EQ(fields("Bb7", {58, 62, 65, 68}, std::nullopt, OptionalFlag::of(false))["display_bass"], "A#");
  EXPECT_EQ(fields("Bb7", {58, 62, 65, 68}, std::nullopt, OptionalFlag::of(true))["display_bass"], "Bb");
}

TEST(ChordDisplayFields, RomanOverTheSoundingBass) {
  const KeyContext cMajor{0, false, false};
  const json inverted = fields("C", {64, 67, 72}, cMajor);
  EXPECT_EQ(inverted["display_roman"], "I/E");
  EXPECT_EQ(inverted["display_bass"], "E");
  EXPECT_EQ(fields("C/E", {60, 64, 67}, cMajor)["display_roman"], "I");
  EXPECT_EQ(fields("G7", {43, 59, 65, 67}, cMajor)["display_roman"], "V7");
  EXPECT_EQ(fields("G7", {53, 59, 67}, cMajor)["display_roman"], "V7/F");
  EXPECT_FALSE(fields("C", {60}).contains("display_roman"));
}

TEST(ChordDisplayFields, BassInAKeyIsSpelledAsAChordTone) {
  const KeyContext bFlatMajor{10, false, false};
  const json f = fields("Ebm", {54, 63, 70}, bFlatMajor);
  EXPECT_EQ(f["display_bass"], "Gb");
  EXPECT_EQ(f["display_symbol"], "Ebm/Gb");
}

TEST(ChordDisplayFields, LowestNoteDecidesWhateverTheOrder) {
  EXPECT_EQ(fields("C", {72, 67, 64})["display_bass"], "E");
  EXPECT_EQ(fields("C", {72, 67, 64})["display_note_labels"], (json{"C", "G", "E"}));
}

TEST(ChordNameInKey, SpellsRootAndBassForTheKey) {
  const KeyContext fMajor{5, false, false};
  EXPECT_EQ(chordNameInKey(10, "maj7", 9, fMajor, true, true), "Bbmaj7/A");
  EXPECT_EQ(chordNameInKey(10, "maj7", std::nullopt, fMajor, true, true), "Bbmaj7");
  EXPECT_EQ(chordNameInKey(3, "m", std::nullopt, KeyContext{10, false, false}, true, true), "Ebm");
  EXPECT_EQ(chordNameInKey(1, "7", std::nullopt, KeyContext{0, false, false}, false, true), "C#7");
  EXPECT_EQ(chordNameInKey(13, "7", -11, KeyContext{0, false, false}, true, true), "Db7/Db");
}

}  // namespace
}  // namespace tw
