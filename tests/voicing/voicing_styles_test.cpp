// Voicing styles: the catalogue lookups, style offsets, and voiceChord's octave, inversion,
// slash-bass, bass-drop and range rules, on chords built by hand.
#include "voicing/voicing_styles.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tw {
namespace {

constexpr VoicingStyle kClosed = 0, kShell = 1, kAnthem = 2, kSplit = 3, kGuideColor = 4,
                       kVelmaro = 5;

ParsedChord chord(PitchClass root, IntervalList intervals,
                  std::optional<PitchClass> bass = std::nullopt) {
  ParsedChord c;
  c.root = root;
  c.quality = "test";
  c.intervals = intervals;
  c.bass = bass;
  return c;
}

const IntervalList kMajor{0, 4, 7};
const IntervalList kMaj7{0, 4, 7, 11};
const IntervalList kSeventh{0, 4, 7, 10};
const IntervalList kNinth{0, 4, 7, 10, 14};
const IntervalList kMaj9{0, 4, 7, 11, 14};
const IntervalList kPower{0, 7};

std::vector<int> plus(std::vector<int> offsets, int base) {
  for (int& o : offsets) o += base;
  return offsets;
}

TEST(StyleCatalogue, IdsAndAliases) {
  struct Case {
    const char* id;
    std::optional<VoicingStyle> style;
  };
  for (const Case& c : {Case{"closed", 0}, Case{"shell", 1}, Case{"anthem", 2}, Case{"split", 3},
                        Case{"guide-color", 4}, Case{"velmaro", 5}, Case{"pop", 2},
                        Case{"drop24", 3}, Case{"drop2-4", 3}, Case{"Closed", std::nullopt},
                        Case{"open", std::nullopt}, Case{"", std::nullopt},
                        Case{"closed ", std::nullopt}}) {
    EXPECT_EQ(styleFromId(c.id), c.style) << c.id;
  }
  EXPECT_EQ(styleId(4), "guide-color");
  EXPECT_EQ(styleId(5), "velmaro");
  EXPECT_EQ(styleId(6), "closed");
  EXPECT_EQ(styleId(-1), "closed");
}

struct OffsetCase {
  VoicingStyle style;
  IntervalList intervals;
  std::vector<int> offsets;
};

class StyleOffsetsTest : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(StyleOffsetsTest, Offsets) {
  EXPECT_EQ(styleOffsets(GetParam().style, GetParam().intervals), GetParam().offsets);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StyleOffsetsTest,
    ::testing::Values(
        // Shell voicings keep root, third and seventh (or sixth and ninth).
        OffsetCase{kShell, kMajor, {0, 4}}, OffsetCase{kShell, kMaj7, {0, 4, 11}},
        OffsetCase{kShell, {0, 4, 7, 9}, {0, 4, 9}},
        OffsetCase{kShell, {0, 4, 7, 9, 14}, {0, 4, 9, 14}},
        OffsetCase{kShell, kNinth, {0, 4, 10}}, OffsetCase{kShell, {}, {0}},
        OffsetCase{kShell, {0, 4, 7, 14}, {0, 4, 14}},
        OffsetCase{kShell, {0, 5, 7}, {0, 5}},
        // Closed keeps every interval, compound values included.
        OffsetCase{kClosed, kNinth, {0, 4, 7, 10, 14}}, OffsetCase{kClosed, {}, {0}},
        // Anthem: low root, upper root, fifth and doublings.
        OffsetCase{kAnthem, kMajor, {-12, 0, 4, 7, 12, 16}},
        OffsetCase{kAnthem, kSeventh, {-12, 0, 4, 7, 10, 12}},
        OffsetCase{kAnthem, kMaj9, {-12, 0, 4, 7, 11, 14}},
        OffsetCase{kAnthem, {0, 4, 7, 10, 14, 18, 21}, {-12, 4, 10, 14, 18, 21}},
        OffsetCase{kAnthem, kPower, {-12, 7, 12}},
        // Split: root and fifth low, the rest above, a triad crowned by the root.
        OffsetCase{kSplit, kMajor, {-12, -5, 4, 12}},
        // Guide+colour.
        OffsetCase{kGuideColor, kMaj7, {0, 4, 11, 16}},
        OffsetCase{kGuideColor, kMajor, {0, 4, 7, 12}},
        // Open.
        OffsetCase{kVelmaro, kMajor, {0, 7, 16, 24}},
        OffsetCase{kVelmaro, kMaj9, {0, 7, 14, 16, 23}},
        // Four essential tones above the root: the dense anthem plan leaves out the upper root.
        OffsetCase{kAnthem, {0, 3, 7, 10, 14, 17}, {-12, 3, 7, 10, 14, 17}},
        // Too many essential tones for the group plans: the slot plans take over, tension on
        // top for an altered dominant.
        OffsetCase{kSplit, {0, 4, 7, 10, 13, 15, 18, 20}, {-12, -5, 4, 10, 18}},
        OffsetCase{kGuideColor, {0, 4, 7, 10, 13, 15, 18, 20}, {0, 4, 10, 18, 20}},
        OffsetCase{kVelmaro, {0, 4, 7, 10, 13, 15, 18, 20}, {0, 7, 13, 16, 22, 30}},
        // The second ninth of a chord is kept among the upper tensions.
        OffsetCase{kVelmaro, {0, 4, 7, 10, 13, 15}, {0, 7, 13, 15, 16, 22}},
        // Power chords voice in every style but split's secondary plans.
        OffsetCase{kGuideColor, kPower, {0, 7}}, OffsetCase{kVelmaro, kPower, {0, 7}},
        OffsetCase{kSplit, kPower, {-12, -5}}));

TEST(StyleOffsets, UnresolvableChordFailsExceptInAnthem) {
  const IntervalList noThird{0, 13, 14, 15, 17, 18, 20, 21};
  for (VoicingStyle style : {kSplit, kGuideColor, kVelmaro}) {
    try {
      styleOffsets(style, noThird);
      ADD_FAILURE() << "style " << style;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "No descriptor-based voicing plan available for style");
    }
  }
  EXPECT_NO_THROW(styleOffsets(kAnthem, noThird));
}

TEST(StyleOffsets, AnthemFallbackKeepsAtMostSixTones) {
  const IntervalList noThird{0, 13, 14, 15, 17, 18, 20, 21};
  auto offsets = styleOffsets(kAnthem, noThird);
  EXPECT_LE(offsets.size(), 6u);
  EXPECT_TRUE(std::is_sorted(offsets.begin(), offsets.end()));
  EXPECT_EQ(offsets.front(), -12);
}

TEST(VoiceChord, ClosedMajorAtOctaveFourStartsOnMiddleC) {
  EXPECT_EQ(voiceChord(chord(0, kMajor), kClosed, 4, {}), (std::vector<int>{60, 64, 67}));
}

TEST(VoiceChord, OctaveIsClampedAfterTheShift) {
  const auto c = chord(0, kMajor);
  EXPECT_EQ(voiceChord(c, kClosed, 9, {}), voiceChord(c, kClosed, 7, {}));
  EXPECT_EQ(voiceChord(c, kClosed, -2, {}), voiceChord(c, kClosed, 0, {}));
  EXPECT_EQ(voiceChord(c, kClosed, 1, {.octaveShift = -3}), voiceChord(c, kClosed, 0, {}));
  EXPECT_EQ(voiceChord(c, kClosed, 2147483647, {.octaveShift = 2147483647}),
            voiceChord(c, kClosed, 7, {}));
  EXPECT_EQ(voiceChord(c, kClosed, -2147483647 - 1, {.octaveShift = -5}),
            voiceChord(c, kClosed, 0, {}));
}

TEST(VoiceChord, AnthemInversionRebuildsThePlanOnAChordTone) {
  const auto c = chord(0, kMajor);
  // First inversion: re-rooted on E (E, G, C read as 0, 3, 8) from 60 + 4.
  EXPECT_EQ(voiceChord(c, kAnthem, 4, {.inversion = 1}), plus(styleOffsets(kAnthem, {0, 3, 8}), 64));
  // Three steps on a triad: root position an octave up.
  EXPECT_EQ(voiceChord(c, kAnthem, 4, {.inversion = 3}), plus(styleOffsets(kAnthem, kMajor), 72));
  // One step down: re-rooted on G an octave lower.
  EXPECT_EQ(voiceChord(c, kAnthem, 4, {.inversion = -1}),
            plus(styleOffsets(kAnthem, {0, 5, 9}), 60 - 12 + 7));
  // Steps beyond the tone count are clamped.
  EXPECT_EQ(voiceChord(c, kAnthem, 4, {.inversion = 1000}), voiceChord(c, kAnthem, 4, {.inversion = 3}));
}

TEST(VoiceChord, ClosedInversionRotatesNotes) {
  const auto c = chord(0, kMaj7);
  EXPECT_EQ(voiceChord(c, kClosed, 4, {.inversion = 2}), (std::vector<int>{67, 71, 72, 76}));
  EXPECT_EQ(voiceChord(c, kClosed, 4, {.inversion = -1}), (std::vector<int>{59, 60, 64, 67}));
  EXPECT_EQ(voiceChord(c, kClosed, 4, {.inversion = 99}), (std::vector<int>{72, 76, 79, 83}));
  EXPECT_EQ(voiceChord(c, kClosed, 4, {.inversion = -2147483647 - 1}),
            (std::vector<int>{48, 52, 55, 59}));
}

TEST(VoiceChord, SlashBassGoesBelowTheLowestOctave) {
  const auto c = chord(0, kMajor, 4);
  EXPECT_EQ(voiceChord(c, kClosed, 4, {}), (std::vector<int>{52, 60, 64, 67}));
  EXPECT_EQ(voiceChord(c, kClosed, 4, {.dropBass = true}), (std::vector<int>{40, 60, 64, 67}));
  for (VoicingStyle style = 0; style < 6; ++style) {
    const auto notes = voiceChord(c, style, 4, {});
    const auto plain = voiceChord(chord(0, kMajor), style, 4, {});
    EXPECT_EQ(notes.front() % 12, 4) << style;
    EXPECT_LT(notes.front(), plain.front()) << style;
  }
}

TEST(VoiceChord, GuideColorSlashTriadGivesUpItsTopRoot) {
  EXPECT_EQ(voiceChord(chord(0, kMajor, 4), kGuideColor, 4, {}),
            (std::vector<int>{52, 60, 64, 67}));
}

TEST(VoiceChord, DropBassStaysOnTheKeyboard) {
  const auto c = chord(0, kMajor, 4);
  // At octave 0 the slash bass lands on 4; dropping it would leave the keyboard.
  EXPECT_EQ(voiceChord(c, kClosed, 0, {}), (std::vector<int>{4, 12, 16, 19}));
  EXPECT_EQ(voiceChord(c, kClosed, 0, {.dropBass = true}), (std::vector<int>{4, 12, 16, 19}));
  // An inversion an octave down at octave 0 puts the bass below 0: it is left out, and the
  // notes below the keyboard are pinned at 0.
  EXPECT_EQ(voiceChord(chord(0, kMajor, 7), kClosed, 0, {.inversion = -3}),
            (std::vector<int>{0, 4, 7}));
  EXPECT_EQ(voiceChord(chord(0, kMajor), kAnthem, 0, {.dropBass = true}).front(), 0);
}

TEST(VoiceChord, NotesAboveTheRangeArePinned) {
  const auto notes = voiceChord(chord(11, {0, 4, 7, 10, 14, 21}), kClosed, 7, {});
  EXPECT_EQ(notes.back(), 127);
  for (int n : notes) {
    EXPECT_GE(n, 0);
    EXPECT_LE(n, 127);
  }
  EXPECT_TRUE(std::is_sorted(notes.begin(), notes.end()));
}

TEST(VoiceChord, SplitAliasVoicesLikeSplit) {
  const auto c = chord(2, kMaj7);
  EXPECT_EQ(voiceChord(c, *styleFromId("drop24"), 4, {}), voiceChord(c, kSplit, 4, {}));
  EXPECT_EQ(voiceChord(c, *styleFromId("pop"), 4, {}), voiceChord(c, kAnthem, 4, {}));
}

TEST(MaxManualInversion, CountsNotesOrPitchClasses) {
  EXPECT_EQ(maxManualInversion(chord(0, kMajor), kClosed, 4, 0), 3);
  EXPECT_EQ(maxManualInversion(chord(0, kNinth), kClosed, 4, 0), 5);
  // Anthem inverts by chord tone: six notes, three pitch classes.
  EXPECT_EQ(maxManualInversion(chord(0, kMajor), kAnthem, 4, 0), 3);
  // Split rotates a seventh chord's notes.
  EXPECT_EQ(maxManualInversion(chord(0, kMaj7), kSplit, 4, 0),
            static_cast<int>(voiceChord(chord(0, kMaj7), kSplit, 4, {}).size()));
  EXPECT_EQ(maxManualInversion(chord(0, kMajor), kSplit, 4, 0), 3);
}

TEST(RelevantStyles, ByIntervalCount) {
  EXPECT_EQ(relevantStyles({}), (std::vector<VoicingStyle>{0, 5}));
  EXPECT_EQ(relevantStyles(kPower), (std::vector<VoicingStyle>{0, 2, 4, 5}));
  EXPECT_EQ(relevantStyles(kMajor), (std::vector<VoicingStyle>{0, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace tw
