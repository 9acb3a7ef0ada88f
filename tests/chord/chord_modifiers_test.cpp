// Chord modifiers: degree selections, the modifier table, the reverse quality map,
// toggling and applying modifier ids, and which modifiers a chord offers.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "chord/chord_modifiers.hpp"
#include "chord/chord_parser.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {
namespace {

using Ids = std::vector<std::string>;

ParsedChord chordOf(const std::string& text) {
  auto chord = parseChordSymbol(text);
  EXPECT_TRUE(chord.has_value()) << text;
  return chord.value_or(ParsedChord{});
}

DegreeSelection selection(int third, int fifth, int seventh, int ninth, int eleventh,
                          int thirteenth) {
  DegreeSelection s;
  s.third = static_cast<std::uint8_t>(third);
  s.fifth = static_cast<std::uint8_t>(fifth);
  s.seventh = static_cast<std::uint8_t>(seventh);
  s.ninth = static_cast<std::uint8_t>(ninth);
  s.eleventh = static_cast<std::uint8_t>(eleventh);
  s.thirteenth = static_cast<std::uint8_t>(thirteenth);
  return s;
}

bool listed(const Ids& ids, const std::string& id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// ---------------------------------------------------------------------------------------
// The modifier table

TEST(ModifierTable, HoldsTwentyFourRowsInInterfaceOrder) {
  const char* expected[][3] = {
      {"third-major", "3", "third"},          {"third-minor", "♭3", "third"},
      {"third-sus2", "sus2", "third"},        {"third-sus4", "sus4", "third"},
      {"fifth-perfect", "5", "fifth"},        {"fifth-flat5", "♭5", "fifth"},
      {"fifth-sharp5", "♯5", "fifth"},        {"sixth-6", "6", "sixth"},
      {"seventh-flat7", "7", "seventh"},      {"seventh-major7", "M7", "seventh"},
      {"seventh-dim7", "dim7", "seventh"},    {"ninth-add9", "add9", "ninth"},
      {"ninth-flat9", "♭9", "ninth"},         {"ninth-flat9sharp9", "♭9♯9", "ninth"},
      {"ninth-9", "9", "ninth"},              {"ninth-sharp9", "♯9", "ninth"},
      {"eleventh-add11", "add11", "eleventh"}, {"eleventh-flat11", "♭11", "eleventh"},
      {"eleventh-11", "11", "eleventh"},      {"eleventh-sharp11", "♯11", "eleventh"},
      {"thirteenth-add13", "add13", "thirteenth"}, {"thirteenth-flat13", "♭13", "thirteenth"},
      {"thirteenth-13", "13", "thirteenth"},  {"slash", "/", "slash"}};
  const auto& table = modifierTable();
  ASSERT_EQ(table.size(), 24u);
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].id, expected[i][0]);
    EXPECT_EQ(table[i].label, expected[i][1]);
    EXPECT_EQ(table[i].category, expected[i][2]);
  }
}

TEST(ModifierTable, EachIdWritesItsSlot) {
  struct Case { const char* id; DegreeSelection expected; };
  const DegreeSelection base;  // a plain major triad
  const Case cases[] = {
      {"third-minor", selection(1, 0, 0, 0, 0, 0)},
      {"third-sus4", selection(3, 0, 0, 0, 0, 0)},
      {"fifth-sharp5", selection(0, 2, 0, 0, 0, 0)},
      {"sixth-6", selection(0, 0, 0, 0, 0, 1)},
      {"seventh-dim7", selection(0, 0, 3, 0, 0, 0)},
      {"ninth-flat9sharp9", selection(0, 0, 1, 3, 0, 0)},
      {"eleventh-sharp11", selection(0, 0, 1, 0, 4, 0)},
      {"thirteenth-flat13", selection(0, 0, 1, 0, 0, 2)},
  };
  for (const auto& c : cases) {
    // Extensions are tried over a seventh so that normalisation keeps them.
    const bool extension = std::string(c.id).rfind("third", 0) != 0 &&
                           std::string(c.id).rfind("fifth", 0) != 0 &&
                           std::string(c.id) != "sixth-6" &&
                           std::string(c.id) != "seventh-dim7";
    const Ids ids = extension ? Ids{"seventh-flat7", c.id} : Ids{c.id};
    EXPECT_EQ(applyModifierIds(base, ids), c.expected) << c.id;
  }
}

TEST(ModifierTable, GroupIsTheWordBeforeTheFirstDash) {
  for (const auto& row : modifierTable()) {
    if (row.id == "slash") {
      EXPECT_FALSE(modifierGroup(row.id).has_value());
    } else {
      EXPECT_EQ(modifierGroup(row.id), row.category) << row.id;
    }
    EXPECT_EQ(findModifier(row.id), &row);
  }
  EXPECT_EQ(modifierGroup("ninth-unknown"), "ninth");
  EXPECT_FALSE(modifierGroup("plain").has_value());
  EXPECT_EQ(findModifier("ninth-b9"), nullptr);
  EXPECT_EQ(findModifier(""), nullptr);
}

// ---------------------------------------------------------------------------------------
// Descriptors and decomposition

TEST(QualityDescriptor, SeventeenQualitiesHaveNone) {
  std::size_t withDescriptor = 0;
  std::set<std::string> without;
  for (const auto& quality : supportedQualities()) {
    if (qualityDescriptor(quality.symbol)) ++withDescriptor;
    else without.insert(quality.symbol);
  }
  EXPECT_EQ(withDescriptor, 381u - 17u);
  EXPECT_EQ(without, (std::set<std::string>{"11#11", "5", "7#11no5", "7alt", "7no5", "add#11",
                                            "add9#11", "add9#5#11", "dim#5", "dim11", "dimb9",
                                            "m6b9b11b13", "madd#11", "madd11b13", "madd9#11",
                                            "maj11#11", "mb6"}));
  EXPECT_FALSE(qualityDescriptor("not-a-quality").has_value());
}

TEST(QualityDescriptor, DerivedFromIntervals) {
  struct Case { const char* symbol; const char* key; };
  const Case cases[] = {
      {"maj", "000000"},     {"m", "100000"},        {"sus2", "200000"},
      {"sus4", "300000"},    {"aug", "020000"},      {"dim", "110000"},
      {"7", "001000"},       {"m7", "101000"},       {"maj7", "002000"},
      {"dim7", "113000"},    {"m7b5", "111000"},     {"mM7", "102000"},
      {"6", "000001"},       {"m6", "100001"},       {"69", "000401"},
      {"add9", "000100"},    {"madd9", "100100"},    {"add11", "000010"},
      {"add911", "000110"},  {"9", "001400"},        {"7b9", "001200"},
      {"7#9", "001500"},     {"7b9#9", "001300"},    {"11", "001430"},
      {"7#11", "001040"},    {"m7b11", "101020"},    {"13", "001403"},
      {"7add13", "001001"},  {"7b13", "001002"},     {"11add13", "001433"},
      {"dim7b9", "113200"},  {"m611", "100011"},     {"6b9", "000201"},
      {"dimadd9", "110100"}, {"madd9b5", "110100"},  {"7sus4", "301000"},
  };
  for (const auto& c : cases) {
    const auto descriptor = qualityDescriptor(c.symbol);
    ASSERT_TRUE(descriptor.has_value()) << c.symbol;
    EXPECT_EQ(selectionKey(*descriptor), c.key) << c.symbol;
    EXPECT_FALSE(descriptor->bass.has_value());
  }
}

TEST(QualityDescriptor, SymbolTextRulesForQualitiesWithoutDescriptor) {
  struct Case { const char* symbol; const char* key; };
  const Case cases[] = {
      {"11#11", "001040"},   {"7#11no5", "001040"},   {"5", "000000"},
      {"7alt", "001000"},    {"7no5", "001000"},      {"add#11", "000040"},
      {"add9#11", "000140"}, {"add9#5#11", "020140"}, {"dim#5", "120000"},
      {"dim11", "111030"},   {"dimb9", "110200"},     {"m6b9b11b13", "100221"},
      {"madd#11", "100040"}, {"madd11b13", "100012"}, {"madd9#11", "100140"},
      {"maj11#11", "002040"}, {"mb6", "100000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(selectionKey(selectionFromSymbolText(c.symbol)), c.key) << c.symbol;
    EXPECT_EQ(selectionKey(decomposeQuality(chordOf(std::string("C") + c.symbol))), c.key)
        << c.symbol;
  }
}

// The text rules read the symbol literally: the flat five of a half-diminished sign and the
// ninth of 13sus4 are not spelled out, and the 9 of 6/9 counts as a plain degree.
TEST(QualityDescriptor, SymbolTextRulesReadSpellings) {
  struct Case { const char* text; const char* key; };
  const Case cases[] = {
      {"o7", "113000"},   {"o", "110000"},     {"ø", "100000"},    {"-7", "101000"},
      {"sus", "300000"},  {"7sus2", "201000"}, {"13sus4", "301003"}, {"maj9", "002400"},
      {"mM11", "102030"}, {"6/9", "001401"},   {"add2", "000100"},  {"add4", "000010"},
      {"aug7", "021000"}, {"m7b5", "111000"},  {"", "000000"},      {"add13", "000001"},
      {"11add13", "001030"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(selectionKey(selectionFromSymbolText(c.text)), c.key) << c.text;
}

TEST(DecomposeQuality, KeepsTheSlashBass) {
  const auto s = decomposeQuality(chordOf("Cm7/Bb"));
  EXPECT_EQ(selectionKey(s), "101000");
  EXPECT_EQ(s.bass, 10);
  EXPECT_FALSE(decomposeQuality(chordOf("Cm7")).bass.has_value());
}

TEST(SelectionKey, SixDigitsThirdFirst) {
  EXPECT_EQ(selectionKey(selection(1, 0, 1, 0, 0, 0)), "101000");
  EXPECT_EQ(selectionKey(selection(0, 0, 0, 0, 0, 0)), "000000");
  EXPECT_EQ(selectionKey(selection(3, 2, 3, 5, 4, 3)), "323543");
}

// ---------------------------------------------------------------------------------------
// Normalisation and the reverse map

TEST(NormaliseSelection, Rules) {
  struct Case { const char* name; DegreeSelection in; const char* out; };
  const Case cases[] = {
      // Without a seventh or sixth, a ninth or eleventh can only be added.
      {"ninth becomes added", selection(0, 0, 0, 4, 0, 0), "000100"},
      {"altered ninths drop", selection(0, 0, 0, 2, 0, 0), "000000"},
      {"b9#9 drops", selection(0, 0, 0, 3, 0, 0), "000000"},
      {"#9 drops", selection(0, 0, 0, 5, 0, 0), "000000"},
      {"eleventh becomes added", selection(0, 0, 0, 0, 3, 0), "000010"},
      {"altered elevenths drop", selection(0, 0, 0, 0, 2, 0), "000000"},
      {"#11 drops", selection(0, 0, 0, 0, 4, 0), "000000"},
      {"thirteenths drop", selection(0, 0, 0, 0, 0, 3), "000000"},
      {"b13 drops", selection(0, 0, 0, 0, 0, 2), "000000"},
      // A sixth keeps ninths; its eleventh becomes added.
      {"sixth keeps ninth", selection(0, 0, 0, 4, 0, 1), "000401"},
      {"sixth keeps b9", selection(0, 0, 0, 2, 0, 1), "000201"},
      {"sixth adds eleventh", selection(1, 0, 0, 0, 3, 1), "100011"},
      // With a seventh.
      {"sixth over altered ninth is thirteenth", selection(0, 0, 1, 2, 0, 1), "001203"},
      {"added ninth is ninth", selection(0, 0, 1, 1, 0, 0), "001400"},
      {"added ninth with sixth", selection(0, 0, 1, 1, 0, 1), "001401"},
      {"added eleventh is eleventh", selection(0, 0, 1, 0, 1, 0), "001430"},
      {"eleventh implies ninth", selection(0, 0, 2, 0, 3, 0), "002430"},
      {"#11 implies nothing", selection(0, 0, 1, 0, 4, 0), "001040"},
      {"thirteenth implies ninth", selection(0, 0, 1, 0, 0, 3), "001403"},
      {"sixth-with-seventh implies nothing", selection(0, 0, 1, 0, 0, 1), "001001"},
      {"b13 implies nothing", selection(0, 0, 1, 0, 0, 2), "001002"},
  };
  for (const auto& c : cases) EXPECT_EQ(selectionKey(normaliseSelection(c.in)), c.out) << c.name;

  auto withBass = selection(0, 0, 0, 4, 0, 0);
  withBass.bass = 7;
  EXPECT_EQ(normaliseSelection(withBass).bass, 7);
}

TEST(ReverseQualityMap, HoldsThreeHundredSixtyThreeKeys) {
  const auto& map = reverseQualityMap();
  EXPECT_EQ(map.size(), 363u);
  for (const auto& [key, symbol] : map) {
    EXPECT_EQ(key.size(), 6u);
    EXPECT_TRUE(isCatalogueSymbol(symbol)) << symbol;
  }
}

TEST(ReverseQualityMap, OnlyContestedKeyGoesToDimAdd9) {
  EXPECT_EQ(reverseQualityMap().at("110100"), "dimadd9");
  EXPECT_EQ(reverseQualityMap().at("101000"), "m7");
  EXPECT_EQ(reverseQualityMap().at("000000"), "maj");
  EXPECT_EQ(reverseQualityMap().at("111000"), "m7b5");
  EXPECT_EQ(reverseQualityMap().at("110000"), "dim");
  // Every other quality with a descriptor composes back to itself.
  for (const auto& quality : supportedQualities()) {
    const auto descriptor = qualityDescriptor(quality.symbol);
    if (!descriptor) continue;
    const auto composed = composeQuality(*descriptor);
    ASSERT_TRUE(composed.has_value()) << quality.symbol;
    if (quality.symbol == "madd9b5") EXPECT_EQ(*composed, "dimadd9");
    else EXPECT_EQ(*composed, quality.symbol);
  }
}

TEST(ComposeQuality, NormalisesFirstAndMayFindNothing) {
  EXPECT_EQ(composeQuality(selection(0, 0, 0, 4, 0, 0)), "add9");
  EXPECT_EQ(composeQuality(selection(0, 0, 1, 0, 3, 0)), "11");
  EXPECT_EQ(composeQuality(selection(0, 0, 3, 0, 0, 0)), std::nullopt);  // major dim7
  EXPECT_EQ(composeQuality(selection(9, 9, 9, 9, 9, 9)), std::nullopt);
}

// ---------------------------------------------------------------------------------------
// Active ids, toggling, applying

TEST(ActiveModifierIds, DescribeTheSelection) {
  struct Case { DegreeSelection s; Ids ids; };
  auto slash = selection(1, 1, 1, 0, 0, 0);
  slash.bass = 3;
  const Case cases[] = {
      {selection(0, 0, 1, 0, 0, 0), {"third-major", "fifth-perfect", "seventh-flat7"}},
      {selection(1, 1, 3, 0, 0, 0), {"third-minor", "fifth-flat5", "seventh-dim7"}},
      {selection(3, 2, 2, 5, 4, 2),
       {"third-sus4", "fifth-sharp5", "seventh-major7", "ninth-sharp9", "eleventh-sharp11",
        "thirteenth-flat13"}},
      {selection(2, 0, 0, 1, 1, 1),
       {"third-sus2", "fifth-perfect", "ninth-add9", "eleventh-add11", "sixth-6"}},
      {selection(0, 0, 1, 4, 3, 1),
       {"third-major", "fifth-perfect", "seventh-flat7", "ninth-9", "eleventh-11",
        "thirteenth-add13"}},
      {selection(0, 0, 1, 3, 2, 3),
       {"third-major", "fifth-perfect", "seventh-flat7", "ninth-flat9sharp9",
        "eleventh-flat11", "thirteenth-13"}},
      {slash, {"third-minor", "fifth-flat5", "seventh-flat7", "slash"}},
      {selection(7, 7, 0, 0, 0, 0), {"third-major", "fifth-perfect"}},  // out of range
  };
  for (const auto& c : cases) EXPECT_EQ(activeModifierIds(c.s), c.ids) << selectionKey(c.s);
}

TEST(ToggleModifier, Rules) {
  struct Case { Ids ids; const char* id; Ids expected; };
  const Case cases[] = {
      {{"third-major", "fifth-perfect", "seventh-flat7"}, "seventh-flat7",
       {"third-major", "fifth-perfect"}},
      {{"third-minor", "fifth-perfect"}, "third-minor", {"fifth-perfect", "third-minor"}},
      {{"third-major", "fifth-perfect"}, "third-minor", {"fifth-perfect", "third-minor"}},
      {{"third-major", "fifth-perfect", "seventh-flat7"}, "seventh-major7",
       {"third-major", "fifth-perfect", "seventh-major7"}},
      {{"third-major", "ninth-9"}, "ninth-flat9", {"third-major", "ninth-flat9"}},
      {{"third-major", "sixth-6"}, "sixth-6", {"third-major"}},
      {{"sixth-6", "thirteenth-13"}, "thirteenth-13", {"sixth-6"}},
      {{"sixth-6"}, "thirteenth-add13", {"sixth-6", "thirteenth-add13"}},
      {{"fifth-flat5"}, "fifth-flat5", {"fifth-flat5"}},
      {{"third-major", "slash"}, "ninth-9", {"third-major", "slash", "ninth-9"}},
      {{"third-major", "fifth-perfect"}, "slash", {"slash"}},
      {{}, "eleventh-11", {"eleventh-11"}},
  };
  for (const auto& c : cases) EXPECT_EQ(toggleModifier(c.ids, c.id), c.expected) << c.id;
}

TEST(ApplyModifierIds, TriadChangeClearsExtensionsUnlessNamed) {
  const auto c7 = selection(0, 0, 1, 4, 0, 0);  // a dominant ninth
  EXPECT_EQ(selectionKey(applyModifierIds(c7, {"third-minor"})), "100000");
  EXPECT_EQ(selectionKey(applyModifierIds(c7, {"third-minor", "seventh-flat7"})), "101000");
  EXPECT_EQ(selectionKey(applyModifierIds(c7, {"ninth-flat9"})), "001200");
  // The last recognised id of a group decides.
  EXPECT_EQ(selectionKey(applyModifierIds(c7, {"third-minor", "third-sus4"})), "300000");
  // A group named only by unknown ids is cleared; unknown ids of no group do nothing.
  EXPECT_EQ(selectionKey(applyModifierIds(c7, {"ninth-b9"})), "001000");
  EXPECT_EQ(selectionKey(applyModifierIds(c7, {"bogus"})), "001400");
  EXPECT_EQ(selectionKey(applyModifierIds(c7, {"slash"})), "001400");
  // "sixth-6" and the thirteenth ids write the same slot; the last one wins.
  EXPECT_EQ(selectionKey(applyModifierIds(selection(0, 0, 1, 0, 0, 0),
                                          {"thirteenth-13", "thirteenth-flat13"})),
            "001002");
  auto slash = selection(0, 0, 0, 0, 0, 0);
  slash.bass = 4;
  EXPECT_EQ(applyModifierIds(slash, {"third-minor"}).bass, 4);
}

TEST(ApplyModifiers, EdgeCases) {
  struct Case { const char* chord; Ids ids; const char* quality; };
  const Case cases[] = {
      {"C7", {"third-minor"}, "m"},
      {"C7", {"third-minor", "seventh-flat7"}, "m7"},
      {"C", {"ninth-9"}, "add9"},
      {"C7", {"eleventh-11"}, "11"},
      {"C", {"sixth-6", "ninth-9"}, "69"},
      // Changing the fifth drops the seventh; a major triad with a flat five is no quality.
      {"Cmaj7", {"ninth-flat9", "fifth-flat5"}, ""},
      {"Cmaj7", {"fifth-flat5", "seventh-major7", "ninth-flat9"}, "maj7b5b9"},
      {"C7", {"sixth-6", "ninth-add9"}, "13"},
      {"Cm7", {"fifth-flat5", "seventh-flat7"}, "m7b5"},
      {"Cdim", {"ninth-add9"}, "dimadd9"},
      {"C", {"third-minor", "fifth-flat5", "seventh-dim7"}, "dim7"},
      {"C", {"third-sus4", "seventh-flat7"}, "7sus4"},
      {"C", {"fifth-sharp5"}, "aug"},
      {"C7", {"ninth-flat9sharp9", "thirteenth-flat13"}, "7b9#9b13"},
      {"Cm7", {}, "m7"},
      {"C7alt", {}, "7alt"},
      {"C", {"seventh-dim7"}, ""},  // a major triad with a diminished seventh is no quality
      {"C", {"third-minor", "third-major"}, "maj"},
      {"C", {"seventh-flat7", "seventh-major7"}, "maj7"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(applyModifiers(chordOf(c.chord), c.ids), c.quality) << c.chord;
}

// ---------------------------------------------------------------------------------------
// Availability

TEST(ModifierAvailability, DominantSeventh) {
  const auto availability = modifierAvailability(chordOf("C7"), {});
  EXPECT_EQ(availability.active, (Ids{"third-major", "fifth-perfect", "seventh-flat7"}));
  EXPECT_TRUE(listed(availability.disabled, "sixth-6"));
  EXPECT_FALSE(listed(availability.disabled, "slash"));
  EXPECT_FALSE(listed(availability.disabled, "ninth-9"));
  EXPECT_FALSE(listed(availability.disabled, "third-minor"));
  EXPECT_FALSE(listed(availability.disabled, "seventh-flat7"));
}

TEST(ModifierAvailability, SixthExcludesSevenths) {
  const auto availability = modifierAvailability(chordOf("C6"), {});
  EXPECT_EQ(availability.active, (Ids{"third-major", "fifth-perfect", "sixth-6"}));
  for (const char* id : {"seventh-flat7", "seventh-major7", "seventh-dim7"})
    EXPECT_TRUE(listed(availability.disabled, id)) << id;
  EXPECT_FALSE(listed(availability.disabled, "sixth-6"));
}

TEST(ModifierAvailability, SlashChordListsSlashAndNeverDisablesIt) {
  const auto availability = modifierAvailability(chordOf("C/E"), {});
  EXPECT_EQ(availability.active, (Ids{"third-major", "fifth-perfect", "slash"}));
  EXPECT_FALSE(listed(availability.disabled, "slash"));
}

TEST(ModifierAvailability, ClientListReplacesActiveIds) {
  // The client already chose a minor seventh on C: a sixth is then unavailable.
  const Ids current{"third-minor", "fifth-perfect", "seventh-flat7"};
  const auto availability = modifierAvailability(chordOf("C"), current);
  EXPECT_EQ(availability.active, (Ids{"third-major", "fifth-perfect"}));
  EXPECT_TRUE(listed(availability.disabled, "sixth-6"));
  // A major triad with a diminished seventh does not exist.
  EXPECT_TRUE(listed(modifierAvailability(chordOf("C"), {}).disabled, "seventh-dim7"));
}

TEST(ModifierAvailability, DisabledIdsComeInTableOrder) {
  for (const char* text : {"C", "Cm7", "C7#9", "Cdim7", "Csus4", "C13", "Cmaj7#11"}) {
    const auto disabled = modifierAvailability(chordOf(text), {}).disabled;
    std::vector<std::size_t> positions;
    for (const auto& id : disabled) positions.push_back(findModifier(id) - modifierTable().data());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << text;
  }
}

TEST(ModifierAvailability, EveryEnabledIdLeadsToAQualityForEveryCatalogueChord) {
  for (const auto& quality : supportedQualities()) {
    const auto chord = chordOf("C" + quality.symbol);
    const auto availability = modifierAvailability(chord, {});
    for (const auto& row : modifierTable()) {
      const std::string id(row.id);
      if (id == "slash" || listed(availability.disabled, id)) continue;
      const auto toggled = toggleModifier(availability.active, id);
      if (toggled == availability.active) continue;
      const auto result = applyModifiers(chord, toggled);
      EXPECT_FALSE(result.empty()) << quality.symbol << " + " << id;
      EXPECT_TRUE(resolveQuality(result).has_value()) << quality.symbol << " + " << id;
    }
  }
}

}  // namespace
}  // namespace tw
