// The generate_progression request: a payload in, a reply out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocol/request_handlers.hpp"
#include "voicing/progression_voicing.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {
namespace {

Json slot(const char* chord, const char* style = "closed") { return Json{{"chord", chord}, {"style", style}}; }

std::vector<int> voiced(const char* chord, const char* style, int octave, VoicingOptions options = {}) {
  return voiceChord(*parseChordSymbol(chord), *styleFromId(style), octave, options);
}

// Moved and clamped into the keyboard; notes folded onto one key count once.
std::vector<int> plus(std::vector<int> notes, int semitones) {
  for (int& n : notes) n = std::clamp(n + semitones, 0, 127);
  notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
  return notes;
}

TEST(GenerateProgression, PayloadMustBeAnObject) {
  const auto reply = handleGenerateProgression(Json::array());
  EXPECT_EQ(reply.type, "progression_error");
  EXPECT_EQ(reply.payload["code"], "invalid_payload");
  EXPECT_EQ(handleGenerateProgression(Json()).type, "progression_error");
}

TEST(GenerateProgression, MissingSlotsArray) {
  for (const Json& payload : {Json::object(), Json{{"slots", "C F"}}, Json{{"slots", nullptr}, {"source", "ui"}},
                              Json{{"slots", nullptr}, {"request_id", "r"}}}) {
    const auto reply = handleGenerateProgression(payload);
    EXPECT_EQ(reply.type, "progression_error");
    EXPECT_EQ(reply.payload, (Json{{"message", "Missing slots array"}}));
  }
}

TEST(GenerateProgression, EmptySlotsDirectAndWithTheSolver) {
  const auto direct = handleGenerateProgression(Json{{"slots", Json::array()}});
  EXPECT_EQ(direct.type, "progression_voicings");
  EXPECT_EQ(direct.payload, (Json{{"voicings", Json::array()},
                                   {"max_manual_inversions", Json::array()},
                                   {"display_symbols", Json::array()},
                                   {"display_romans", Json::array()},
                                   {"display_note_labels", Json::array()}}));
  const auto solver = handleGenerateProgression(Json{{"slots", Json::array()}, {"auto_voice_lead", true}});
  EXPECT_EQ(solver.type, "progression_error");
  EXPECT_EQ(solver.payload["error"], "auto_voice_lead could not parse one or more slots");
  EXPECT_EQ(solver.payload["message"], "auto_voice_lead could not parse one or more slots");
  EXPECT_EQ(solver.payload["code"], "auto_voice_lead_parse_failed");
  EXPECT_EQ(solver.payload["voicings"], Json::array());
}

TEST(GenerateProgression, DirectPathVoicesEachSlotInItsStyle) {
  Json payload{{"slots", {slot("Dm7"), slot("G7", "anthem"), Json{{"chord", "C/E"}, {"style", "closed"}, {"octave", 3}, {"drop_bass", true}}}}};
  const auto reply = handleGenerateProgression(payload);
  ASSERT_EQ(reply.type, "progression_voicings");
  const Json& p = reply.payload;
  EXPECT_EQ(p["voicings"][0], voiced("Dm7", "closed", 4));
  EXPECT_EQ(p["voicings"][1], voiced("G7", "anthem", 4));
  EXPECT_EQ(p["voicings"][2], voiced("C/E", "closed", 3, {0, true, 0}));
  EXPECT_EQ(p["display_symbols"][0], "Dm7");
  EXPECT_EQ(p["display_note_labels"][0], (Json{"D", "F", "A", "C"}));
  EXPECT_EQ(p["display_romans"][0], nullptr);
  EXPECT_EQ(p["max_manual_inversions"][0], maxManualInversion(*parseChordSymbol("Dm7"), 0, 4, 0));
}

TEST(GenerateProgression, UnknownStyleOrChordLeavesThatSlotEmpty) {
  Json payload{{"slots", {slot("C"), slot("C", "Closed"), slot("Xyz"), Json::object(), slot("G")}}};
  const auto reply = handleGenerateProgression(payload);
  ASSERT_EQ(reply.type, "progression_voicings");
  const Json& p = reply.payload;
  for (int i : {1, 2, 3}) {
    EXPECT_EQ(p["voicings"][i], Json::array());
    EXPECT_EQ(p["max_manual_inversions"][i], 1);
    EXPECT_EQ(p["display_symbols"][i], "");
    EXPECT_EQ(p["display_romans"][i], nullptr);
    EXPECT_EQ(p["display_note_labels"][i], Json::array());
  }
  EXPECT_EQ(p["voicings"][0], voiced("C", "closed", 4));
  EXPECT_EQ(p["voicings"][4], voiced("G", "closed", 4));
}

TEST(GenerateProgression, KeyGivesRomans) {
  Json payload{{"slots", {slot("Dm7"), slot("G7"), slot("Cmaj7")}}, {"key", {{"root", "C"}}}};
  const auto p = handleGenerateProgression(payload).payload;
  EXPECT_EQ(p["display_romans"], (Json{"iim7", "V7", "Imaj7"}));
  Json badKey{{"slots", {slot("Dm7")}}, {"key", {{"root", "H"}}}};
  EXPECT_EQ(handleGenerateProgression(badKey).payload["display_romans"][0], nullptr);
}

TEST(GenerateProgression, TransposeWithinTheOctaveBuildsOnTheChordBelow) {
  Json payload{{"slots", {slot("D")}}, {"semitone_transpose", 14}};
  const auto p = handleGenerateProgression(payload).payload;
  EXPECT_EQ(p["voicings"][0], plus(voiced("C", "closed", 4), 14));
  // The display describes the D the user sent, sounding 2 above the C voicing.
  EXPECT_EQ(p["display_symbols"][0], "D");
  EXPECT_EQ(p["display_note_labels"][0], (Json{"D", "F#", "A"}));
}

TEST(GenerateProgression, TransposeByOctavesKeepsTheChord) {
  Json payload{{"slots", {slot("C"), Json{{"chord", "C13"}, {"style", "closed"}, {"octave", 7}}}}, {"semitone_transpose", 12}};
  const auto p = handleGenerateProgression(payload).payload;
  EXPECT_EQ(p["voicings"][0], (Json{72, 76, 79}));
  const auto high = p["voicings"][1].get<std::vector<int>>();
  EXPECT_EQ(high, plus(voiced("C13", "closed", 7), 12));
  EXPECT_EQ(high, (std::vector<int>{108, 112, 115, 118, 122, 127}));
  payload["semitone_transpose"] = 24;  // the top four fold onto 127 once
  EXPECT_EQ(handleGenerateProgression(payload).payload["voicings"][1], (Json{120, 124, 127}));
}

TEST(GenerateProgression, TransposeIsClampedAndNegativeAmountsWork) {
  Json payload{{"slots", {slot("C")}}, {"semitone_transpose", 1e300}};
  EXPECT_EQ(handleGenerateProgression(payload).payload["voicings"][0], plus(voiced("C", "closed", 4), 48));
  payload["semitone_transpose"] = -14;  // t = -2: built on D, moved down 14
  EXPECT_EQ(handleGenerateProgression(payload).payload["voicings"][0], plus(voiced("D", "closed", 4), -14));
  EXPECT_EQ(progressionTransposition(-14).withinOctave, -2);
  EXPECT_EQ(progressionTransposition(-1000000).total, -48);
}

TEST(GenerateProgression, HugeSlotNumbersDoNotOverflow) {
  Json payload{{"slots", {Json{{"chord", "C"}, {"style", "anthem"}, {"octave", 9223372036854775807LL},
                               {"octave_shift", 18446744073709551615ULL}, {"inversion", -1e200}}}}};
  for (bool avl : {false, true}) {
    payload["auto_voice_lead"] = avl;
    const auto reply = handleGenerateProgression(payload);
    ASSERT_EQ(reply.type, "progression_voicings");
    for (int n : reply.payload["voicings"][0].get<std::vector<int>>()) {
      EXPECT_GE(n, 0);
      EXPECT_LE(n, 127);
    }
  }
}

TEST(GenerateProgression, WrongJsonTypesRaiseTheLibraryError) {
  EXPECT_THROW(handleGenerateProgression(Json{{"slots", Json::array()}, {"auto_voice_lead", "yes"}}), Json::type_error);
  EXPECT_THROW(handleGenerateProgression(Json{{"slots", {Json{{"chord", 5}}}}}), Json::type_error);
  EXPECT_THROW(handleGenerateProgression(Json{{"slots", {slot("C")}}, {"semitone_transpose", "2"}}), Json::type_error);
  EXPECT_THROW(handleGenerateProgression(Json{{"slots", {Json{{"chord", "C"}, {"style", "closed"}, {"drop_bass", 1}}}}}), Json::type_error);
  // The solver's switches are checked on the direct path too.
  EXPECT_THROW(handleGenerateProgression(Json{{"slots", {slot("C")}}, {"allow_bass_changes", 1}}), Json::type_error);
  EXPECT_THROW(handleGenerateProgression(Json{{"slots", {slot("C")}}, {"include_avl_debug", "no"}}), Json::type_error);
  // A slot that is not an object, on either path.
  for (const bool solver : {false, true}) {
    for (const Json& bad : {Json(), Json("C"), Json::array({"C", "closed"})})
      EXPECT_THROW(handleGenerateProgression(Json{{"slots", {slot("C"), bad, slot("G")}}, {"auto_voice_lead", solver}}),
                   Json::type_error) << bad.dump() << " solver " << solver;
  }
}

TEST(GenerateProgression, EchoedKeys) {
  Json payload{{"slots", {slot("C")}}, {"source", "ui"}, {"request_id", "r1"}, {"fingerprint", "f1"}};
  auto p = handleGenerateProgression(payload).payload;
  EXPECT_EQ(p["source"], "ui");
  EXPECT_EQ(p["request_id"], "r1");
  EXPECT_EQ(p["fingerprint"], "f1");
  payload["source"] = "";
  payload["request_id"] = 7;
  payload["fingerprint"] = "";
  p = handleGenerateProgression(payload).payload;
  EXPECT_FALSE(p.contains("source"));
  EXPECT_FALSE(p.contains("request_id"));
  EXPECT_FALSE(p.contains("fingerprint"));
  // Errors after the slots check echo as well.
  Json failing{{"slots", {slot("Xyz")}}, {"auto_voice_lead", true}, {"source", "ui"}, {"request_id", "r2"}};
  p = handleGenerateProgression(failing).payload;
  EXPECT_EQ(p["source"], "ui");
  EXPECT_EQ(p["request_id"], "r2");
}

TEST(GenerateProgression, SolverPathStopsAtTheFirstUnparsableSlot) {
  Json payload{{"slots", {slot("C"), slot("F", "nope")}}, {"auto_voice_lead", true}};
  const auto reply = handleGenerateProgression(payload);
  EXPECT_EQ(reply.type, "progression_error");
  EXPECT_EQ(reply.payload["code"], "auto_voice_lead_parse_failed");
}

TEST(GenerateProgression, ManualAnchorIsKeptAndLedFrom) {
  Json payload{{"slots", {Json{{"chord", "C"}, {"style", "closed"}, {"auto_voiced", false}, {"manual_midi", {48, 64, 67}}},
                          slot("F"), slot("G7")}},
               {"auto_voice_lead", true}};
  auto p = handleGenerateProgression(payload).payload;
  EXPECT_EQ(p["voicings"][0], (Json{48, 64, 67}));
  EXPECT_EQ(p["voicings"].size(), 3u);
  EXPECT_EQ(p["display_symbols"][0], "C");
  payload["semitone_transpose"] = 3;
  p = handleGenerateProgression(payload).payload;
  EXPECT_EQ(p["voicings"][0], (Json{51, 67, 70}));
  // "notes" is the other name of the manual notes; junk in it is ignored.
  Json other{{"slots", {Json{{"chord", "C"}, {"style", "closed"}, {"auto_voiced", false},
                             {"notes", {60, "x", 300, -1, 64.5, 67, nullptr}}},
                        slot("F")}},
             {"auto_voice_lead", true}};
  EXPECT_EQ(handleGenerateProgression(other).payload["voicings"][0], (Json{60, 67}));
}

TEST(GenerateProgression, SolverResultsMoveToEachSlotsOctave) {
  Json payload{{"slots", {Json{{"chord", "C"}, {"style", "closed"}, {"octave", 5}},
                          Json{{"chord", "F"}, {"style", "closed"}, {"octave", 5}, {"drop_bass", true}}}},
               {"auto_voice_lead", true}, {"include_avl_debug", true}};
  const auto p = handleGenerateProgression(payload).payload;
  EXPECT_EQ(p["voicings"][0], plus(voiced("C", "closed", 3), 24));
  const auto f = p["voicings"][1].get<std::vector<int>>();
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0] % 12, 5);
  EXPECT_GE(f[1] - f[0], 12);  // the bass dropped an octave
  ASSERT_TRUE(p.contains("avl_debug"));
  EXPECT_EQ(p["avl_debug"][0].get<std::string>().rfind("AVL segment start=0 end=1", 0), 0u);
}

TEST(GenerateProgression, RepeatedManualNotesSoundOnce) {
  Json manual{{"chord", "C"}, {"style", "closed"}, {"auto_voiced", false}, {"manual_midi", {64, 60, 64, 67}}};
  for (bool lead : {false, true}) {
    const auto p = handleGenerateProgression(Json{{"slots", {manual, slot("F")}}, {"auto_voice_lead", lead}}).payload;
    EXPECT_EQ(p["voicings"][0], (Json{60, 64, 67})) << "auto_voice_lead " << lead;
  }
}

TEST(GenerateProgression, NoDebugUnlessAsked) {
  Json payload{{"slots", {slot("C"), slot("F")}}, {"auto_voice_lead", true}};
  EXPECT_FALSE(handleGenerateProgression(payload).payload.contains("avl_debug"));
}

TEST(GenerateProgression, SolverFailureIsReported) {
  Json payload{{"slots", {Json{{"chord", "C"}, {"style", "closed"}, {"auto_voiced", false}, {"manual_midi", {0, 127}}},
                          slot("F")}},
               {"auto_voice_lead", true}, {"include_avl_debug", true}, {"source", "ui"}};
  const auto reply = handleGenerateProgression(payload);
  EXPECT_EQ(reply.type, "progression_error");
  EXPECT_EQ(reply.payload["error"], "auto_voice_lead failed");
  EXPECT_EQ(reply.payload["message"], "no legal revoicings found");
  EXPECT_EQ(reply.payload["code"], "auto_voice_lead_failed");
  EXPECT_EQ(reply.payload["voicings"], Json::array());
  EXPECT_EQ(reply.payload["source"], "ui");
  ASSERT_TRUE(reply.payload.contains("avl_debug"));
  // The next request starts with an empty debug list.
  Json next{{"slots", {slot("C"), slot("F")}}, {"auto_voice_lead", true}, {"include_avl_debug", true}};
  EXPECT_EQ(handleGenerateProgression(next).payload["avl_debug"][0].get<std::string>().rfind("AVL segment", 0), 0u);
}

TEST(GenerateProgression, ThousandsOfSlots) {
  Json slots = Json::array();
  const char* cycle[] = {"Dm7", "G7", "Cmaj7", "A7", "Fmaj7", "Bm7b5", "E7", "Am7"};
  for (int i = 0; i < 3000; ++i) slots.push_back(slot(cycle[i % 8]));
  for (bool avl : {false, true}) {
    const auto reply = handleGenerateProgression(Json{{"slots", slots}, {"auto_voice_lead", avl}});
    ASSERT_EQ(reply.type, "progression_voicings");
    EXPECT_EQ(reply.payload["voicings"].size(), 3000u);
  }
}

}  // namespace
}  // namespace tw
