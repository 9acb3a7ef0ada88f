#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "chord/quality_catalogue.hpp"

namespace tw {
namespace {

std::vector<int> intervalsOf(const IntervalList& list) { return list.toVector(); }

TEST(QualityCatalogue, HoldsExactly381WellFormedEntries) {
  const auto& all = supportedQualities();
  ASSERT_EQ(all.size(), 381u);
  std::set<std::string> symbols;
  for (const ChordQuality& q : all) {
    EXPECT_TRUE(symbols.insert(q.symbol).second) << "duplicate " << q.symbol;
    EXPECT_FALSE(q.symbol.empty());
    for (char c : q.symbol)
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '#') << q.symbol;
    ASSERT_FALSE(q.intervals.empty()) << q.symbol;
    EXPECT_LE(q.intervals.size(), 8u) << q.symbol;
    EXPECT_EQ(q.intervals.front(), 0) << q.symbol;
    EXPECT_LE(q.intervals.back(), 21) << q.symbol;
    const auto v = q.intervals.toVector();
    EXPECT_TRUE(std::adjacent_find(v.begin(), v.end(), std::greater_equal<>()) == v.end())
        << q.symbol << " is not strictly ascending";
    EXPECT_TRUE(isCatalogueSymbol(q.symbol));
    EXPECT_EQ(qualityIntervals(q.symbol), q.intervals);
  }
}

TEST(QualityCatalogue, FamilySizes) {
  std::map<std::string, int> families;
  for (const ChordQuality& q : supportedQualities()) {
    const std::string_view s = q.symbol;
    std::string family;
    if (s.find("sus") != std::string_view::npos) family = "sus";
    else if (s.starts_with("maj")) family = "maj";
    else if (s.starts_with("mM")) family = "mM";
    else if (s.starts_with("madd")) family = "madd";
    else if (s.starts_with("m6") || s == "mb6") family = "m6";
    else if (s.starts_with("m")) family = "m";
    else if (s.starts_with("6")) family = "6";
    else if (s.starts_with("add")) family = "add";
    else if (s.starts_with("dim")) family = "dim";
    else if (s == "aug" || s == "5") family = s;
    else family = "dominant";
    ++families[family];
  }
  const std::map<std::string, int> expected{
      {"dominant", 101}, {"maj", 78}, {"m", 110}, {"mM", 26}, {"madd", 7}, {"6", 6},
      {"m6", 11},        {"add", 10}, {"dim", 9}, {"aug", 1}, {"sus", 21}, {"5", 1}};
  EXPECT_EQ(families, expected);
}

TEST(QualityCatalogue, FixedChoices) {
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"maj", {0, 4, 7}},
      {"13", {0, 4, 7, 10, 14, 21}},
      {"m13", {0, 3, 7, 10, 14, 21}},
      {"maj13", {0, 4, 7, 11, 14, 21}},
      {"mM13", {0, 3, 7, 11, 14, 21}},
      {"7alt", {0, 4, 8, 10, 13, 15}},
      {"7no5", {0, 4, 10}},
      {"7#11no5", {0, 4, 10, 18}},
      {"dim#5", {0, 3, 6, 8}},
      {"11#11", {0, 4, 7, 10, 14, 17, 18}},
      {"maj11#11", {0, 4, 7, 11, 14, 17, 18}},
      {"mb6", {0, 3, 7, 8}},
      {"5", {0, 7}},
      {"11add13b5b9#9", {0, 4, 6, 10, 13, 15, 17, 21}},
      {"m6b9b11b13", {0, 3, 7, 9, 13, 16, 20}},
      {"dim7b911b13", {0, 3, 6, 9, 13, 17, 20}},
      {"madd#11", {0, 3, 7, 18}},
      {"sus4b5", {0, 5, 6}},
  };
  for (const auto& [symbol, intervals] : cases)
    EXPECT_EQ(intervalsOf(qualityIntervals(symbol)), intervals) << symbol;
}

TEST(QualityCatalogue, UnknownSymbolsGiveTheMajorTriad) {
  for (const char* symbol : {"", "M7", "nonsense", "MAJ", "m7 "}) {
    EXPECT_EQ(intervalsOf(qualityIntervals(symbol)), (std::vector<int>{0, 4, 7})) << symbol;
    EXPECT_FALSE(isCatalogueSymbol(symbol)) << symbol;
  }
}

TEST(SupportedQualities, SortedByteWise) {
  const auto& all = supportedQualities();
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](const auto& a, const auto& b) {
    return a.symbol < b.symbol;
  }));
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all[0].symbol, "11");
  EXPECT_EQ(all[1].symbol, "11#11");
  EXPECT_EQ(all[2].symbol, "11#5");
  auto position = [&all](std::string_view symbol) {
    return std::find_if(all.begin(), all.end(), [&](const auto& q) { return q.symbol == symbol; }) -
           all.begin();
  };
  EXPECT_LT(position("mM11"), position("madd#11"));
  EXPECT_LT(position("madd#11"), position("maj"));
  EXPECT_EQ(all.back().symbol, "sus4b5");
}

TEST(QualityAliasMap, SizeValuesAndKeys) {
  const auto& aliases = qualityAliasMap();
  EXPECT_EQ(aliases.size(), 1641u);
  std::set<std::string> values;
  for (const auto& [key, value] : aliases) {
    EXPECT_FALSE(isCatalogueSymbol(key)) << key << " is canonical";
    EXPECT_TRUE(isCatalogueSymbol(value)) << value << " is not canonical";
    for (std::string_view banned : {"(", ")", "\u266F", "\u266D", "\u25B3"})
      EXPECT_EQ(key.find(banned), std::string::npos) << key;
    values.insert(value);
    const auto resolved = resolveQuality(key);
    ASSERT_TRUE(resolved.has_value()) << key;
    EXPECT_EQ(resolved->symbol, value) << key;
  }
  EXPECT_EQ(values.size(), 282u);
}

TEST(QualityAliasMap, EveryFamilyRule) {
  const std::pair<const char*, const char*> cases[] = {
      // minor spellings, including the added-tone and sixth symbols
      {"-7", "m7"}, {"mi7b5", "m7b5"}, {"Mi9", "m9"}, {"MI11", "m11"}, {"min", "m"},
      {"Min6", "m6"}, {"MINadd9", "madd9"}, {"-b6", "mb6"}, {"-", "m"},
      // minor-major with a dash
      {"-M7", "mM7"}, {"-M9", "mM9"}, {"-maj7", "mM7"}, {"-maj9", "mM9"},
      // major spellings and the delta
      {"M", "maj"}, {"Maj", "maj"}, {"MAJ", "maj"}, {"M7", "maj7"}, {"Maj9#11", "maj9#11"},
      {"MAJ13", "maj13"}, {"\u03949", "maj9"}, {"\u03947#5", "maj7#5"}, {"\u0394", "maj7"},
      // minor-major spellings
      {"m-M7", "mM7"}, {"m-maj9", "mM9"}, {"m/M7", "mM7"}, {"min-maj7", "mM7"},
      {"minmaj7", "mM7"}, {"minMaj11", "mM11"}, {"MinMaj13", "mM13"}, {"MINMAJ7", "mM7"},
      {"mmaj7", "mM7"}, {"mMaj9b5", "mM9b5"},
      // capitalised diminished
      {"Dim", "dim"}, {"DIM7", "dim7"}, {"Dim#5", "dim#5"}, {"DIMadd9", "dimadd9"},
      // thirteenth before eleventh
      {"13add11", "11add13"}, {"maj13add11#5", "maj11add13#5"}, {"m13add11b9", "m11add13b9"},
      {"mM13add11b5b9", "mM11add13b5b9"},
      // single spellings
      {"\u00B0", "dim"}, {"\u00B07", "dim7"}, {"\u00F8", "m7b5"}, {"\u00F89", "m9b5"},
      {"+", "aug"}, {"6/9", "69"}, {"alt", "7alt"}, {"mM67", "mM7add13"}, {"no3", "5"},
      {"sus", "sus4"}, {"o", "dim"}, {"o7", "dim7"}, {"maj69", "69"}, {"add13", "6"},
  };
  const auto& aliases = qualityAliasMap();
  for (const auto& [key, value] : cases) {
    auto it = aliases.find(key);
    ASSERT_NE(it, aliases.end()) << key;
    EXPECT_EQ(it->second, value) << key;
  }
  EXPECT_EQ(aliases.count("\u0394aj"), 0u);  // "maj" itself has no delta spelling
}

struct ResolveCase {
  const char* suffix;
  const char* expected;  // nullptr: not found
};

TEST(ResolveQuality, TypedSuffixes) {
  const ResolveCase cases[] = {
      {"", "maj"},         {"m7", "m7"},          {"-7", "m7"},         {"min(maj7)", "mM7"},
      {"7(\u266D9)", "7b9"}, {"6/9", "69"},       {"M7", "maj7"},       {"\u0394", "maj7"},
      {"\u25B37", "maj7"}, {"\u00F8", "m7b5"},    {"M", "maj"},         {"mi", "m"},
      {"Min7", "m7"},      {"MAJ7", "maj7"},      {"minor", nullptr},   {"MAJ7B5", nullptr},
      {"7 b9", nullptr},   {"Maj7 ", nullptr},    {"Mi7", "m7"},        {"mI7", nullptr},
      {"m(maj7)", "mM7"},  {"mmaj7", "mM7"},      {"m((maj7))", "mM7"}, {"13(add11)", "11add13"},
      {"7\u266D9", "7b9"}, {"7b9", "7b9"},        {"7\u266F11", "7#11"}, {"\u25B3", "maj7"},
      {"()", nullptr},     {"(", nullptr},        {"maj", "maj"},       {"MAJ", "maj"},
      {"7(b9)(#11)", "7b9#11"}, {"m7\u266D5", "m7b5"}, {"\u266F", nullptr}, {"\xE2", nullptr},
      {"\xE2\x99", nullptr}, {" ", nullptr},      {"sus2", "sus2"},     {"Sus", "sus4"},
  };
  for (const auto& c : cases) {
    const auto q = resolveQuality(c.suffix);
    if (!c.expected) {
      EXPECT_FALSE(q.has_value()) << c.suffix;
      EXPECT_EQ(findQuality(c.suffix), nullptr) << c.suffix;
      continue;
    }
    ASSERT_TRUE(q.has_value()) << c.suffix;
    EXPECT_EQ(q->symbol, c.expected) << c.suffix;
    EXPECT_EQ(q->intervals, qualityIntervals(c.expected)) << c.suffix;
    ASSERT_NE(findQuality(c.suffix), nullptr) << c.suffix;
    EXPECT_EQ(findQuality(c.suffix)->symbol, c.expected) << c.suffix;
  }
  EXPECT_EQ(intervalsOf(resolveQuality("")->intervals), (std::vector<int>{0, 4, 7}));
}

TEST(ResolveQuality, RewritesApplyInOrder) {
  // The sharp is rewritten before the parentheses go, so a sign split by a parenthesis
  // stays broken.
  EXPECT_FALSE(resolveQuality("7\xE2(\x99\xAF" "11").has_value());
  EXPECT_TRUE(resolveQuality("7(\xE2\x99\xAF" "11)").has_value());
}

TEST(QualityCategory, RulesInOrder) {
  const std::pair<const char*, const char*> cases[] = {
      {"7sus4", "suspended"},  {"sus2", "suspended"},       {"m7b5", "half-diminished"},
      {"m7b5b9", "half-diminished"}, {"\u00F8", "half-diminished"}, {"m9b5", "minor"},
      {"m11b5", "minor"},      {"m13b5", "minor"},          {"dim7", "diminished"},
      {"dim", "diminished"},   {"o", "diminished"},         {"o7", "diminished"},
      {"o9", "dominant"},      {"aug", "augmented"},        {"+7", "augmented"},
      {"m7#5", "minor"},       {"7#5", "augmented"},        {"13#5", "augmented"},
      {"maj7#5", "augmented"}, {"6", "sixth"},              {"69", "sixth"},
      {"m6", "sixth"},         {"m69", "sixth"},            {"mb6", "sixth"},
      {"m611", "sixth"},       {"6b9", "sixth"},            {"7", "dominant"},
      {"9", "dominant"},       {"13", "dominant"},          {"7alt", "dominant"},
      {"11add13", "dominant"}, {"maj", "major"},            {"5", "major"},
      {"add9", "major"},       {"maj7", "major"},           {"maj13", "major"},
      {"mM7", "minor"},        {"m", "minor"},              {"-7", "minor"},
      {"min", "minor"},        {"M7", "major"},             {"", "major"},
      {"11", "dominant"},      {"7add13", "major"},         {"madd9", "minor"},
      {"dimb9", "diminished"}, {"Dim7", "dominant"},        {"7#11no5", "dominant"},
  };
  for (const auto& [quality, category] : cases)
    EXPECT_EQ(qualityCategory(quality), category) << quality;
}

TEST(IsMinorQuality, Prefixes) {
  for (const char* q : {"m", "m7", "mM7", "-", "-7", "min", "minor", "madd9", "m6"})
    EXPECT_TRUE(isMinorQuality(q)) << q;
  for (const char* q : {"maj", "maj7", "M7", "Min7", "", "7", "dim", "Mi7"})
    EXPECT_FALSE(isMinorQuality(q)) << q;
}

}  // namespace
}  // namespace tw
