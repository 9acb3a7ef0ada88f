#include <gtest/gtest.h>

#include "chord/quality_catalogue.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {
namespace {

struct ParseReplyCase {
  const char* payload;
  const char* type;
  const char* reply;
};

TEST(ParseChordRequest, Replies) {
  const ParseReplyCase cases[] = {
      {R"({})", "parse_error", R"({"message":"Missing chord"})"},
      {R"(null)", "parse_error", R"({"message":"Missing chord"})"},
      {R"([1])", "parse_error", R"({"message":"Missing chord"})"},
      {R"("Cmaj7")", "parse_error", R"({"message":"Missing chord"})"},
      {R"({"chord":"X"})", "parse_error", R"({"message":"Invalid chord"})"},
      {R"({"chord":""})", "parse_error", R"({"message":"Invalid chord"})"},
      {R"({"chord":"C/E7"})", "parse_error", R"({"message":"Invalid chord"})"},
      {R"({"chord":"Gb7"})", "parse_result",
       R"({"category":"dominant","quality":"7","root":"Gb","symbol":"Gb7"})"},
      {R"({"chord":"F#m"})", "parse_result",
       R"({"category":"minor","quality":"m","root":"F#","symbol":"F#m"})"},
      {R"({"chord":"Cdim/Eb"})", "parse_result",
       R"({"bass":"Eb","category":"diminished","quality":"dim","root":"C","symbol":"Cdim/Eb"})"},
      {R"({"chord":"C7/Bb"})", "parse_result",
       R"({"bass":"A#","category":"dominant","quality":"7","root":"C","symbol":"C7/Bb"})"},
      {R"({"chord":"  Ebm7b5 "})", "parse_result",
       R"({"category":"half-diminished","quality":"m7b5","root":"Eb","symbol":"Ebm7b5"})"},
      {R"({"chord":"C6/9"})", "parse_result",
       R"({"category":"sixth","quality":"69","root":"C","symbol":"C6/9"})"},
      {R"({"chord":"D7b5/Ab"})", "parse_result",
       R"({"bass":"Ab","category":"dominant","quality":"7b5","root":"D","symbol":"D7b5/Ab"})"},
      {R"({"chord":"C#7/Bb"})", "parse_result",
       R"({"bass":"A#","category":"dominant","quality":"7","root":"C#","symbol":"C#7/Bb"})"},
      {R"({"chord":"g-7","request_id":"r1"})", "parse_result",
       R"({"category":"minor","quality":"m7","root":"G","symbol":"g-7"})"},
      {R"({"chord":"Bbsus"})", "parse_result",
       R"({"category":"suspended","quality":"sus4","root":"Bb","symbol":"Bbsus"})"},
      // The table is chosen from the text as sent: behind leading white space the root has
      // no written accidental, and the chord's fifth decides.
      {R"({"chord":" Bb7"})", "parse_result",
       R"({"category":"dominant","quality":"7","root":"A#","symbol":"Bb7"})"},
      {R"({"chord":" E##11b5"})", "parse_result",
       R"({"category":"dominant","quality":"11b5","root":"Gb","symbol":"E##11b5"})"},
  };
  for (const auto& c : cases) {
    const HandlerReply reply = handleParseChord(Json::parse(c.payload));
    EXPECT_EQ(reply.type, c.type) << c.payload;
    EXPECT_EQ(reply.payload, Json::parse(c.reply)) << c.payload << " -> " << reply.payload.dump();
  }
}

TEST(ParseChordRequest, ChordOfAnotherTypeIsAJsonTypeError) {
  for (const char* payload : {R"({"chord":1})", R"({"chord":null})", R"({"chord":["C"]})",
                              R"({"chord":{"root":"C"}})", R"({"chord":true})"})
    EXPECT_THROW(handleParseChord(Json::parse(payload)), nlohmann::json::type_error) << payload;
}

TEST(SupportedQualitiesRequest, ListsTheWholeCatalogueInOrder) {
  const HandlerReply reply = handleGetSupportedQualities(Json::object());
  EXPECT_EQ(reply.type, "supported_qualities");
  ASSERT_TRUE(reply.payload.is_object());
  EXPECT_FALSE(reply.payload.contains("request_id"));
  const Json& qualities = reply.payload.at("qualities");
  ASSERT_EQ(qualities.size(), 381u);
  const auto& expected = supportedQualities();
  for (std::size_t i = 0; i < qualities.size(); ++i) {
    EXPECT_EQ(qualities[i].size(), 2u);
    EXPECT_EQ(qualities[i].at("symbol"), expected[i].symbol);
    EXPECT_EQ(qualities[i].at("intervals"), Json(expected[i].intervals.toVector()));
  }
  EXPECT_EQ(qualities[0], Json::parse(R"({"intervals":[0,4,7,10,14,17],"symbol":"11"})"));
}

TEST(SupportedQualitiesRequest, EchoesOnlyANonEmptyStringRequestId) {
  struct Case { const char* payload; bool echoed; };
  const Case cases[] = {
      {R"({"request_id":"abc"})", true}, {R"({"request_id":""})", false},
      {R"({"request_id":7})", false},    {R"(null)", false},
      {R"([1,2])", false},               {R"("text")", false},
  };
  for (const auto& c : cases) {
    const HandlerReply reply = handleGetSupportedQualities(Json::parse(c.payload));
    EXPECT_EQ(reply.type, "supported_qualities") << c.payload;
    EXPECT_EQ(reply.payload.at("qualities").size(), 381u);
    EXPECT_EQ(reply.payload.contains("request_id"), c.echoed) << c.payload;
    if (c.echoed) {
      EXPECT_EQ(reply.payload.at("request_id"), "abc");
    }
  }
}

}  // namespace
}  // namespace tw
