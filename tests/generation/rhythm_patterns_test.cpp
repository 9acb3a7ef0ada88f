// The chord rhythm catalogue and its request: every pattern exactly as published, and the
// reply the interface reads.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "generation/rhythm_patterns.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {
namespace {

struct CatalogueRow {
  int order;
  const char* id;
  const char* name;
  const char* category;
  const char* events;  // offset+duration, then the voices word when not "all"; "; " between
};

// The published catalogue, in order.
const CatalogueRow kCatalogue[] = {
    {0, "none", "Whole Note", "Basic", "0+16"},
    {1, "half", "Half Notes", "Basic", "0+8; 8+8"},
    {2, "dotted-quarter", "Dotted Quarter", "Basic", "0+6; 6+6; 12+4"},
    {3, "quarter", "Quarter Notes", "Basic", "0+4; 4+4; 8+4; 12+4"},
    {4, "dotted-eighth", "Dotted 8th", "Basic", "0+3; 3+3; 6+3; 9+3; 12+3; 15+1"},
    {5, "eighth", "8th Notes", "Basic", "0+2; 2+2; 4+2; 6+2; 8+2; 10+2; 12+2; 14+2"},
    {6, "sixteenth", "16th Notes", "Basic", "0+1; 1+1; 2+1; 3+1; 4+1; 5+1; 6+1; 7+1; 8+1; 9+1; 10+1; 11+1; 12+1; 13+1; 14+1; 15+1"},
    {7, "offbeat-eighth", "Offbeat 8ths", "Groove", "2+2; 6+2; 10+2; 14+2"},
    {8, "charleston", "Charleston", "Groove", "0+6; 6+2; 10+6"},
    {9, "bossa", "Bossa Nova", "Groove", "0+3; 3+3; 6+2; 10+3; 13+3"},
    {10, "neo-soul", "Neo Soul", "Groove", "0+4; 6+2; 8+4; 14+2"},
    {11, "funk-1", "Funk - Chicken", "Groove", "2+1; 4+1; 6+1; 10+1; 12+1; 14+1"},
    {12, "funk-2", "Funk - Stabline", "Groove", "0+3; 6+1; 8+2; 13+1"},
    {13, "funk-3", "Funk - Disco", "Groove", "0+2; 3+2; 6+2; 10+2; 14+2"},
    {14, "funk-4", "Funk - Syncopated", "Groove", "0+2; 3+1; 5+2; 8+1; 11+2; 14+2"},
    {15, "house-2", "House - Pumping", "Electronic", "0+2; 4+2; 8+2; 12+2"},
    {16, "house-3", "House - Garage", "Electronic", "0+3; 6+2; 10+2; 14+2"},
    {17, "house-4", "House - Deep", "Electronic", "0+6; 8+4; 14+2"},
    {18, "techno-1", "Techno - Minimal", "Electronic", "0+1; 4+1; 8+1; 12+1"},
    {19, "techno-2", "Techno - Industrial", "Electronic", "0+2; 3+1; 6+2; 9+1; 12+2; 15+1"},
    {20, "electro-1", "Electro - Robot", "Electronic", "0+2; 4+1; 6+2; 10+1; 12+2"},
    {21, "trance-1", "Trance - Gated", "Electronic", "0+1; 2+1; 4+1; 6+1; 8+1; 10+1; 12+1; 14+1"},
    {22, "trance-2", "Trance - Uplifting", "Electronic", "0+4; 6+2; 10+2; 14+2"},
    {23, "trance-3", "Trance - Progressive", "Electronic", "0+2; 3+1; 6+2; 10+2; 13+1"},
    {24, "trance-4", "Trance - Anthem", "Electronic", "0+2; 4+2; 6+2; 12+4"},
    {25, "hiphop-1", "Hip Hop - Boom Bap", "Hip Hop & Latin", "0+4; 6+2; 12+4"},
    {26, "hiphop-2", "Hip Hop - Lo-Fi", "Hip Hop & Latin", "0+6; 7+3; 12+4"},
    {27, "trap-1", "Trap - Hi-Hats", "Hip Hop & Latin", "0+1; 2+1; 3+1; 4+1; 6+1; 7+1; 8+1; 10+1; 11+1; 12+1; 14+1; 15+1"},
    {28, "salsa", "Salsa", "Hip Hop & Latin", "0+2; 3+1; 4+2; 7+1; 8+2; 11+1; 12+2; 15+1"},
    {29, "reggaeton", "Reggaeton", "Hip Hop & Latin", "0+2; 3+2; 6+2; 8+2; 11+2; 14+2"},
    {30, "split-1", "Split - Bass First", "Split Voice", "0+8 bass; 2+6 upper; 8+8 bass; 10+6 upper"},
    {31, "split-2", "Split - Stride", "Split Voice", "0+4 bass; 4+4 upper; 8+4 bass; 12+4 upper"},
    {32, "split-3", "Split - Broken", "Split Voice", "0+4 bass; 2+3 middle; 4+4 top; 8+4 bass; 10+3 middle; 12+4 top"},
    {33, "split-4", "Split - Call Response", "Split Voice", "0+3 bass; 4+4 upper; 10+3 bass; 14+2 upper"},
    {34, "split-5", "Split - Gospel", "Split Voice", "0+6 bass; 2+4 upper; 8+4 bass; 8+4 top; 12+4 upper"},
    {35, "split-6", "Split - RnB", "Split Voice", "0+8 bass; 3+3 upper; 8+8 bass; 10+2 upper; 14+2 upper"},
    {36, "split-arp-up", "Split - Arp Up", "Split Voice", "0+4 bass; 4+4 middle; 8+8 top"},
    {37, "split-arp-down", "Split - Arp Down", "Split Voice", "0+4 top; 4+4 middle; 8+8 bass"},
    {38, "split-house", "Split - House", "Split Voice", "0+2 bass; 2+2 upper; 4+2 bass; 6+2 upper; 8+2 bass; 10+2 upper; 12+2 bass; 14+2 upper"},
    {39, "split-reggae", "Split - Reggae", "Split Voice", "0+4 bass; 6+2 upper; 8+4 bass; 14+2 upper"},
};

std::string eventsText(const Json& pattern) {
  std::string text;
  for (const auto& event : pattern) {
    if (!text.empty()) text += "; ";
    text += std::to_string(event.at("offset").get<int>()) + "+" +
            std::to_string(event.at("duration").get<int>());
    if (event.contains("voices")) text += " " + event.at("voices").get<std::string>();
  }
  return text;
}

Json patternsReply(const Json& payload = Json::object()) {
  auto reply = handleGetRhythmPatterns(payload);
  EXPECT_EQ(reply.type, "rhythm_patterns");
  return reply.payload;
}

TEST(RhythmCatalogue, HoldsFortyPatternsInOrder) {
  const auto& patterns = rhythmPatterns();
  ASSERT_EQ(patterns.size(), 40u);
  ASSERT_EQ(std::size(kCatalogue), 40u);
  for (const auto& row : kCatalogue) {
    const auto& pattern = patterns.at(static_cast<std::size_t>(row.order));
    EXPECT_EQ(pattern.id, row.id);
    EXPECT_EQ(pattern.name, row.name);
    EXPECT_EQ(pattern.category, row.category);
  }
}

TEST(RhythmCatalogue, EveryEventFitsTheBar) {
  const std::set<std::string_view> voices{"all", "bass", "middle", "top", "upper"};
  const std::set<std::string_view> categories{"Basic", "Groove", "Electronic",
                                              "Hip Hop & Latin", "Split Voice"};
  std::set<std::string_view> ids;
  for (const auto& pattern : rhythmPatterns()) {
    SCOPED_TRACE(std::string(pattern.id));
    EXPECT_TRUE(ids.insert(pattern.id).second) << "duplicate id";
    EXPECT_TRUE(categories.count(pattern.category));
    EXPECT_FALSE(pattern.description.empty());
    ASSERT_FALSE(pattern.events.empty());
    int previousOffset = 0;
    for (const auto& event : pattern.events) {
      EXPECT_GE(event.offset, 0);
      EXPECT_LT(event.offset, kRhythmStepsPerBar);
      EXPECT_GT(event.duration, 0);
      EXPECT_LE(event.offset + event.duration, kRhythmStepsPerBar);
      EXPECT_GE(event.offset, previousOffset) << "events are in playing order";
      previousOffset = event.offset;
      EXPECT_TRUE(voices.count(event.voices)) << event.voices;
      EXPECT_EQ(pattern.category == "Split Voice", event.voices != "all");
    }
  }
}

TEST(RhythmCatalogue, FindsPatternsById) {
  ASSERT_NE(findRhythmPattern("bossa"), nullptr);
  EXPECT_EQ(findRhythmPattern("bossa")->name, "Bossa Nova");
  EXPECT_EQ(findRhythmPattern("Bossa"), nullptr);
  EXPECT_EQ(findRhythmPattern(""), nullptr);
}

TEST(RhythmPatternsRequest, ReplyListsEveryPatternAsPublished) {
  const auto payload = patternsReply();
  const auto& patterns = payload.at("patterns");
  ASSERT_TRUE(patterns.is_object());
  ASSERT_EQ(patterns.size(), 40u);
  for (const auto& row : kCatalogue) {
    SCOPED_TRACE(row.id);
    ASSERT_TRUE(patterns.contains(row.id));
    const auto& member = patterns.at(row.id);
    EXPECT_EQ(member.size(), 5u);
    EXPECT_EQ(member.at("order"), row.order);
    EXPECT_EQ(member.at("name"), row.name);
    EXPECT_EQ(member.at("category"), row.category);
    EXPECT_TRUE(member.at("description").is_string());
    EXPECT_EQ(eventsText(member.at("pattern")), row.events);
  }
}

TEST(RhythmPatternsRequest, WholeNoteComesFirst) {
  const auto none = patternsReply().at("patterns").at("none");
  EXPECT_EQ(none.at("order"), 0);
  EXPECT_EQ(none.at("name"), "Whole Note");
  EXPECT_EQ(none.at("description"), "One chord per bar");
  EXPECT_EQ(none.at("pattern"), Json::parse(R"([{"offset":0,"duration":16}])"));
}

TEST(RhythmPatternsRequest, GospelSplitStrikesBassAndTopTogether) {
  const auto reply = patternsReply();
  const auto& events = reply.at("patterns").at("split-5").at("pattern");
  std::set<std::string> atStepEight;
  for (const auto& event : events)
    if (event.at("offset") == 8) atStepEight.insert(event.at("voices").get<std::string>());
  EXPECT_EQ(atStepEight, (std::set<std::string>{"bass", "top"}));
}

TEST(RhythmPatternsRequest, VoicesKeyOnlyOnSplitVoiceEvents) {
  const auto reply = patternsReply();
  for (const auto& [id, member] : reply.at("patterns").items()) {
    const bool split = member.at("category") == "Split Voice";
    for (const auto& event : member.at("pattern")) {
      EXPECT_EQ(event.contains("voices"), split) << id;
      if (event.contains("voices")) {
        EXPECT_NE(event.at("voices"), "all") << id;
      }
    }
  }
}

TEST(RhythmPatternsRequest, MembersAreKeyedInByteOrderWithOrderCarried) {
  const auto text = patternsReply().at("patterns").dump();
  // Serialised member order follows the ids, not the catalogue; "bossa" precedes "none".
  EXPECT_LT(text.find("\"bossa\""), text.find("\"none\""));
  EXPECT_EQ(patternsReply().at("patterns").at("split-reggae").at("order"), 39);
}

TEST(RhythmPatternsRequest, SameReplyForEveryRequestApartFromRequestId) {
  const auto plain = patternsReply();
  EXPECT_FALSE(plain.contains("request_id"));

  auto withId = patternsReply(Json{{"request_id", "r-7"}, {"genre", "jazz"}});
  EXPECT_EQ(withId.at("request_id"), "r-7");
  withId.erase("request_id");
  EXPECT_EQ(withId, plain);

  // Only a string correlation id is echoed; payloads of any shape are answered.
  EXPECT_EQ(patternsReply(Json{{"request_id", 12}}), plain);
  EXPECT_EQ(patternsReply(Json()), plain);
  EXPECT_EQ(patternsReply(Json::array({1, 2})), plain);
  EXPECT_EQ(patternsReply(Json("text")), plain);
}

}  // namespace
}  // namespace tw
