// The reply envelope rules, the generic error payload and strict decoding of request text.
#include <gtest/gtest.h>

#include "protocol/reply_serialisation.hpp"
#include "protocol/request_protocol.hpp"
#include "protocol/text_encoding.hpp"

namespace tw {
namespace {

struct OkCase {
  const char* type;
  const char* payload;
  bool ok;
};

std::ostream& operator<<(std::ostream& out, const OkCase& c) { return out << c.type << " " << c.payload; }

class ReplyOkRule : public ::testing::TestWithParam<OkCase> {};

TEST_P(ReplyOkRule, FollowsTypeAndPayload) {
  const auto& c = GetParam();
  EXPECT_EQ(buildReply(c.type, Json::parse(c.payload)).ok, c.ok) << c.type << " " << c.payload;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyOkRule,
    ::testing::Values(OkCase{"error", "{}", false}, OkCase{"parse_error", "{}", false},
                      OkCase{"detect_key_error", "{}", false},
                      // "_error" alone is shorter than seven characters.
                      OkCase{"_error", "{}", true}, OkCase{"x_error", "{}", false},
                      OkCase{"errors", "{}", true}, OkCase{"parse_result", "{\"success\":true}", true},
                      OkCase{"parse_result", "{\"success\":false}", false},
                      OkCase{"parse_result", "{\"success\":0}", true},
                      OkCase{"parse_result", "{\"success\":\"false\"}", true},
                      OkCase{"parse_result", "{\"error\":null}", false},
                      OkCase{"parse_result", "{\"error\":\"\"}", false},
                      OkCase{"version", "[1,2]", true}, OkCase{"version", "null", true}));

TEST(ReplyEnvelope, NonObjectPayloadIsWrappedUnderValue) {
  const Reply reply = buildReply("list", Json::parse("[1,2,3]"));
  EXPECT_EQ(reply.payload, Json::parse(R"({"value":[1,2,3]})"));
  EXPECT_EQ(buildReply("n", Json()).payload, Json::parse(R"({"value":null})"));
  EXPECT_EQ(buildReply("s", "text").payload, Json::parse(R"({"value":"text"})"));
}

TEST(ReplyEnvelope, StringRequestIdMovesToTheTop) {
  const Reply reply = buildReply("parse_result", Json::parse(R"({"request_id":"a1","x":1})"));
  ASSERT_TRUE(reply.requestId);
  EXPECT_EQ(*reply.requestId, "a1");
  EXPECT_EQ(reply.payload, Json::parse(R"({"x":1})"));
}

TEST(ReplyEnvelope, NonStringRequestIdStaysInThePayload) {
  const Reply reply = buildReply("parse_result", Json::parse(R"({"request_id":7})"));
  EXPECT_FALSE(reply.requestId);
  EXPECT_EQ(reply.payload, Json::parse(R"({"request_id":7})"));
  EXPECT_FALSE(reply.toJson().contains("request_id"));
}

TEST(ReplyEnvelope, ErrorIsCopiedAndKeptInThePayload) {
  const Json envelope = buildReply("voicing_result", Json::parse(R"({"error":{"why":1}})")).toJson();
  EXPECT_EQ(envelope["error"], Json::parse(R"({"why":1})"));
  EXPECT_EQ(envelope["payload"]["error"], Json::parse(R"({"why":1})"));
  EXPECT_FALSE(envelope["ok"].get<bool>());
}

TEST(ReplyEnvelope, SerialisesWithKeysInByteOrder) {
  const std::string text =
      serialiseReply("error", Json::parse(R"({"request_id":"r","error":"e","message":"e"})"));
  EXPECT_EQ(text,
            R"({"error":"e","ok":false,"payload":{"error":"e","message":"e"},"request_id":"r","type":"error"})");
}

TEST(ReplyEnvelope, NonAsciiIsEscaped) {
  Json payload = Json::object();
  payload["symbol"] = "C\u266F";
  payload["emoji"] = "\U0001F3B9";
  const std::string text = serialiseReply("parse_result", payload);
  EXPECT_NE(text.find(R"(C\u266f)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"(\ud83c\udfb9)"), std::string::npos) << text;
  for (const char c : text) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
}

TEST(ReplyEnvelope, InvalidUtf8FailsToSerialise) {
  Json payload = Json::object();
  payload["text"] = std::string("bad \xFF byte");
  EXPECT_THROW(serialiseReply("x", payload), Json::exception);
}

TEST(ErrorPayload, CarriesMessageTwiceCodeTypeAndStringId) {
  EXPECT_EQ(errorPayload("Unknown request type", "unknown_type", "nope", std::string("a1")),
            Json::parse(R"({"message":"Unknown request type","error":"Unknown request type",
                            "code":"unknown_type","requested_type":"nope","request_id":"a1"})"));
  EXPECT_EQ(errorPayload("Missing request type", "missing_type", "", std::nullopt),
            Json::parse(R"({"message":"Missing request type","error":"Missing request type",
                            "code":"missing_type"})"));
}

TEST(ErrorPayload, RequestedTypeWithBrokenBytesStillSerialises) {
  const Json payload = errorPayload("Unknown request type", "unknown_type", "a\xC3", std::nullopt);
  EXPECT_EQ(payload["requested_type"], "a\xEF\xBF\xBD");
  EXPECT_NO_THROW(serialiseReply("error", payload));
}

TEST(DocumentRequestId, OnlyStringsOfObjects) {
  EXPECT_EQ(documentRequestId(Json::parse(R"({"request_id":"x"})")), "x");
  EXPECT_FALSE(documentRequestId(Json::parse(R"({"request_id":1})")));
  EXPECT_FALSE(documentRequestId(Json::parse(R"(["request_id"])")));
  EXPECT_FALSE(documentRequestId(Json()));
}

TEST(Decoding, EmptyTextIsNull) {
  const auto decoded = decodeRequestText("");
  EXPECT_FALSE(decoded.error);
  EXPECT_TRUE(decoded.value.is_null());
}

TEST(Decoding, IsStrict) {
  EXPECT_TRUE(decodeRequestText("{} // note").error);
  EXPECT_TRUE(decodeRequestText("/* c */ {}").error);
  EXPECT_TRUE(decodeRequestText("{} {}").error);
  EXPECT_TRUE(decodeRequestText("{'a':1}").error);
  EXPECT_TRUE(decodeRequestText("   ").error);
  EXPECT_FALSE(decodeRequestText(" {\"a\":1} \n\t").error);
  EXPECT_FALSE(decodeRequestText("42").error);
}

TEST(Decoding, HugeNumbersAreDecodeErrorsNotCrashes) {
  EXPECT_TRUE(decodeRequestText("1e999").error);
  EXPECT_FALSE(decodeRequestText("123456789012345678901234567890").error);
}

TEST(Decoding, DeepNestingIsRefusedBeforeParsing) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  const auto decoded = decodeRequestText(deep);
  ASSERT_TRUE(decoded.error);
  EXPECT_NE(decoded.error->find("nesting"), std::string::npos);
  const std::string allowed = std::string(kMaxJsonNesting, '[') + std::string(kMaxJsonNesting, ']');
  EXPECT_FALSE(decodeRequestText(allowed).error);
}

TEST(Decoding, BracketsInsideStringsDoNotCount) {
  const std::string text = "{\"a\":\"" + std::string(1000, '[') + "\\\"" + "\"}";
  EXPECT_FALSE(decodeRequestText(text).error);
}

TEST(Decoding, DescriptionOfBrokenUtf8IsMadeValid) {
  const auto decoded = decodeRequestText("{\"a\":\"\xFF\xFE\"}");
  ASSERT_TRUE(decoded.error);
  EXPECT_TRUE(isValidUtf8(*decoded.error));
  const auto bare = decodeRequestText("\xC3");
  ASSERT_TRUE(bare.error);
  EXPECT_TRUE(isValidUtf8(*bare.error));
}

TEST(TextEncoding, ValidatesAndRepairsUtf8) {
  EXPECT_TRUE(isValidUtf8("plain"));
  EXPECT_TRUE(isValidUtf8("C\xE2\x99\xAF"));
  EXPECT_TRUE(isValidUtf8("\xF0\x9F\x8E\xB9"));
  EXPECT_FALSE(isValidUtf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(isValidUtf8("\xE2\x99"));          // cut short
  EXPECT_EQ(replaceInvalidUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(replaceInvalidUtf8("C\xE2\x99\xAF"), "C\xE2\x99\xAF");
  EXPECT_TRUE(isValidUtf8(replaceInvalidUtf8("\xE2\x99\xE2\x99\xAF\x80")));
}

TEST(TextEncoding, NestingDepth) {
  EXPECT_EQ(jsonNestingDepth("{}", 10), 1u);
  EXPECT_EQ(jsonNestingDepth("[{\"a\":[1]}]", 10), 3u);
  EXPECT_EQ(jsonNestingDepth("\"[[[[\"", 10), 0u);
  EXPECT_EQ(jsonNestingDepth(std::string(50, '['), 10), 11u);
}

}  // namespace
}  // namespace tw
