// The chart reader: lead-sheet spellings in, catalogue spellings out, the parser untouched.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "chord/chart_reader.hpp"
#include "chord/chord_parser.hpp"

namespace tw {
namespace {

TEST(ChartReader, EveryRowIsUnreadAsWrittenAndReadAsRewritten) {
  for (const ChartSpelling& row : chartSpellings()) {
    const std::string chart(row.chart);
    for (const std::string bass : {"", "/E", "/Bb"}) {
      const std::string symbol = "C" + chart + bass;
      EXPECT_FALSE(parseChordSymbol(symbol)) << symbol << " is read as written: no row needed";
      const auto rewritten = rewriteChartSymbol(symbol);
      ASSERT_TRUE(rewritten) << symbol;
      EXPECT_EQ(*rewritten, "C" + std::string(row.catalogue) + bass);
      const auto chord = parseChordSymbol(*rewritten);
      ASSERT_TRUE(chord) << *rewritten;
      EXPECT_EQ(chord->quality, findQuality(row.catalogue)->symbol);
      EXPECT_LE(rewritten->size(), symbol.size() + kChartRewriteGrowth) << symbol;
    }
  }
}

TEST(ChartReader, ReadsChartSymbolsAndLeavesTheRestAlone) {
  const std::pair<const char*, const char*> cases[] = {
      {"G7+", "G7#5"},        {"Bbm/maj7", "BbmM7"},  {"Bbm/maj7/G", "BbmM7/G"},
      {"F#h7/C", "F#m7b5/C"}, {" Eb07\t", "Ebm7b5"},  {"g7+", "g7#5"},
      {"Cm+", "Cm#5"},        {"D2", "Dsus2"},        {"Bb4", "Bbsus4"},
      {"G7+/H", nullptr},     {"G7+/", nullptr},      {"G7+/Db7", nullptr},
      {"Esus24", nullptr},    {"X7+", nullptr},       {"G7", nullptr},
      {"", nullptr},          {"G", nullptr},         {"G 7+", nullptr},
      {"7+", nullptr},        {"G7++", nullptr},      {"Gm7add11", nullptr},
  };
  for (const auto& [text, want] : cases) {
    const auto got = rewriteChartSymbol(text);
    if (want) {
      ASSERT_TRUE(got) << text;
      EXPECT_EQ(*got, want);
    } else {
      EXPECT_FALSE(got) << text << " -> " << got.value_or("");
    }
  }
}

TEST(ChartReader, ReadChartChordSaysWhatItRewrote) {
  const ChartChord augmented = readChartChord("G7+/B");
  ASSERT_TRUE(augmented.chord);
  EXPECT_EQ(augmented.chord->quality, "7#5");
  EXPECT_EQ(augmented.chord->bass, 11);
  EXPECT_EQ(augmented.readAs, "G7#5/B");
  const ChartChord plain = readChartChord("G7#5");
  ASSERT_TRUE(plain.chord);
  EXPECT_TRUE(plain.readAs.empty());
  EXPECT_FALSE(readChartChord("Gsus24").chord);
  // The parser itself still reads only the catalogue's spellings.
  EXPECT_FALSE(parseChordSymbol("G7+"));
}

// The page carries the same table; a row changed on one side only fails here.
TEST(ChartReader, ThePageHoldsTheSameTable) {
  std::ifstream in(std::string(TONALWEAVER_SOURCE_DIR) + "/web/js/chart_spellings.js");
  ASSERT_TRUE(in) << "web/js/chart_spellings.js is missing";
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  const std::regex row(R"re(\[\s*'([^']*)'\s*,\s*'([^']*)'\s*\])re");
  std::vector<std::pair<std::string, std::string>> page;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), row); it != std::sregex_iterator(); ++it)
    page.emplace_back((*it)[1], (*it)[2]);
  std::vector<std::pair<std::string, std::string>> engine;
  for (const ChartSpelling& r : chartSpellings()) engine.emplace_back(r.chart, r.catalogue);
  EXPECT_EQ(page, engine);
}

}  // namespace
}  // namespace tw
