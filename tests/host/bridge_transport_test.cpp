// Host messages in, "toJweb" messages out: page events, the three message forms, the
// probe summary, ASCII escaping and chunking.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/bridge_transport.hpp"
#include "host/clipboard.hpp"
#include "host/reply_reassembly.hpp"
#include "host_test_support.hpp"

namespace tw {
namespace {

using testing::OutletRecorder;
using testing::ProbeObject;
using testing::symbols;

struct Bridge {
  ProbeObject object;
  OutletRecorder recorder;
  InMemoryClipboard clipboard;
  BridgeTransport transport{object.out(), clipboard};
  Bridge() { object.setOutletSink(recorder.sink()); }
  std::vector<Json> envelopes() const { return testing::envelopesFrom(recorder.sent); }
};

TEST(AtomText, FollowsTheRuleForEveryKind) {
  EXPECT_EQ(atomToText(Atom::symbol("Cm7")), "Cm7");
  EXPECT_EQ(atomToText(Atom::symbol("")), "");
  EXPECT_EQ(atomToText(Atom::integer(-42)), "-42");
  EXPECT_EQ(atomToText(Atom::integer(std::numeric_limits<long long>::min())), "-9223372036854775808");
  EXPECT_EQ(atomToText(Atom::real(1.5)), "1.500000");
  EXPECT_EQ(atomToText(Atom::real(-0.0000004)), "-0.000000");
  EXPECT_EQ(atomToText(Atom::object("jweb")), "jweb");
  EXPECT_EQ(atomToText(Atom::object(std::nullopt)), "NULL");
  EXPECT_EQ(atomToText(Atom::semicolon()), ";");
  EXPECT_EQ(atomToText(Atom::comma()), ",");
  EXPECT_EQ(atomToText(Atom::other()), "?");
  EXPECT_FALSE(atomToText(Atom::real(1e300)).empty());
  EXPECT_FALSE(atomToText(Atom::real(std::nan(""))).empty());
}

TEST(PageEvents, TypedAndUntypedLists) {
  for (const char* event : {"onloadstart", "onloadend", "onload", "url", "title", "loading", "loaded"}) {
    EXPECT_TRUE(isTypedPageEvent(event)) << event;
    EXPECT_TRUE(isUntypedPageEvent(event)) << event;
  }
  EXPECT_TRUE(isUntypedPageEvent("{}"));
  EXPECT_TRUE(isUntypedPageEvent(""));
  EXPECT_FALSE(isTypedPageEvent("{}"));
  EXPECT_FALSE(isTypedPageEvent("message"));
  EXPECT_FALSE(isTypedPageEvent("URL"));
}

TEST(RequestMessages, EighteenWithSixThatMayOmitText) {
  EXPECT_EQ(requestMessageTypes().size(), 18u);
  int optional = 0;
  for (auto type : requestMessageTypes()) optional += requestMessageMayOmitText(type) ? 1 : 0;
  EXPECT_EQ(optional, 6);
  EXPECT_FALSE(requestMessageMayOmitText("parse_chord"));
  EXPECT_TRUE(requestMessageMayOmitText("get_relevant_voicings"));
}

TEST(FromJweb, PageEventsProduceNothing) {
  Bridge b;
  for (const char* event : {"url", "title", "onload", "onloadstart", "onloadend", "loading", "loaded"})
    b.transport.receiveFromJweb(symbols({event, "{}"}));
  EXPECT_TRUE(b.recorder.sent.empty());
}

TEST(FromJweb, FewerThanTwoArgumentsAreDropped) {
  Bridge b;
  b.transport.receiveFromJweb({});
  b.transport.receiveFromJweb(symbols({"get_version"}));
  EXPECT_TRUE(b.recorder.sent.empty());
}

TEST(FromJweb, UnknownEventNameIsAnUnknownType) {
  Bridge b;
  b.transport.receiveFromJweb(symbols({"message", "{}"}));
  const auto envelopes = b.envelopes();
  ASSERT_EQ(envelopes.size(), 1u);
  EXPECT_EQ(envelopes[0]["error"], "Unknown request type");
  EXPECT_EQ(envelopes[0]["payload"]["requested_type"], "message");
}

TEST(FromJweb, ExtraArgumentsAreIgnoredAndRepliesLeaveAsToJweb) {
  Bridge b;
  b.transport.receiveFromJweb(symbols({"ready", R"({"request_id":"x"})", "extra", "more"}));
  ASSERT_EQ(b.recorder.sent.size(), 1u);
  const auto& sent = b.recorder.sent[0];
  EXPECT_EQ(sent.outlet, 0);
  EXPECT_EQ(sent.atoms, symbols({"toJweb", "ready_ack", R"({"ok":true,"payload":{},"request_id":"x","type":"ready_ack"})"}));
}

TEST(FromJweb, NumericAtomsAreTurnedIntoText) {
  Bridge b;
  b.transport.receiveFromJweb(Atoms{Atom::symbol("get_version"), Atom::integer(5)});
  b.transport.receiveFromJweb(Atoms{Atom::integer(5), Atom::symbol("{}")});
  b.transport.receiveFromJweb(Atoms{Atom::symbol("get_version"), Atom::real(2.5)});
  const auto envelopes = b.envelopes();
  ASSERT_EQ(envelopes.size(), 3u);
  EXPECT_EQ(envelopes[0]["type"], "version");  // the text "5" is a JSON number
  EXPECT_EQ(envelopes[1]["payload"]["requested_type"], "5");
  EXPECT_EQ(envelopes[2]["type"], "version");
}

TEST(RequestTypeMessages, TextlessRequestsThatNeedTextAreDropped) {
  Bridge b;
  b.transport.receiveRequestMessage("parse_chord", {});
  b.transport.receiveRequestMessage("generate_progression", {});
  EXPECT_TRUE(b.recorder.sent.empty());
}

TEST(RequestTypeMessages, VersionWithoutTextIsAnswered) {
  Bridge b;
  b.transport.receiveRequestMessage("get_version", {});
  const auto envelopes = b.envelopes();
  ASSERT_EQ(envelopes.size(), 1u);
  EXPECT_EQ(envelopes[0]["payload"]["version"], "1.1.1");
}

TEST(RequestTypeMessages, FirstArgumentIsTheText) {
  Bridge b;
  b.transport.receiveRequestMessage("get_version", symbols({R"({"request_id":"v"})", "ignored"}));
  EXPECT_EQ(b.envelopes().at(0)["request_id"], "v");
}

TEST(Untyped, QuotedJsonSelectorIsUnquoted) {
  Bridge b;
  b.transport.receiveUntyped(Atom::symbol(R"("{"type":"get_version"}")"));
  const auto envelopes = b.envelopes();
  ASSERT_EQ(envelopes.size(), 1u);
  EXPECT_EQ(envelopes[0]["type"], "version");
}

TEST(Untyped, OnlyOnePairOfQuotesIsRemoved) {
  Bridge b;
  b.transport.receiveUntyped(Atom::symbol(R"(""{"type":"get_version"}"")"));
  EXPECT_TRUE(b.recorder.sent.empty());  // what remains begins with a quote
}

TEST(Untyped, FilteredSelectorsProduceNothing) {
  Bridge b;
  for (const char* selector : {"", "{}", "url", "title", "onload", "loaded", "loading", "onloadend",
                               "onloadstart", "\"\"", "\"", "hello", " {\"type\":\"ready\"}", "[1]"})
    b.transport.receiveUntyped(Atom::symbol(selector));
  b.transport.receiveUntyped(Atom::integer(3));
  b.transport.receiveUntyped(Atom::semicolon());
  EXPECT_TRUE(b.recorder.sent.empty());
}

TEST(Untyped, QuotedEmptyObjectIsNotAPageEvent) {
  Bridge b;
  b.transport.receiveUntyped(Atom::symbol("\"{}\""));
  const auto envelopes = b.envelopes();
  ASSERT_EQ(envelopes.size(), 1u);
  EXPECT_EQ(envelopes[0]["payload"]["code"], "unknown_payload_shape");
}

TEST(SendReply, SharpSignIsEscaped) {
  Bridge b;
  b.transport.sendReply("parse_result", Json{{"symbol", "C\u266F"}});
  const std::string& text = b.recorder.sent.at(0).atoms.at(2).name();
  EXPECT_NE(text.find("\\u266f"), std::string::npos) << text;
  EXPECT_EQ(text.find("\u266F"), std::string::npos);
}

TEST(SendReply, ProbeSummaryOnlyForProgressionVoicings) {
  Bridge b;
  b.transport.sendReply("progression_voicings", Json{{"request_id", "p"}});
  b.transport.sendReply("voicing_result", Json::object());
  const auto envelopes = b.envelopes();
  ASSERT_EQ(envelopes.size(), 2u);
  EXPECT_EQ(envelopes[0]["payload"]["tw_probe_meta"],
            Json::parse(R"({"display_romans":-1,"display_symbols":-1,"first_symbol":"null",
                            "max_manual_inversions":-1,"voicings":-1})"));
  EXPECT_EQ(envelopes[0]["payload"].size(), 1u);  // request_id moved out first
  EXPECT_FALSE(envelopes[1]["payload"].contains("tw_probe_meta"));
}

TEST(SendReply, ProbeSummaryCountsArrays) {
  const Json payload = Json::parse(R"({"voicings":[[60],[62]],"max_manual_inversions":[1,2,3],
      "display_symbols":["Dm7","G7"],"display_romans":"ii V"})");
  EXPECT_EQ(probeSummary(payload), Json::parse(R"({"display_romans":-1,"display_symbols":2,
      "first_symbol":"Dm7","max_manual_inversions":3,"voicings":2})"));
  EXPECT_EQ(probeSummary(Json::parse(R"({"display_symbols":[]})"))["first_symbol"], "null");
  EXPECT_EQ(probeSummary(Json::parse(R"({"display_symbols":[null,"C"]})"))["first_symbol"], "null");
}

TEST(SendReply, ProbeSummaryDoesNotChangeOk) {
  Bridge b;
  b.transport.sendReply("progression_voicings", Json{{"success", false}});
  EXPECT_EQ(b.envelopes().at(0)["ok"], false);
}

// A payload whose envelope serialises to exactly `bytes` bytes.
Json payloadOfSize(std::size_t bytes, const std::string& type) {
  const std::size_t overhead = serialiseReply(type, Json{{"text", ""}}).size();
  return Json{{"text", std::string(bytes - overhead, 'x')}};
}

TEST(Chunking, TwelveThousandBytesGoAsOneMessage) {
  Bridge b;
  b.transport.sendReply("big_result", payloadOfSize(12000, "big_result"));
  ASSERT_EQ(b.recorder.sent.size(), 1u);
  EXPECT_EQ(b.recorder.sent[0].atoms[1].name(), "big_result");
  EXPECT_EQ(b.recorder.sent[0].atoms[2].name().size(), 12000u);
}

TEST(Chunking, OneByteMoreGoesAsTwoPieces) {
  Bridge b;
  const Json payload = payloadOfSize(12001, "big_result");
  const std::string whole = serialiseReply("big_result", payload);
  b.transport.sendReply("big_result", payload);
  ASSERT_EQ(b.recorder.sent.size(), 2u);
  const Json first = Json::parse(b.recorder.sent[0].atoms[2].name());
  const Json second = Json::parse(b.recorder.sent[1].atoms[2].name());
  EXPECT_EQ(b.recorder.sent[0].atoms[1].name(), "__tw_chunk");
  EXPECT_EQ(first["total"], 2);
  EXPECT_EQ(first["index"], 0);
  EXPECT_EQ(second["index"], 1);
  EXPECT_EQ(first["type"], "big_result");
  EXPECT_EQ(first["chunk"].get<std::string>().size(), 12000u);
  EXPECT_EQ(second["chunk"].get<std::string>().size(), 1u);
  EXPECT_EQ(first["id"], second["id"]);
  EXPECT_EQ(first["chunk"].get<std::string>() + second["chunk"].get<std::string>(), whole);
  // The record's keys are in byte order on the wire.
  EXPECT_EQ(b.recorder.sent[0].atoms[2].name().rfind("{\"chunk\":", 0), 0u);
}

TEST(Chunking, CounterAdvancesOnlyForChunkedReplies) {
  Bridge b;
  b.transport.sendReply("big_result", payloadOfSize(30000, "big_result"));
  b.transport.sendReply("small", Json::object());
  b.transport.sendReply("big_result", payloadOfSize(12001, "big_result"));
  ASSERT_EQ(b.recorder.sent.size(), 6u);
  const std::string firstId = Json::parse(b.recorder.sent[0].atoms[2].name())["id"];
  const std::string secondId = Json::parse(b.recorder.sent[4].atoms[2].name())["id"];
  ASSERT_EQ(firstId.rfind("tw_chunk_", 0), 0u);
  const auto first = std::stoull(firstId.substr(9));
  EXPECT_EQ(secondId, "tw_chunk_" + std::to_string(first + 1));
  EXPECT_EQ(Json::parse(b.recorder.sent[2].atoms[2].name())["total"], 3);
}

TEST(Chunking, EscapedTextReassemblesExactly) {
  Bridge b;
  Json payload = Json::object();
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "\"\\\u266F\n";
  payload["text"] = text;
  b.transport.sendReply("quoted_result", payload);
  const auto envelopes = b.envelopes();
  ASSERT_EQ(envelopes.size(), 1u);
  EXPECT_EQ(envelopes[0]["payload"]["text"], text);
  EXPECT_GT(b.recorder.sent.size(), 2u);
}

TEST(SendToBridge, SendsTheEventAndText) {
  Bridge b;
  b.transport.sendToBridge("system_wake", "{}");
  ASSERT_EQ(b.recorder.sent.size(), 1u);
  EXPECT_EQ(b.recorder.sent[0].atoms, symbols({"toBridge", "system_wake", "{}"}));
}

TEST(Reassembly, RejectsPiecesOutOfOrder) {
  ReplyReassembler reassembler;
  const auto records = chunkRecords("t", std::string(30000, 'a'), 77);
  ASSERT_EQ(records.size(), 3u);
  const auto piece = [](const std::string& record) { return Atoms{Atom::symbol("toJweb"), Atom::symbol("__tw_chunk"), Atom::symbol(record)}; };
  EXPECT_FALSE(reassembler.accept(piece(records[0])).error);
  EXPECT_TRUE(reassembler.accept(piece(records[2])).error);
  EXPECT_FALSE(reassembler.pending());
  EXPECT_FALSE(reassembler.accept(symbols({"toBridge", "system_wake", "{}"})).isReply);
  EXPECT_TRUE(reassembler.accept(symbols({"toJweb", "__tw_chunk", "{"})).error);
}

}  // namespace
}  // namespace tw
