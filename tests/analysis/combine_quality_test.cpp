// Carrying a chord's extension and alterations onto another chord family.
#include <gtest/gtest.h>

#include "analysis/roman_numerals.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {
namespace {

struct CombineCase {
  std::string source;
  std::string templateQuality;
  std::string result;
};

TEST(CombineQuality, ExtensionLevelsMoveOntoTheTemplateFamily) {
  const std::vector<CombineCase> cases{
      {"7", "m7", "m7"},          {"9", "m7", "m9"},           {"11", "m7", "m11"},
      {"13", "m7", "m13"},        {"9", "maj7", "maj9"},       {"13", "maj7", "maj13"},
      {"11", "mM7", "mM11"},      {"9", "7", "9"},             {"13", "7", "13"},
      {"m9", "7", "9"},           {"maj9", "m7", "m9"},        {"m7", "maj7", "maj7"},
      {"maj", "m7", "m7"},        {"11add13", "7", "11add13"}, {"m11add13", "maj7", "maj11add13"},
      {"13", "9", "13"},          {"9", "13", "13"},           {"maj13", "maj9", "maj13"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(combineQuality(c.source, c.templateQuality), c.result) << c.source << " onto " << c.templateQuality;
}

TEST(CombineQuality, SuspendedSourcesAndHalfDiminishedTemplatesStay) {
  EXPECT_EQ(combineQuality("7sus4", "m7"), "7sus4");
  EXPECT_EQ(combineQuality("sus2", "maj7"), "sus2");
  EXPECT_EQ(combineQuality("9", "m7b5"), "m7b5");
  EXPECT_EQ(combineQuality("13", "ø7"), "ø7");
}

TEST(CombineQuality, FlatAndSharpNinthsAreNotNinthLevels) {
  EXPECT_EQ(combineQuality("7b9", "m7"), "m7");
  EXPECT_EQ(combineQuality("7#9", "maj7"), "maj7");
  EXPECT_EQ(combineQuality("add9", "m7"), "m7");
  EXPECT_EQ(combineQuality("7b13", "m7"), "m7");
}

TEST(CombineQuality, SixthChordsOnTriadTemplates) {
  EXPECT_EQ(combineQuality("6", "m"), "m6");
  EXPECT_EQ(combineQuality("69", "m"), "m69");
  EXPECT_EQ(combineQuality("m6", ""), "6");
  EXPECT_EQ(combineQuality("m69", "maj"), "69");
  EXPECT_EQ(combineQuality("mb6", "m"), "m");  // a flat sixth is no sixth chord
}

TEST(CombineQuality, DominantTemplatesKeepTheSourceAlterations) {
  const std::vector<CombineCase> cases{
      {"7alt", "7", "7alt"},     {"7b9", "7", "7b9"},         {"7#5#9", "7", "7#5#9"},
      {"7b9#9", "7", "7b9#9"},   {"13b9", "7", "13b9"},       {"7#11", "7", "7#11"},
      {"9b13", "7", "9b13"},     {"7b5", "7", "7b5"},         {"aug", "7", "7#5"},
      {"m7b5", "7", "7"},        {"m9b5", "7", "9"},          {"maj7#11", "7", "7#11"},
      {"7#5b9#11", "7", "7#5b9#11"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(combineQuality(c.source, c.templateQuality), c.result) << c.source;
}

TEST(CombineQuality, SeventhTemplatesOtherThanDominantTakeOnlyTheSharpEleven) {
  EXPECT_EQ(combineQuality("7#11", "maj7"), "maj7#11");
  EXPECT_EQ(combineQuality("9#11", "m7"), "m9#11");
  EXPECT_EQ(combineQuality("7b9#11", "mM7"), "mM7#11");
  EXPECT_EQ(combineQuality("7#5", "maj7"), "maj7");
}

TEST(CombineQuality, TriadTemplatesTakeAddedTones) {
  EXPECT_EQ(combineQuality("add9", "m"), "madd9");
  EXPECT_EQ(combineQuality("madd9", ""), "add9");
  EXPECT_EQ(combineQuality("9", "m"), "madd9");
  EXPECT_EQ(combineQuality("11", ""), "add911");
  EXPECT_EQ(combineQuality("add11", "m"), "madd11");
  EXPECT_EQ(combineQuality("m", ""), "");
  EXPECT_EQ(combineQuality("maj", "m"), "m");
  EXPECT_EQ(combineQuality("9", "dim"), "dimadd9");
}

TEST(CombineQuality, ResultsOnCatalogueTemplatesAreKnownQualities) {
  // Every catalogue quality carried onto every seventh-row template gives a quality the
  // catalogue accepts.
  const std::vector<std::string> templates{"maj7", "m7", "7", "m7b5", "mM7", "maj7#5"};
  for (const ChordQuality& quality : supportedQualities()) {
    for (const auto& t : templates) {
      const std::string result = combineQuality(quality.symbol, t);
      EXPECT_TRUE(resolveQuality(result).has_value()) << quality.symbol << " onto " << t << " gave " << result;
    }
  }
}

}  // namespace
}  // namespace tw
