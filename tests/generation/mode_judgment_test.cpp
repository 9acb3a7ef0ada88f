// The mode a progression of numerals is written in, and the mode of a piece from its chords.
#include <gtest/gtest.h>

#include "chord/chord_parser.hpp"
#include "generation/mode_judgment.hpp"

namespace tw {
namespace {

std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> out;
  std::string current;
  for (char c : text) {
    if (c == ' ') {
      if (!current.empty()) out.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) out.push_back(current);
  return out;
}

TEST(ModeJudgment, MajorProgressions) {
  for (const char* p : {"I IV V I", "vi IV I V", "I ♭VII IV I", "iim7 V7 Imaj7 vim7", "I V vi iii IV I IV V",
                        "IV V iii vi", "I/III IV V7 I", "ii V I IV", "I iv I V"})
    EXPECT_FALSE(judgeModeOfNumerals(words(p)).minor) << p;
}

TEST(ModeJudgment, MinorProgressions) {
  for (const char* p : {"i iv V i", "i VI III VII", "i VII VI VII", "iiø V7 i", "i ♯vii°7 i V",
                        "VI VII i i", "im7 IV7 im7 IV7", "i v VI III iv i iv V", "III VII i v"})
    EXPECT_TRUE(judgeModeOfNumerals(words(p)).minor) << p;
}

TEST(ModeJudgment, EmptyOrUnreadableIsMajor) {
  EXPECT_FALSE(judgeModeOfNumerals({}).minor);
  EXPECT_FALSE(judgeModeOfNumerals(words("X Y")).minor);
  EXPECT_FALSE(judgeModeOfNumerals(words("I")).melodic);
}

std::vector<TimedChord> timed(std::string_view text) {
  std::vector<TimedChord> out;
  for (const auto& w : words(text)) out.push_back({*parseChordSymbol(w), 1.0});
  return out;
}

TEST(ModeJudgment, PiecesFromTheirChords) {
  EXPECT_FALSE(judgeMinorFromChords(timed("C F G C Am F G C"), 0));
  EXPECT_TRUE(judgeMinorFromChords(timed("Am Dm E7 Am F G Am"), 9));
  EXPECT_TRUE(judgeMinorFromChords(timed("Em C D Em"), 4));
  EXPECT_FALSE(judgeMinorFromChords(timed("E A B7 E"), 4));
}

}  // namespace
}  // namespace tw
