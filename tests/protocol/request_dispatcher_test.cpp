// The dispatcher through its public entries: typed and untyped text in, envelopes out.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "host/clipboard.hpp"
#include "protocol/request_dispatcher.hpp"
#include "host/host_test_support.hpp"

namespace tw {
namespace {

using testing::RecordingSink;

struct Dispatch {
  RecordingSink sink;
  InMemoryClipboard clipboard;
  RequestDispatcher dispatcher{sink, clipboard};
};

TEST(Dispatcher, UntypedVersionRequest) {
  Dispatch d;
  d.dispatcher.handleUntypedRequest(R"({"type":"get_version"})");
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["type"], "version");
  EXPECT_EQ(reply["ok"], true);
  EXPECT_EQ(reply["payload"], Json::parse(R"({"version":"1.1.1"})"));
}

// The README names the replies that never echo a request_id; every other reply echoes it.
TEST(Dispatcher, TheRepliesWithoutRequestIdAreThoseTheReadmeNames) {
  std::ifstream file(std::string(TONALWEAVER_SOURCE_DIR) + "/README.md");
  const std::string readme = std::regex_replace(
      std::string(std::istreambuf_iterator<char>(file), {}), std::regex("\\s+"), " ");
  std::smatch found;
  ASSERT_TRUE(std::regex_search(readme, found, std::regex("The replies of ([a-z_, ]+) never echo a `request_id`")));
  std::set<std::string> named;
  const std::string list = std::regex_replace(found[1].str(), std::regex(",| and "), " ");
  const std::regex word("[a-z_]+");
  for (std::sregex_iterator it(list.begin(), list.end(), word), end; it != end; ++it) named.insert(it->str());

  const std::pair<const char*, const char*> requests[] = {
      {"generate_voicing", R"({"chord":"C","style":"closed"})"}, {"generate_progression", R"({"slots":[]})"},
      {"generate_local_progression", R"({"genre":"Rock","length":4})"}, {"parse_chord", R"({"chord":"C"})"},
      {"parse_progression", R"({"progression":"C G"})"}, {"detect_key", R"({"progression":"C G"})"},
      {"get_diatonic_chords", R"({"root":"C"})"}, {"get_voicing_styles", "{}"},
      {"get_relevant_voicings", R"({"chord":"C"})"}, {"get_range_presets", "{}"}, {"get_rhythm_patterns", "{}"},
      {"get_supported_qualities", "{}"}, {"transpose_progression", R"({"chords":["C"]})"},
      {"recalculate_romans", R"({"chords":["C"]})"}, {"get_available_modifiers", R"({"chord":"C"})"},
      {"apply_modifiers", R"({"chord":"C"})"}, {"get_suggestions", R"({"root":"C"})"}, {"get_version", "{}"},
      {"read_clipboard", "{}"}, {"ready", "{}"}};
  std::set<std::string> silent;
  for (const auto& [type, payload] : requests) {
    Dispatch d;
    Json request = Json::parse(payload);
    request["request_id"] = "r";
    d.dispatcher.handleTypedRequest(type, request.dump());
    if (!d.sink.only().contains("request_id")) silent.insert(type);
  }
  EXPECT_EQ(silent, named);
}

TEST(Dispatcher, EnvelopedReadyEchoesRequestIdAtTheTop) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("ready", R"({"type":"ready","payload":{},"request_id":"a1"})");
  EXPECT_EQ(d.sink.texts.at(0), R"({"ok":true,"payload":{},"request_id":"a1","type":"ready_ack"})");
}

TEST(Dispatcher, EnvelopeSentUnderAnotherTypeFails) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("get_version", R"({"type":"ready","payload":{},"request_id":"a1"})");
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["type"], "error");
  EXPECT_EQ(reply["ok"], false);
  EXPECT_EQ(reply["request_id"], "a1");
  EXPECT_EQ(reply["error"], "Request handling failed");
  EXPECT_EQ(reply["payload"], Json::parse(R"({"code":"invalid_payload","error":"Request handling failed",
      "message":"Request handling failed","requested_type":"get_version"})"));
}

TEST(Dispatcher, EnvelopeWithoutInnerTypeOrWithEmptyTypeIsAccepted) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("ready", R"({"payload":{"request_id":"in"},"request_id":"out"})");
  d.dispatcher.handleTypedRequest("ready", R"({"type":"","payload":{}})");
  ASSERT_EQ(d.sink.envelopes.size(), 2u);
  EXPECT_EQ(d.sink.envelopes[0]["request_id"], "in");  // the payload's own id wins
  EXPECT_EQ(d.sink.envelopes[1]["type"], "ready_ack");
}

TEST(Dispatcher, NonObjectPayloadOrNonStringInnerTypeFails) {
  for (const char* text : {R"({"payload":[1]})", R"({"payload":null})", R"({"type":3,"payload":{}})"}) {
    Dispatch d;
    d.dispatcher.handleTypedRequest("ready", text);
    EXPECT_EQ(d.sink.only()["payload"]["code"], "invalid_payload") << text;
  }
}

TEST(Dispatcher, NumericRequestIdOfAnEnvelopeIsNotCopied) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("get_version", R"({"payload":{},"request_id":9})");
  EXPECT_EQ(d.sink.only()["payload"], Json::parse(R"({"version":"1.1.1"})"));
}

TEST(Dispatcher, NumericRequestIdOfAFlatRequestIsEchoedInThePayload) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("get_version", R"({"request_id":9})");
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["payload"], Json::parse(R"({"version":"1.1.1","request_id":9})"));
  EXPECT_FALSE(reply.contains("request_id"));
}

TEST(Dispatcher, VersionEchoesRequestIdsOfAnyKind) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("get_version", R"({"request_id":{"a":[1,{"b":null}]}})");
  d.dispatcher.handleTypedRequest("ready", R"({"request_id":[true]})");
  EXPECT_EQ(d.sink.envelopes.at(0)["payload"]["request_id"], Json::parse(R"({"a":[1,{"b":null}]})"));
  EXPECT_EQ(d.sink.envelopes.at(1)["payload"]["request_id"], Json::parse("[true]"));
}

TEST(Dispatcher, EmptyTextIsANullDocument) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("get_version", "");
  d.dispatcher.handleTypedRequest("ready", "");
  ASSERT_EQ(d.sink.envelopes.size(), 2u);
  EXPECT_EQ(d.sink.envelopes[0]["type"], "version");
  EXPECT_EQ(d.sink.envelopes[1]["payload"], Json::object());
}

TEST(Dispatcher, NonObjectDocumentsStillGetAnAnswer) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("get_version", "[1,2]");
  d.dispatcher.handleTypedRequest("ready", "\"x\"");
  ASSERT_EQ(d.sink.envelopes.size(), 2u);
  EXPECT_EQ(d.sink.envelopes[0]["payload"], Json::parse(R"({"version":"1.1.1"})"));
  EXPECT_EQ(d.sink.envelopes[1]["type"], "ready_ack");
}

TEST(Dispatcher, InvalidTypedJson) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("get_version", "{oops");
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["type"], "error");
  EXPECT_EQ(reply["ok"], false);
  const std::string message = reply["payload"]["message"];
  EXPECT_EQ(message.rfind("Invalid JSON: ", 0), 0u) << message;
  EXPECT_EQ(reply["payload"].size(), 1u);  // no code, no request_id
  EXPECT_FALSE(reply.contains("error"));
}

TEST(Dispatcher, InvalidUntypedJson) {
  Dispatch d;
  d.dispatcher.handleUntypedRequest("{\"type\":");
  const std::string message = d.sink.only()["payload"]["message"];
  EXPECT_EQ(message.rfind("JSON parse error: ", 0), 0u) << message;
}

TEST(Dispatcher, UntypedNonStringTypeIsAParseError) {
  Dispatch d;
  d.dispatcher.handleUntypedRequest(R"({"type":12,"request_id":"q"})");
  const Json& reply = d.sink.only();
  const std::string message = reply["payload"]["message"];
  EXPECT_EQ(message.rfind("JSON parse error: ", 0), 0u) << message;
  EXPECT_FALSE(reply.contains("request_id"));
}

TEST(Dispatcher, InvalidUtf8InTheTextGivesAValidReply) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("get_version", "{\"request_id\":\"\xFF\"}");
  d.dispatcher.handleUntypedRequest("{\"chord\":\"\xC3(\"}");
  ASSERT_EQ(d.sink.envelopes.size(), 2u);
  for (const auto& reply : d.sink.envelopes) EXPECT_EQ(reply["type"], "error");
}

TEST(Dispatcher, DeepNestingIsInvalidJson) {
  Dispatch d;
  const std::string deep = "{\"request_id\":" + std::string(5000, '[') + std::string(5000, ']') + "}";
  d.dispatcher.handleTypedRequest("get_version", deep);
  const std::string message = d.sink.only()["payload"]["message"];
  EXPECT_EQ(message.rfind("Invalid JSON: ", 0), 0u);
}

TEST(Dispatcher, ModeratelyNestedRequestIdIsEchoed) {
  Dispatch d;
  const std::string nested = "{\"request_id\":" + std::string(200, '[') + std::string(200, ']') + "}";
  d.dispatcher.handleTypedRequest("get_version", nested);
  EXPECT_EQ(d.sink.only()["type"], "version");
}

struct UntypedCase {
  const char* text;
  const char* code;  // empty: no reply at all
};

std::ostream& operator<<(std::ostream& out, const UntypedCase& c) { return out << c.text; }

class UntypedShapes : public ::testing::TestWithParam<UntypedCase> {};

TEST_P(UntypedShapes, AreAnsweredOrDropped) {
  Dispatch d;
  d.dispatcher.handleUntypedRequest(GetParam().text);
  if (std::string_view(GetParam().code).empty()) {
    EXPECT_TRUE(d.sink.envelopes.empty()) << GetParam().text;
    return;
  }
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["type"], "error");
  EXPECT_EQ(reply["payload"]["code"], GetParam().code) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UntypedShapes,
    ::testing::Values(UntypedCase{R"({"chord":"C"})", "ambiguous_payload"},
                      UntypedCase{R"({"chord":"C","modifiers":[]})", "unknown_payload_shape"},
                      UntypedCase{R"({"chord":"C","getModifiers":true})", "unknown_payload_shape"},
                      UntypedCase{R"({"mode":"major"})", ""},
                      UntypedCase{R"({"mode":"major","tempo":3})", ""},
                      UntypedCase{R"({"root":"C","mode":"major"})", "unknown_payload_shape"},
                      UntypedCase{R"({"type":""})", "unknown_payload_shape"},
                      UntypedCase{R"({"type":"dance"})", "unknown_type"},
                      UntypedCase{R"({ })", "unknown_payload_shape"},
                      UntypedCase{R"({"x":1})", "unknown_payload_shape"}));

TEST(Dispatcher, AmbiguousAndUnknownShapePayloadsHoldOnlyMessageAndCode) {
  Dispatch d;
  d.dispatcher.handleUntypedRequest(R"({"chord":"C","request_id":"z"})");
  d.dispatcher.handleUntypedRequest(R"({"x":1,"request_id":"z"})");
  ASSERT_EQ(d.sink.envelopes.size(), 2u);
  EXPECT_EQ(d.sink.envelopes[0]["payload"],
            Json::parse(R"({"message":"Ambiguous chord payload: include explicit type","code":"ambiguous_payload"})"));
  EXPECT_EQ(d.sink.envelopes[1]["payload"],
            Json::parse(R"({"message":"Unknown JSON message format","code":"unknown_payload_shape"})"));
  EXPECT_FALSE(d.sink.envelopes[0].contains("request_id"));
}

TEST(Dispatcher, UnknownTypeNamesTheTypeAndKeepsTheId) {
  Dispatch d;
  d.dispatcher.handleUntypedRequest(R"({"type":"dance","request_id":"r9"})");
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["payload"], Json::parse(R"({"code":"unknown_type","error":"Unknown request type",
      "message":"Unknown request type","requested_type":"dance"})"));
  EXPECT_EQ(reply["request_id"], "r9");
}

TEST(Dispatcher, MissingType) {
  Dispatch d;
  d.dispatcher.dispatchRequest("", Json::parse(R"({"request_id":"m"})"));
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["payload"], Json::parse(R"({"code":"missing_type","error":"Missing request type",
      "message":"Missing request type"})"));
  EXPECT_EQ(reply["request_id"], "m");
  d.sink.envelopes.clear();
  d.sink.texts.clear();
  d.dispatcher.handleTypedRequest("", "{}");
  EXPECT_EQ(d.sink.only()["payload"]["code"], "missing_type");
}

TEST(Dispatcher, TypeLookupIsCaseSensitive) {
  Dispatch d;
  d.dispatcher.handleTypedRequest("Get_Version", "{}");
  EXPECT_EQ(d.sink.only()["payload"]["requested_type"], "Get_Version");
}

// Handlers with known behaviour, for the parts of dispatch that do not depend on any
// subsystem.
HandlerReply unbuiltHandler(const Json&) { throw UnhandledRequestType(); }
HandlerReply throwingHandler(const Json&) { throw std::runtime_error("secret internals"); }
HandlerReply typeErrorHandler(const Json& payload) {
  return {"never", Json{{"n", payload.at("number").get<int>()}}};
}
HandlerReply arrayHandler(const Json&) { return {"list_result", Json::parse("[1,2]")}; }
HandlerReply echoHandler(const Json& payload) { return {"echo_result", payload}; }
HandlerReply brokenTextHandler(const Json&) {
  return {"broken_result", Json{{"text", std::string("\xFF")}}};
}
HandlerReply stringThrowHandler(const Json&) { throw 42; }

const std::array<RequestTableRow, 7> kFakeTable{{
    {"unbuilt", unbuiltHandler, BuiltInRequest::None, {"", ""}, ShapeTest::Never},
    {"throwing", throwingHandler, BuiltInRequest::None, {"", ""}, ShapeTest::Never},
    {"typed", typeErrorHandler, BuiltInRequest::None, {"", ""}, ShapeTest::Never},
    {"array", arrayHandler, BuiltInRequest::None, {"", ""}, ShapeTest::Never},
    {"echo", echoHandler, BuiltInRequest::None, {"", ""}, ShapeTest::HasProgression},
    {"broken", brokenTextHandler, BuiltInRequest::None, {"", ""}, ShapeTest::Never},
    {"odd", stringThrowHandler, BuiltInRequest::None, {"", ""}, ShapeTest::Never},
}};

struct FakeDispatch {
  RecordingSink sink;
  InMemoryClipboard clipboard;
  RequestDispatcher dispatcher{sink, clipboard, kFakeTable};
};

TEST(DispatcherHandlers, UnbuiltHandlerGetsTheGuardReply) {
  FakeDispatch d;
  d.dispatcher.handleTypedRequest("unbuilt", R"({"request_id":"u"})");
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["payload"], Json::parse(R"({"code":"unhandled_type","error":"Unhandled request type",
      "message":"Unhandled request type","requested_type":"unbuilt"})"));
  EXPECT_EQ(reply["request_id"], "u");
}

TEST(DispatcherHandlers, ThrowingHandlersGetTheGenericReplyWithoutTheirText) {
  for (const char* type : {"throwing", "typed", "odd"}) {
    FakeDispatch d;
    d.dispatcher.handleTypedRequest(type, R"({"number":"x","request_id":"t"})");
    const Json& reply = d.sink.only();
    EXPECT_EQ(reply["payload"]["code"], "invalid_payload") << type;
    EXPECT_EQ(reply["payload"]["requested_type"], type);
    EXPECT_EQ(reply["request_id"], "t");
    EXPECT_EQ(d.sink.texts[0].find("secret"), std::string::npos);
  }
}

TEST(DispatcherHandlers, ArrayPayloadIsWrapped) {
  FakeDispatch d;
  d.dispatcher.handleTypedRequest("array", "{}");
  EXPECT_EQ(d.sink.only()["payload"], Json::parse(R"({"value":[1,2]})"));
}

TEST(DispatcherHandlers, FlatRequestHandsTheHandlerItsTypeAndId) {
  FakeDispatch d;
  d.dispatcher.handleUntypedRequest(R"({"progression":"C G","request_id":"p","x":[1]})");
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["type"], "echo_result");
  EXPECT_EQ(reply["request_id"], "p");
  EXPECT_EQ(reply["payload"], Json::parse(R"({"progression":"C G","x":[1]})"));
  d.sink.envelopes.clear();
  d.dispatcher.handleUntypedRequest(R"({"type":"echo","keep":true})");
  EXPECT_EQ(d.sink.envelopes.at(0)["payload"], Json::parse(R"({"type":"echo","keep":true})"));
}

TEST(DispatcherHandlers, EnvelopedRequestIdIsAddedToThePayload) {
  FakeDispatch d;
  d.dispatcher.handleTypedRequest("echo", R"({"type":"echo","payload":{"a":1},"request_id":"e"})");
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["request_id"], "e");
  EXPECT_EQ(reply["payload"], Json::parse(R"({"a":1})"));
}

TEST(DispatcherHandlers, UnserialisableReplyBecomesTheGenericFailure) {
  FakeDispatch d;
  d.dispatcher.handleTypedRequest("broken", R"({"request_id":"b"})");
  const Json& reply = d.sink.only();
  EXPECT_EQ(reply["payload"]["code"], "invalid_payload");
  EXPECT_EQ(reply["request_id"], "b");
}

TEST(DispatcherHandlers, RequestedTypeWithBrokenBytesIsRepaired) {
  FakeDispatch d;
  d.dispatcher.handleTypedRequest("\xFFtype", "{}");
  EXPECT_EQ(d.sink.only()["payload"]["requested_type"], "\xEF\xBF\xBDtype");
}

// A sink whose outlet itself fails: nothing may escape the dispatcher.
struct FailingSink final : ReplySink {
  int calls = 0;
  void sendReply(std::string_view, Json) override {
    ++calls;
    throw std::runtime_error("outlet gone");
  }
};

TEST(DispatcherHandlers, AFailingOutletNeverThrowsIntoTheHost) {
  FailingSink sink;
  InMemoryClipboard clipboard;
  RequestDispatcher dispatcher(sink, clipboard);
  EXPECT_NO_THROW(dispatcher.handleTypedRequest("get_version", "{}"));
  EXPECT_NO_THROW(dispatcher.handleTypedRequest("get_version", "{"));
  EXPECT_NO_THROW(dispatcher.handleUntypedRequest("{\"x\":1}"));
  EXPECT_NO_THROW(dispatcher.dispatchRequest("", Json()));
  EXPECT_GE(sink.calls, 4);
}

}  // namespace
}  // namespace tw
