// The two modifier requests answered from JSON payloads: "get_available_modifiers" and
// "apply_modifiers".
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "chord/chord_modifiers.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {
namespace {

using Ids = std::vector<std::string>;

bool listed(const Ids& ids, const std::string& id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// ---------------------------------------------------------------------------------------
// "get_available_modifiers"

HandlerReply available(const Json& payload) { return handleGetAvailableModifiers(payload); }

TEST(GetAvailableModifiersRequest, RepliesWithTableActiveAndDisabled) {
  const auto reply = available({{"chord", "C7"}, {"request_id", "q1"}});
  EXPECT_EQ(reply.type, "available_modifiers");
  const auto& p = reply.payload;
  ASSERT_EQ(p.at("modifiers").size(), 24u);
  EXPECT_EQ(p.at("modifiers").at(1),
            (Json{{"id", "third-minor"}, {"label", "♭3"}, {"category", "third"}}));
  EXPECT_EQ(p.at("modifiers").at(23), (Json{{"id", "slash"}, {"label", "/"}, {"category", "slash"}}));
  EXPECT_EQ(p.at("active"), Json({"third-major", "fifth-perfect", "seventh-flat7"}));
  EXPECT_TRUE(listed(p.at("disabled").get<Ids>(), "sixth-6"));
  EXPECT_EQ(p.at("causesVoicingChange"), Json::array());
  EXPECT_EQ(p.at("request_id"), "q1");
  EXPECT_FALSE(p.contains("error"));
}

TEST(GetAvailableModifiersRequest, MissingAndInvalidChord) {
  struct Case { Json payload; const char* error; };
  const Case cases[] = {
      {Json::object(), "Missing chord"},
      {Json(), "Missing chord"},
      {Json::array({"C7"}), "Missing chord"},
      {{{"chord", "X7"}}, "Invalid chord: X7"},
      {{{"chord", ""}}, "Invalid chord: "},
  };
  for (const auto& c : cases) {
    const auto reply = available(c.payload);
    EXPECT_EQ(reply.type, "available_modifiers");
    EXPECT_EQ(reply.payload, (Json{{"error", c.error}})) << c.payload.dump();
  }
  // request_id is carried on errors when it is a non-empty string.
  EXPECT_EQ(available({{"chord", "H"}, {"request_id", "r9"}}).payload.at("request_id"), "r9");
  EXPECT_FALSE(available({{"chord", "H"}, {"request_id", ""}}).payload.contains("request_id"));
  EXPECT_FALSE(available({{"chord", "H"}, {"request_id", 4}}).payload.contains("request_id"));
}

TEST(GetAvailableModifiersRequest, ClientSelectionIsUsed) {
  const auto reply = available(
      {{"chord", "C"}, {"selected", {"third-minor", "fifth-perfect", "seventh-flat7"}}});
  EXPECT_EQ(reply.payload.at("active"), Json({"third-major", "fifth-perfect"}));
  EXPECT_TRUE(listed(reply.payload.at("disabled").get<Ids>(), "sixth-6"));
  // A "selected" member that is not an array is no selection.
  const auto plain = available({{"chord", "C"}, {"selected", "seventh-flat7"}});
  EXPECT_EQ(plain.payload, available({{"chord", "C"}}).payload);
}

TEST(GetAvailableModifiersRequest, UnknownSelectedIdsAreIgnored) {
  const auto reply = available({{"chord", "C7"}, {"selected", {"bogus", "slash"}}});
  ASSERT_FALSE(reply.payload.contains("error")) << reply.payload.dump();
  EXPECT_EQ(reply.payload.at("active"), Json({"third-major", "fifth-perfect", "seventh-flat7"}));
  EXPECT_EQ(reply.payload.at("modifiers").size(), 24u);
}

TEST(GetAvailableModifiersRequest, ChordOfWrongTypeIsAJsonTypeError) {
  EXPECT_THROW(available({{"chord", 7}}), nlohmann::json::type_error);
  EXPECT_THROW(available({{"chord", nullptr}}), nlohmann::json::type_error);
}

TEST(GetAvailableModifiersRequest, FailuresWhileReadingOptionsAreReportedInTheReply) {
  const auto reply = available({{"chord", "C7"}, {"selected", {"third-minor", 5}}, {"request_id", "x"}});
  EXPECT_EQ(reply.type, "available_modifiers");
  ASSERT_TRUE(reply.payload.contains("error"));
  EXPECT_EQ(reply.payload.at("error").get<std::string>().rfind("Exception: ", 0), 0u);
  EXPECT_EQ(reply.payload.at("request_id"), "x");
  EXPECT_FALSE(reply.payload.contains("modifiers"));
}

TEST(GetAvailableModifiersRequest, VoicingChangesFollowTheStylesOfEachResult) {
  // Every triad-or-larger result can be voiced in split style.
  EXPECT_EQ(available({{"chord", "C"}, {"voicingStyle", "split"}}).payload.at("causesVoicingChange"),
            Json::array());
  // Shell voicing is never offered as a relevant style: every id that can be toggled in
  // would change the voicing, but not the ids already chosen, the disabled ones or "slash".
  const auto reply = available({{"chord", "C"}, {"voicingStyle", "shell"}});
  const auto changes = reply.payload.at("causesVoicingChange").get<Ids>();
  const auto disabled = reply.payload.at("disabled").get<Ids>();
  const auto active = reply.payload.at("active").get<Ids>();
  EXPECT_FALSE(changes.empty());
  Ids expected;
  for (const auto& row : modifierTable()) {
    const std::string id(row.id);
    if (id != "slash" && !listed(disabled, id) && !listed(active, id)) expected.push_back(id);
  }
  EXPECT_EQ(changes, expected);
  // An unknown or non-text style leaves the list empty.
  for (const Json& style : {Json("Shell"), Json(3), Json()})
    EXPECT_EQ(available({{"chord", "C"}, {"voicingStyle", style}}).payload.at("causesVoicingChange"),
              Json::array());
}

// ---------------------------------------------------------------------------------------
// "apply_modifiers"

HandlerReply apply(const Json& payload) { return handleApplyModifiers(payload); }

TEST(ApplyModifiersRequest, BuildsTheNewSymbol) {
  struct Case { Json payload; const char* chord; };
  const Case cases[] = {
      {{{"chord", "C7"}, {"modifiers", {"third-minor"}}}, "Cm"},
      {{{"chord", "C7"}, {"modifiers", {"third-minor", "seventh-flat7"}}}, "Cm7"},
      {{{"chord", "C"}, {"modifiers", {"ninth-9"}}}, "Cadd9"},
      {{{"chord", "Cm"}, {"modifiers", {"third-major"}}}, "Cmaj"},
      {{{"chord", "C7"}}, "C7"},
      {{{"chord", "C7"}, {"modifiers", "third-minor"}}, "C7"},  // not an array: no modifiers
      {{{"chord", "F#7"}, {"modifiers", {"ninth-9"}}}, "F#9"},
      {{{"chord", "Gb7"}, {"modifiers", {"ninth-9"}}}, "Gb9"},
      // Any "b" in the typed text selects flat names, for the bass too.
      {{{"chord", "C#m7b5"}, {"modifiers", {"ninth-9"}}}, "Dbm9b5"},
      {{{"chord", "C7/A#"}, {"modifiers", {"ninth-9"}}}, "C9/A#"},
      {{{"chord", "C7b9/A#"}, {"modifiers", {"ninth-9"}}}, "C9/Bb"},
      // A requested bass replaces the chord's own and is written as sent.
      {{{"chord", "C7/G"}, {"modifiers", {"ninth-9"}}, {"bass", "e"}}, "C9/e"},
      {{{"chord", "C7"}, {"bass", "Bb"}}, "C7/Bb"},
      // An empty or non-text bass keeps the chord's own.
      {{{"chord", "C/G"}, {"modifiers", {"seventh-flat7"}}, {"bass", ""}}, "C7/G"},
      {{{"chord", "C/G"}, {"bass", 4}}, "Cmaj/G"},
      // Contradictory lists: the last id of a group wins.
      {{{"chord", "C"}, {"modifiers", {"third-minor", "third-major"}}}, "Cmaj"},
      {{{"chord", "C"}, {"modifiers", {"seventh-flat7", "seventh-major7"}}}, "Cmaj7"},
      {{{"chord", "C"}, {"modifiers", {"slash"}}}, "Cmaj"},
      // An id the table does not know is no choice: its group's degree is switched off.
      {{{"chord", "C7"}, {"modifiers", {"seventh-bogus"}}}, "Cmaj"},
      {{{"chord", "C"}, {"modifiers", {"ninth-9", "ninth-b9"}}}, "Cadd9"},
      {{{"chord", "C7"}, {"modifiers", {""}}}, "C7"},
  };
  for (const auto& c : cases) {
    const auto reply = apply(c.payload);
    EXPECT_EQ(reply.type, "modified_chord");
    EXPECT_EQ(reply.payload, (Json{{"chord", c.chord}})) << c.payload.dump();
  }
}

TEST(ApplyModifiersRequest, ErrorReplies) {
  struct Case { Json payload; Json expected; };
  const Case cases[] = {
      {Json::object(), {{"error", "Missing chord"}}},
      {Json(), {{"error", "Missing chord"}}},
      {{{"chord", "Q"}}, {{"error", "Invalid chord: Q"}}},
      {{{"chord", "C"}, {"modifiers", {"seventh-dim7"}}},
       {{"error", "Unable to apply modifiers to chord quality"}}},
      {{{"chord", "C"}, {"bass", "H"}}, {{"error", "Invalid bass: H"}}},
      {{{"chord", "C"}, {"bass", "E7"}}, {{"error", "Invalid bass: E7"}}},
  };
  for (const auto& c : cases) {
    const auto reply = apply(c.payload);
    EXPECT_EQ(reply.type, "modified_chord");
    EXPECT_EQ(reply.payload, c.expected) << c.payload.dump();
  }
  const auto withId = apply({{"chord", "C"}, {"bass", "H"}, {"request_id", "b1"}});
  EXPECT_EQ(withId.payload.at("request_id"), "b1");
}

TEST(ApplyModifiersRequest, WrongJsonTypesAreJsonTypeErrors) {
  EXPECT_THROW(apply({{"chord", 60}}), nlohmann::json::type_error);
  EXPECT_THROW(apply({{"chord", "C"}, {"modifiers", {"ninth-9", 3}}}), nlohmann::json::type_error);
  EXPECT_THROW(apply({{"chord", "C"}, {"style", "closed"}, {"octave", "high"}}),
               nlohmann::json::type_error);
  EXPECT_THROW(apply({{"chord", "C"}, {"style", "closed"}, {"drop_bass", "yes"}}),
               nlohmann::json::type_error);
  EXPECT_THROW(apply({{"chord", "C"}, {"style", "closed"}, {"octave_shift", Json::array()}}),
               nlohmann::json::type_error);
}

TEST(ApplyModifiersRequest, VoicesInTheRequestedStyle) {
  const auto reply = apply({{"chord", "C7"}, {"modifiers", {"third-minor", "seventh-flat7"}},
                            {"style", "closed"}, {"request_id", "v"}});
  EXPECT_EQ(reply.payload, (Json{{"chord", "Cm7"}, {"notes", {60, 63, 67, 70}}, {"request_id", "v"}}));

  struct Case { Json options; Json notes; };
  const Case cases[] = {
      {{{"octave", 12}}, {96, 100, 103}},
      {{{"octave", 0}}, {12, 16, 19}},
      {{{"octave", -5}}, {12, 16, 19}},
      {{{"octave", 1e300}}, {96, 100, 103}},
      {{{"octave", -1e300}}, {12, 16, 19}},
      {{{"octave", 9223372036854775807LL}}, {96, 100, 103}},
      {{{"octave", 18446744073709551615ULL}}, {96, 100, 103}},
      {{{"octave", 3.9}}, {48, 52, 55}},
      {{{"octave_shift", -9}}, {24, 28, 31}},
      {{{"octave", 1}, {"octave_shift", -3}}, {12, 16, 19}},
      {{{"octave_shift", 40}}, {96, 100, 103}},
  };
  for (const auto& c : cases) {
    Json payload{{"chord", "C"}, {"style", "closed"}};
    payload.update(c.options);
    EXPECT_EQ(apply(payload).payload.at("notes"), c.notes) << c.options.dump();
  }
  // Huge inversions are clamped, never overflowed.
  for (const Json& inversion : {Json(1e300), Json(-9223372036854775807LL), Json(4294967296ULL)}) {
    const auto voiced = apply({{"chord", "C"}, {"style", "closed"}, {"inversion", inversion}});
    EXPECT_TRUE(voiced.payload.contains("notes")) << inversion.dump();
  }
}

TEST(ApplyModifiersRequest, VoicesTheNewBassAndItsDrop) {
  const auto reply = apply({{"chord", "C"}, {"bass", "E"}, {"style", "closed"}});
  EXPECT_EQ(reply.payload.at("chord"), "Cmaj/E");
  EXPECT_EQ(reply.payload.at("notes"), Json({52, 60, 64, 67}));
  const auto dropped = apply({{"chord", "C"}, {"bass", "E"}, {"style", "closed"}, {"drop_bass", true}});
  EXPECT_EQ(dropped.payload.at("notes"), Json({40, 60, 64, 67}));
}

TEST(ApplyModifiersRequest, NoNotesWithoutARecognisedStyle) {
  for (const Json& style : {Json("Closed"), Json(""), Json(2), Json()}) {
    const auto reply = apply({{"chord", "C"}, {"style", style}});
    EXPECT_EQ(reply.payload, (Json{{"chord", "Cmaj"}})) << style.dump();
  }
}

TEST(ApplyModifiersRequest, EveryStyleAnswersWithNotesOrTheEnginesMessage) {
  // Chords with few tones may have no plan in the fuller styles; the engine's message then
  // comes back in the reply instead of escaping the handler.
  for (const char* chord : {"C5", "C7no5", "C", "Cmaj7", "C13#11"}) {
    for (const char* style : {"closed", "shell", "anthem", "split", "guide-color", "velmaro"}) {
      HandlerReply reply;
      ASSERT_NO_THROW(reply = apply({{"chord", chord}, {"style", style}, {"request_id", "s"}}))
          << chord << " " << style;
      EXPECT_EQ(reply.type, "modified_chord");
      EXPECT_EQ(reply.payload.at("request_id"), "s");
      if (reply.payload.contains("error")) {
        EXPECT_EQ(reply.payload.at("error"), "No descriptor-based voicing plan available for style");
        EXPECT_FALSE(reply.payload.contains("notes"));
      } else {
        EXPECT_FALSE(reply.payload.at("notes").empty()) << chord << " " << style;
      }
    }
  }
}

}  // namespace
}  // namespace tw
