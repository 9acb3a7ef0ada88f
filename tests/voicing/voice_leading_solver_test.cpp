// The solver over real chords: segments and anchors, options from the anchor, candidates
// from the voicer, fixed chords, debug lines and errors.
#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "voicing/roughness.hpp"
#include "voicing/voice_leading_solver.hpp"

namespace tw {
namespace {

ParsedChord chord(const char* text) {
  auto c = parseChordSymbol(text);
  if (!c) throw std::logic_error(std::string("test chord does not parse: ") + text);
  return *c;
}

AvlSlot slot(const char* text, const char* style = "closed", bool autoVoiced = true,
             std::vector<int> manual = {}) {
  AvlSlot s;
  s.chord = chord(text);
  s.style = *styleFromId(style);
  s.autoVoiced = autoVoiced;
  s.manualNotes = std::move(manual);
  return s;
}

std::string runError(const std::vector<AvlSlot>& slots, bool allowBassChanges = false) {
  try {
    solveProgression(slots, allowBassChanges, false);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

TEST(AvlSegmentOptions, ClosedTriadAnchor) {
  const std::vector<ParsedChord> chords{chord("C"), chord("F"), chord("G")};
  const AvlOptions o = segmentOptions(Voicing{60, 64, 67}, 0, chords, false);
  EXPECT_EQ(o.top, 71);
  EXPECT_EQ(o.bottom, 55);
  EXPECT_EQ(o.middle, 64);
  EXPECT_EQ(o.targetNotes, 3);
  EXPECT_EQ(o.minNotes, 3);
  EXPECT_EQ(o.maxNotes, 3);
  EXPECT_EQ(o.minSpan, 0);
  EXPECT_EQ(o.maxSpan, 127);
  EXPECT_EQ(o.octaveLow, -2);
  EXPECT_EQ(o.octaveHigh, 1);
  EXPECT_TRUE(o.useNoteCountRange);
}

TEST(AvlSegmentOptions, RichestChordRaisesMaxNotes) {
  const std::vector<ParsedChord> chords{chord("C"), chord("C9")};
  const AvlOptions anthem = segmentOptions(Voicing{60, 64, 67}, 2, chords, false);
  EXPECT_EQ(anthem.maxNotes, 5);
  EXPECT_EQ(anthem.minNotes, 3);
  EXPECT_EQ(anthem.top, 73);  // anthem anchors reach two semitones higher
  const std::vector<ParsedChord> triads{chord("C"), chord("F")};
  EXPECT_EQ(segmentOptions(Voicing{60, 64, 67}, 2, triads, false).maxNotes, 4);  // one extra
}

TEST(AvlSegmentOptions, WideOrDenseAnchorsBoundTheSpan) {
  const std::vector<ParsedChord> chords{chord("C")};
  const AvlOptions wide = segmentOptions(Voicing{40, 52, 60}, 0, chords, false);  // span 20
  EXPECT_EQ(wide.minSpan, 12);
  EXPECT_EQ(wide.maxSpan, 28);
  const AvlOptions dense = segmentOptions(Voicing{60, 62, 64, 65, 67}, 0, chords, false);  // 5 notes, span 7
  EXPECT_EQ(dense.minSpan, 0);
  EXPECT_EQ(dense.maxSpan, 15);
  EXPECT_EQ(dense.middle, 64);  // 63.6 rounds up
}

TEST(AvlSolver, EmptyProgression) {
  EXPECT_TRUE(solveProgression({}, false, true).empty());
  EXPECT_TRUE(takeAvlDebugLines().empty());
}

TEST(AvlSolver, AllAnchorsKeepTheirOwnVoicingsAndRunNoSearch) {
  const std::vector<AvlSlot> slots{slot("C", "closed", false), slot("F", "closed", false, {53, 57, 60, 65}),
                                   slot("G7", "anthem", false)};
  takeAvlDebugLines();
  const auto result = solveProgression(slots, false, true);
  EXPECT_TRUE(takeAvlDebugLines().empty());
  ASSERT_EQ(result.size(), 3u);
  EXPECT_EQ(result[0], voiceChord(slots[0].chord, 0, 3, {}));
  EXPECT_EQ(result[1], (std::vector<int>{53, 57, 60, 65}));
  EXPECT_EQ(result[2], voiceChord(slots[2].chord, 2, 3, {}));
}

TEST(AvlSolver, ClosedTriadsStayThreeNotesInTheirWindow) {
  const std::vector<AvlSlot> slots{slot("C", "closed", false, {60, 64, 67}), slot("Am"), slot("G"), slot("Em")};
  const auto result = solveProgression(slots, false, false);
  EXPECT_EQ(result[0], (std::vector<int>{60, 64, 67}));
  for (std::size_t i = 1; i < result.size(); ++i) {
    ASSERT_EQ(result[i].size(), 3u);
    EXPECT_GE(result[i].front(), 55);
    EXPECT_LE(result[i].back(), 71);
  }
  // Bass changes off: the root is the lowest note.
  EXPECT_EQ(result[1].front() % 12, 9);
  EXPECT_EQ(result[2].front() % 12, 7);
  EXPECT_EQ(result[3].front() % 12, 4);
}

TEST(AvlSolver, WithoutBassChangesTheWrittenBassOrRootIsLowest) {
  const std::vector<AvlSlot> slots{slot("Dm7", "anthem"), slot("G7/B", "anthem"), slot("Cmaj9", "anthem"),
                                   slot("A7b9", "anthem"), slot("Fmaj7/E", "anthem"), slot("Bm7b5", "anthem")};
  const auto result = solveProgression(slots, false, false);
  const int lowest[] = {2, 11, 0, 9, 4, 11};
  for (std::size_t i = 0; i < result.size(); ++i) {
    ASSERT_FALSE(result[i].empty());
    EXPECT_EQ(result[i].front() % 12, lowest[i]) << i;
  }
}

TEST(AvlSolver, BassChangesWidenTheWindowDownwards) {
  const std::vector<AvlSlot> slots{slot("C", "closed", false, {60, 64, 67}), slot("F"), slot("G")};
  takeAvlDebugLines();
  const auto result = solveProgression(slots, true, true);
  for (std::size_t i = 1; i < result.size(); ++i) {
    EXPECT_GE(result[i].front(), 43);
    EXPECT_LE(result[i].back(), 71);
  }
  takeAvlDebugLines();
}

TEST(AvlSolver, AnchorsInTheMiddleSplitSegmentsAndAreKept) {
  const std::vector<AvlSlot> slots{slot("Dm7"), slot("G7"), slot("Cmaj7", "closed", false, {48, 59, 64, 67}),
                                   slot("Fmaj7"), slot("E7", "closed", false), slot("Am7", "closed", false)};
  takeAvlDebugLines();
  const auto result = solveProgression(slots, false, true);
  EXPECT_EQ(result[2], (std::vector<int>{48, 59, 64, 67}));
  EXPECT_EQ(result[4], voiceChord(slots[4].chord, 0, 3, {}));
  EXPECT_EQ(result[5], voiceChord(slots[5].chord, 0, 3, {}));
  const auto lines = takeAvlDebugLines();
  int segments = 0;
  for (const auto& l : lines) segments += l.rfind("AVL segment ", 0) == 0;
  EXPECT_EQ(segments, 2);  // 0..2 and 2..4; 4..5 holds no auto-voiced slot
  EXPECT_EQ(lines.front().rfind("AVL segment start=0 end=2 anchor_style=closed anchor_octave=4 anchor_midi=[", 0), 0u);
}

TEST(AvlSolver, DebugLineFormats) {
  clearCandidateCache();
  const std::vector<AvlSlot> slots{slot("C", "closed", false, {60, 64, 67}), slot("F"), slot("G7")};
  takeAvlDebugLines();
  solveProgression(slots, false, true);
  const auto lines = takeAvlDebugLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0],
            "AVL segment start=0 end=2 anchor_style=closed anchor_octave=4 anchor_midi=[60,64,67] "
            "top=71 bottom=55 middle=64 minSpan=0 maxSpan=127 minNotes=3 maxNotes=4");
  EXPECT_EQ(lines[1], "AVL chord[0] C unique=3 min=3 max=3 raw=1 cache=hit");
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(AVL chord\[1\] F unique=3 min=3 max=3 raw=\d+ cache=miss)"))) << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(AVL chord\[2\] G7 unique=4 min=4 max=4 raw=\d+ cache=miss)"))) << lines[3];
  EXPECT_TRUE(std::regex_match(lines[4], std::regex(R"(AVL beam candidates=1/\d+/\d+)"))) << lines[4];
  EXPECT_TRUE(std::regex_match(lines[5], std::regex(R"(AVL solve chords=3 gen_ms=\d+\.\d{3} total_ms=\d+\.\d{3})"))) << lines[5];

  // The same progression again: every list comes from the cache.
  solveProgression(slots, false, true);
  for (const auto& l : takeAvlDebugLines())
    if (l.rfind("AVL chord[", 0) == 0) {
      EXPECT_NE(l.find("cache=hit"), std::string::npos) << l;
    }
}

TEST(AvlSolver, NoDebugLinesWhenDebugIsOff) {
  takeAvlDebugLines();
  solveProgression(std::vector<AvlSlot>{slot("C"), slot("F")}, false, false);
  EXPECT_TRUE(takeAvlDebugLines().empty());
}

TEST(AvlSolver, SecondSolveGivesTheSameVoicings) {
  const std::vector<AvlSlot> slots{slot("Cmaj9", "velmaro"), slot("A7#9", "velmaro"), slot("Dm11", "velmaro"),
                                   slot("G13", "velmaro")};
  clearCandidateCache();
  clearRoughnessCache();
  const auto cold = solveProgression(slots, true, false);
  const auto warm = solveProgression(slots, true, false);
  EXPECT_EQ(cold, warm);
}

TEST(AvlSolver, FixedChordListMustMatch) {
  const std::vector<ParsedChord> chords{chord("C"), chord("F")};
  const std::vector<AvlFixedChord> fixed{{Voicing{60, 64, 67}, true}};
  try {
    solveSegment(chords, AvlOptions{}, fixed);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "fixedChords must be empty or match chords length");
  }
}

TEST(AvlSolver, FixedChordsAreForced) {
  const std::vector<ParsedChord> chords{chord("C"), chord("F"), chord("G")};
  AvlOptions o = segmentOptions(Voicing{60, 64, 67}, 0, chords, false);
  const std::vector<AvlFixedChord> fixed{{Voicing{60, 64, 67}, true}, {}, {Voicing{55, 59, 62}, true}};
  const auto path = solveSegment(chords, o, fixed);
  EXPECT_EQ(path[0], (Voicing{60, 64, 67}));
  EXPECT_EQ(path[2], (Voicing{55, 59, 62}));
  EXPECT_EQ(path[1][0] % 12, 5);
}

TEST(AvlSolver, TooFewNotesForTheChord) {
  const std::vector<ParsedChord> chords{chord("C"), chord("C9")};
  AvlOptions o = segmentOptions(Voicing{60, 64, 67}, 2, chords, false);
  o.maxNotes = 3;
  try {
    solveSegment(chords, o, {});
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "cannot voice this chord with requested maxNotes without omitting pitch classes");
  }
}

TEST(AvlSolver, NoLegalRevoicings) {
  // A span of 127 asks every later voicing to span at least 119 semitones.
  EXPECT_EQ(runError({slot("C", "closed", false, {0, 127}), slot("F")}), "no legal revoicings found");
}

TEST(AvlSolver, WindowWidensWhenNothingFits) {
  // F with F in the bass has no voicing inside 55..71 (its C would be 72): the low bound is
  // searched downwards to the highest one that works, 53.
  const auto result = solveProgression(std::vector<AvlSlot>{slot("C", "closed", false, {60, 64, 67}), slot("F")}, false, false);
  EXPECT_EQ(result[1], (std::vector<int>{53, 57, 60}));
  // An anchor high up: nothing fits under its top until the top is raised as well.
  const auto high = solveProgression(std::vector<AvlSlot>{slot("C", "closed", false, {40, 41}), slot("B")}, false, false);
  ASSERT_EQ(high[1].size(), 3u);
  EXPECT_EQ(high[1].front() % 12, 11);
}

TEST(AvlSolver, ManualNotesOutsideMidiAreIgnored) {
  const auto result = solveProgression(std::vector<AvlSlot>{slot("C", "closed", false, {-4, 60, 64, 67, 400}), slot("F")}, false, false);
  EXPECT_EQ(result[0], (std::vector<int>{60, 64, 67}));
}

}  // namespace
}  // namespace tw
