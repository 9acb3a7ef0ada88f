// Charts read as musicians read them: bar lines give each chord its share of a bar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/chart_reading.hpp"

namespace tw {
namespace {

struct Timed {
  std::string text;
  int bar, part, parts;
  bool operator==(const Timed&) const = default;
};

std::vector<Timed> timed(std::string_view chart) {
  std::vector<Timed> out;
  for (const ChartToken& t : chartTokens(chart))
    out.push_back({std::string(t.text), t.share.bar, t.share.part, t.share.parts});
  return out;
}

TEST(ChartTokens, BarLinesShareBarsEqually) {
  const struct {
    const char* chart;
    std::vector<Timed> want;
  } cases[] = {
      {"Dm9 G13 | Cmaj9 |", {{"Dm9", 0, 0, 2}, {"G13", 0, 1, 2}, {"Cmaj9", 1, 0, 1}}},
      {"Dm7 G7 Cmaj7", {{"Dm7", 0, 0, 1}, {"G7", 1, 0, 1}, {"Cmaj7", 2, 0, 1}}},
      {"C, F,G", {{"C", 0, 0, 1}, {"F", 1, 0, 1}, {"G", 2, 0, 1}}},
      {"| C | | F G A |", {{"C", 0, 0, 1}, {"F", 1, 0, 3}, {"G", 1, 1, 3}, {"A", 1, 2, 3}}},
      {"Cmaj7 | % | Dm7 %", {{"Cmaj7", 0, 0, 1}, {"%", 1, 0, 1}, {"Dm7", 2, 0, 2}, {"%", 2, 1, 2}}},
      {"% | % C", {{"C", 0, 0, 1}}},
      {" F13 | Bb13 Bo7 |\n F13 |", {{"F13", 0, 0, 1}, {"Bb13", 1, 0, 2}, {"Bo7", 1, 1, 2}, {"F13", 2, 0, 1}}},
      {"", {}},
      {" | ,| ", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(timed(c.chart), c.want) << c.chart;
}

TEST(ReadChart, ReadsChartSpellingsUnlessStrictAndKeepsUnreadTokensInPlace) {
  const ChartReading chart = readChart("G7+ Xyz | % Bbm/maj7 |", false);
  ASSERT_EQ(chart.entries.size(), 4u);
  EXPECT_EQ(chart.entries[0].readAs, "G7#5");
  EXPECT_FALSE(chart.entries[1].chord);
  ASSERT_TRUE(chart.entries[2].chord);  // the repeat takes the last chord read
  EXPECT_EQ(chart.entries[2].chord->quality, "7#5");
  EXPECT_TRUE(chart.entries[2].readAs.empty());
  EXPECT_EQ(chart.entries[3].chord->quality, "mM7");
  EXPECT_EQ(chart.unread(), std::vector<std::string>{"Xyz"});
  EXPECT_FALSE(chart.allRead());

  const ChartReading rests = readChart("NC | G7 N.C. % | nc", false);
  ASSERT_EQ(rests.entries.size(), 5u);
  EXPECT_TRUE(rests.entries[0].noChord);
  EXPECT_TRUE(rests.entries[3].noChord) << "a repeat after a no-chord mark repeats the silence";
  EXPECT_TRUE(rests.allRead());
  EXPECT_EQ(rests.chordCount(), 1u);

  const ChartReading strict = readChart("G7+ Xyz | % Bbm/maj7 |", true);
  EXPECT_EQ(strict.unread(), (std::vector<std::string>{"G7+", "Xyz", "%", "Bbm/maj7"}));
}

}  // namespace
}  // namespace tw
