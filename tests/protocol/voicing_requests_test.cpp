// The voicing requests answered through their handlers: a payload in, a reply out.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "chord/chord_parser.hpp"
#include "chord/quality_catalogue.hpp"
#include "protocol/request_handlers.hpp"
#include "voicing/voicing_message.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {
namespace {

Json notesOf(const char* chord, const char* style, Json extra = Json::object()) {
  Json payload = {{"chord", chord}, {"style", style}};
  payload.update(extra);
  HandlerReply reply = handleGenerateVoicing(payload);
  EXPECT_EQ(reply.type, "voicing_result") << reply.payload.dump();
  return reply.payload["notes"];
}

TEST(GenerateVoicing, DefaultsVoiceAtOctaveFour) {
  HandlerReply reply = handleGenerateVoicing(Json{{"chord", "C"}, {"style", "closed"}});
  EXPECT_EQ(reply.type, "voicing_result");
  EXPECT_EQ(reply.payload, (Json{{"chord", "C"},
                                 {"style", "closed"},
                                 {"notes", {60, 64, 67}},
                                 {"max_manual_inversion", 3}}));
}

TEST(GenerateVoicing, OctaveAndShiftAreClamped) {
  struct Case {
    Json options;
    Json sameAs;
  };
  for (const Case& c : {
           Case{{{"octave", 12}}, {{"octave", 7}}},
           Case{{{"octave", -4}}, {{"octave", 0}}},
           Case{{{"octave_shift", -9}}, {{"octave_shift", -3}}},
           Case{{{"octave", 1}, {"octave_shift", -3}}, {{"octave", 0}}},
           Case{{{"octave", 4}, {"octave_shift", 9}}, {{"octave", 7}}},
           Case{{{"octave", 9223372036854775807LL}}, {{"octave", 7}}},
           Case{{{"octave", 18446744073709551615ULL}}, {{"octave", 7}}},
           Case{{{"octave", -9223372036854775807LL - 1}}, {{"octave", 0}}},
           Case{{{"octave", 1e300}}, {{"octave", 7}}},
           Case{{{"octave", -1e300}}, {{"octave", 0}}},
           Case{{{"octave", 3.7}}, {{"octave", 3}}},
           Case{{{"inversion", 9223372036854775807LL}}, {{"inversion", 3}}},
           Case{{{"inversion", -1e300}}, {{"inversion", -3}}},
       }) {
    EXPECT_EQ(notesOf("C", "closed", c.options), notesOf("C", "closed", c.sameAs))
        << c.options.dump();
  }
}

TEST(GenerateVoicing, ErrorReplies) {
  struct Case {
    Json payload;
    const char* message;
  };
  for (const Case& c : {
           Case{{{"chord", "C"}}, "Missing chord or style"},
           Case{{{"style", "closed"}}, "Missing chord or style"},
           Case{Json::object(), "Missing chord or style"},
           Case{{{"chord", "H7"}, {"style", "closed"}}, "Invalid chord or style"},
           Case{{{"chord", ""}, {"style", "closed"}}, "Invalid chord or style"},
           Case{{{"chord", "C"}, {"style", "Closed"}}, "Invalid chord or style"},
           Case{{{"chord", "C"}, {"style", ""}}, "Invalid chord or style"},
       }) {
    HandlerReply reply = handleGenerateVoicing(c.payload);
    EXPECT_EQ(reply.type, "voicing_error") << c.payload.dump();
    EXPECT_EQ(reply.payload, (Json{{"message", c.message}})) << c.payload.dump();
  }
}

TEST(GenerateVoicing, NonObjectPayloadGetsTheGenericPayloadError) {
  for (const Json& payload : {Json(), Json::array({1, 2}), Json("C"), Json(4)}) {
    HandlerReply reply = handleGenerateVoicing(payload);
    EXPECT_EQ(reply.type, "voicing_error");
    EXPECT_EQ(reply.payload["message"], "Request handling failed");
    EXPECT_EQ(reply.payload["code"], "invalid_payload");
  }
}

TEST(GenerateVoicing, WrongJsonTypesThrowForTheDispatcher) {
  for (const Json& payload : {
           Json{{"chord", 7}, {"style", "closed"}},
           Json{{"chord", "C"}, {"style", nullptr}},
           Json{{"chord", "C"}, {"style", "closed"}, {"octave", "4"}},
           Json{{"chord", "C"}, {"style", "closed"}, {"inversion", Json::array()}},
           Json{{"chord", "C"}, {"style", "closed"}, {"octave_shift", Json::object()}},
           Json{{"chord", "C"}, {"style", "closed"}, {"drop_bass", 1}},
           Json{{"chord", "C"}, {"style", "closed"}, {"drop_bass", "yes"}},
       }) {
    EXPECT_THROW(handleGenerateVoicing(payload), std::exception) << payload.dump();
  }
}

TEST(GenerateVoicing, StyleIsEchoedAsSent) {
  HandlerReply alias = handleGenerateVoicing(Json{{"chord", "Dm7"}, {"style", "drop24"}});
  HandlerReply split = handleGenerateVoicing(Json{{"chord", "Dm7"}, {"style", "split"}});
  EXPECT_EQ(alias.payload["style"], "drop24");
  EXPECT_EQ(alias.payload["notes"], split.payload["notes"]);
  HandlerReply spaced = handleGenerateVoicing(Json{{"chord", "  Cmaj7 "}, {"style", "pop"}});
  EXPECT_EQ(spaced.payload["chord"], "  Cmaj7 ");
}

TEST(GenerateVoicing, SlashBassAndDrop) {
  EXPECT_EQ(notesOf("C/E", "closed"), (Json{52, 60, 64, 67}));
  EXPECT_EQ(notesOf("C/E", "closed", {{"drop_bass", true}}), (Json{40, 60, 64, 67}));
  EXPECT_EQ(notesOf("Cmaj7", "closed", {{"inversion", 2}}), (Json{67, 71, 72, 76}));
}

// Rotating a doubled tone down an octave, or pinning notes at the top of the keyboard, must
// not put two voices on one key.
TEST(GenerateVoicing, NotesStayDistinctAfterInversionAndClamping) {
  const Json rotated = notesOf("FM7", "guide-color",
                               {{"octave", 4}, {"octave_shift", 3}, {"inversion", -1}, {"drop_bass", true}});
  EXPECT_EQ(rotated, (Json{89, 105, 112}));
  EXPECT_EQ(notesOf("B13", "closed", {{"octave", 7}}), (Json{107, 111, 114, 117, 121, 127}));
  // Six rotations carry the top four notes past 127; they fold onto it once.
  EXPECT_EQ(notesOf("B13", "closed", {{"octave", 7}, {"inversion", 6}}), (Json{123, 126, 127}));
}

TEST(GetRangePresets, AlwaysTheSameFour) {
  const Json expected = {
      {"compact", {{"min", 46}, {"max", 70}, {"center", 58}, {"name", "Compact (1 oct)"}}},
      {"medium", {{"min", 40}, {"max", 76}, {"center", 58}, {"name", "Medium (2 oct)"}}},
      {"wide", {{"min", 36}, {"max", 82}, {"center", 59}, {"name", "Wide (3 oct)"}}},
      {"auto", {{"min", 36}, {"max", 84}, {"center", 60}, {"name", "Auto"}}}};
  for (const Json& payload : {Json::object(), Json{{"presets", 3}, {"chord", "C"}}}) {
    HandlerReply reply = handleGetRangePresets(payload);
    EXPECT_EQ(reply.type, "range_presets");
    EXPECT_EQ(reply.payload, (Json{{"presets", expected}}));
  }
  HandlerReply withId = handleGetRangePresets(Json{{"request_id", "r7"}});
  EXPECT_EQ(withId.payload["request_id"], "r7");
  HandlerReply bad = handleGetRangePresets(Json::array());
  EXPECT_EQ(bad.payload["message"], "Request handling failed");
}

TEST(GetVoicingStyles, ListsFiveStylesInOrder) {
  HandlerReply reply = handleGetVoicingStyles(Json{{"request_id", "abc"}});
  EXPECT_EQ(reply.type, "voicing_styles");
  const Json& styles = reply.payload["styles"];
  ASSERT_EQ(styles.size(), 5u);
  std::vector<std::string> ids;
  for (const Json& s : styles) ids.push_back(s["id"]);
  EXPECT_EQ(ids, (std::vector<std::string>{"closed", "anthem", "split", "guide-color", "velmaro"}));
  EXPECT_EQ(styles[4], (Json{{"id", "velmaro"}, {"name", "Open"}, {"description", "Two-handed open voicing"}}));
  EXPECT_EQ(reply.payload["request_id"], "abc");
  EXPECT_EQ(handleGetVoicingStyles(nullptr).payload["code"], "invalid_payload");
}

TEST(GetRelevantVoicings, ByChordOrIntervals) {
  struct Case {
    Json payload;
    std::vector<std::string> styles;
  };
  const std::vector<std::string> all{"closed", "anthem", "split", "guide-color", "velmaro"};
  const std::vector<std::string> few{"closed", "anthem", "guide-color", "velmaro"};
  const std::vector<std::string> none{"closed", "velmaro"};
  for (const Case& c : {
           Case{{{"chord", "Cmaj7"}}, all},
           Case{{{"chord", "C5"}}, few},
           Case{{{"chord", "not a chord"}}, none},
           Case{{{"intervals", {0, 7}}}, few},
           Case{{{"intervals", {0, 4, 7}}}, all},
           Case{{{"intervals", Json::array()}}, none},
           Case{{{"intervals", "0 4 7"}}, none},
           Case{{{"chord", "C"}, {"intervals", {0}}}, all},
           Case{Json::object(), none},
       }) {
    HandlerReply reply = handleGetRelevantVoicings(c.payload);
    EXPECT_EQ(reply.type, "relevant_voicings");
    EXPECT_EQ(reply.payload["styles"].get<std::vector<std::string>>(), c.styles)
        << c.payload.dump();
  }
  EXPECT_EQ(handleGetRelevantVoicings(Json(5)).payload["code"], "invalid_payload");
  EXPECT_THROW(handleGetRelevantVoicings(Json{{"chord", 5}}), std::exception);
  EXPECT_THROW(handleGetRelevantVoicings(Json{{"intervals", {"a"}}}), std::exception);
}

TEST(VoicingMessage, StyleFirstThenChord) {
  EXPECT_EQ(voicingMessageNotes("closed", "C"), (std::vector<int>{60, 64, 67}));
  EXPECT_EQ(voicingMessageNotes("C", "closed"), std::nullopt);
  EXPECT_EQ(voicingMessageNotes("closed", "H"), std::nullopt);
}

// Every catalogue quality in every style voices to ascending notes on the keyboard, or
// fails with the one documented message.
TEST(VoiceChordProperty, EveryQualityInEveryStyle) {
  int failures = 0;
  int index = 0;
  for (const ChordQuality& quality : supportedQualities()) {
    // Roots and octaves rotate through the catalogue so every one of them is met, with
    // octaves 0 and 7 probing both ends of the keyboard.
    const PitchClass root = index % 12;
    const ParsedChord chord = makeParsedChord(root, quality, std::nullopt);
    const ParsedChord slash = makeParsedChord(root, quality, (root + 4) % 12);
    for (VoicingStyle style = 0; style < 6; ++style) {
      const int octave = (index + style) % 8;
      for (int inversion : {-1, 0, 1, 3}) {
        for (const ParsedChord* c : {&chord, &slash}) {
          try {
            const auto notes = voiceChord(*c, style, octave, {0, inversion == 1, inversion});
            ASSERT_FALSE(notes.empty()) << quality.symbol;
            EXPECT_TRUE(std::adjacent_find(notes.begin(), notes.end(), std::greater_equal<int>()) == notes.end())
                << quality.symbol << " style " << style << " inversion " << inversion;
            EXPECT_GE(notes.front(), 0);
            EXPECT_LE(notes.back(), 127);
            EXPECT_GE(maxManualInversion(*c, style, octave, 0), 1);
          } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "No descriptor-based voicing plan available for style")
                << quality.symbol << " style " << style;
            ++failures;
          }
        }
      }
    }
    ++index;
  }
  // Every catalogue chord has a third or suspension, so every style finds a plan.
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace tw
