// The request table's rows, their order and the shape tests that infer an untyped type.
#include <gtest/gtest.h>

#include "protocol/request_dispatcher.hpp"
#include "protocol/request_table.hpp"

namespace tw {
namespace {

TEST(RequestTable, HoldsTheTwentyOneTypesInOrder) {
  const std::vector<std::string_view> expected{
      "generate_voicing",      "generate_progression",  "generate_local_progression",
      "parse_chord",           "parse_progression",     "detect_key",
      "get_diatonic_chords",   "get_voicing_styles",    "get_relevant_voicings",
      "get_range_presets",     "get_rhythm_patterns",   "get_supported_qualities",
      "transpose_progression", "recalculate_romans",    "get_available_modifiers",
      "apply_modifiers",       "get_suggestions",       "get_version",
      "read_clipboard",        "write_clipboard",       "ready"};
  const auto table = requestTable();
  ASSERT_EQ(table.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(table[i].type, expected[i]) << i;
}

TEST(RequestTable, SubsystemRowsHaveHandlersAndBuiltInsDoNot) {
  const auto table = requestTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    const bool subsystemRow = i < 17;
    EXPECT_EQ(table[i].handler != nullptr, subsystemRow) << table[i].type;
    EXPECT_EQ(table[i].builtIn == BuiltInRequest::None, subsystemRow) << table[i].type;
  }
}

TEST(RequestTable, ReplyTypes) {
  EXPECT_EQ(findRequestRow(requestTable(), "generate_progression")->replyTypes[0], "progression_voicings");
  EXPECT_EQ(findRequestRow(requestTable(), "parse_progression")->replyTypes[1], "parse_error");
  EXPECT_EQ(findRequestRow(requestTable(), "ready")->replyTypes[0], "ready_ack");
  EXPECT_EQ(findRequestRow(requestTable(), "write_clipboard")->replyTypes[0], "");
}

TEST(RequestTable, LookupIsExactAndCaseSensitive) {
  EXPECT_NE(findRequestRow(requestTable(), "parse_chord"), nullptr);
  EXPECT_EQ(findRequestRow(requestTable(), "Parse_chord"), nullptr);
  EXPECT_EQ(findRequestRow(requestTable(), "parse_chord "), nullptr);
  EXPECT_EQ(findRequestRow(requestTable(), ""), nullptr);
}

struct InferenceCase {
  const char* document;
  const char* type;
};

std::ostream& operator<<(std::ostream& out, const InferenceCase& c) { return out << c.document; }

class Inference : public ::testing::TestWithParam<InferenceCase> {};

TEST_P(Inference, TakesTheFirstMatchingRow) {
  EXPECT_EQ(inferRequestType(Json::parse(GetParam().document)), GetParam().type)
      << GetParam().document;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Inference,
    ::testing::Values(
        InferenceCase{R"({"chord":"C","style":"closed"})", "generate_voicing"},
        InferenceCase{R"({"chord":"C","style":1,"slots":[],"genre":"pop","length":4})", "generate_voicing"},
        InferenceCase{R"({"slots":[]})", "generate_progression"},
        InferenceCase{R"({"slots":{}})", ""},
        InferenceCase{R"({"genre":"pop","length":4,"progression":"C F"})", "generate_local_progression"},
        InferenceCase{R"({"genre":"pop"})", ""},
        InferenceCase{R"({"progression":null})", "parse_progression"},
        InferenceCase{R"({"intervals":[0,4,7]})", "get_relevant_voicings"},
        InferenceCase{R"({"intervals":"0 4 7"})", ""},
        InferenceCase{R"({"chord":"C"})", ""},
        InferenceCase{R"({"chord":"C","modifiers":[]})", ""},
        InferenceCase{R"({"type":"get_version","chord":"C","style":"x"})", "get_version"},
        InferenceCase{R"({"type":""})", ""},
        InferenceCase{R"({"type":"whatever"})", "whatever"},
        InferenceCase{R"([{"chord":"C","style":"x"}])", ""},
        InferenceCase{R"(null)", ""}));

TEST(Inference, NonStringTypeIsAFailure) {
  EXPECT_THROW(inferRequestType(Json::parse(R"({"type":5})")), Json::exception);
}

}  // namespace
}  // namespace tw
