// "transpose_progression" and "recalculate_romans".
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "protocol/request_handlers.hpp"

namespace tw {
namespace {

std::vector<std::string> member(const Json& chords, const char* name) {
  std::vector<std::string> values;
  for (const auto& chord : chords) values.push_back(chord.at(name).get<std::string>());
  return values;
}

Json cMajor() { return {{"root", "C"}, {"mode", "major"}}; }

HandlerReply transpose(Json chords, Json extra) {
  extra["chords"] = std::move(chords);
  return handleTransposeProgression(extra);
}

HandlerReply recalculate(Json chords, Json extra) {
  extra["chords"] = std::move(chords);
  return handleRecalculateRomans(extra);
}

TEST(TransposeProgression, UpAWholeToneWithTheKey) {
  const HandlerReply reply = transpose({"C", "F/A", "G7"}, {{"key", cMajor()}, {"semitones", 2}});
  EXPECT_EQ(reply.type, "transpose_result");
  EXPECT_EQ(member(reply.payload["chords"], "symbol"), (std::vector<std::string>{"Dmaj", "Gmaj/B", "A7"}));
  EXPECT_EQ(member(reply.payload["chords"], "roman"), (std::vector<std::string>{"I", "IV/B", "V7"}));
  EXPECT_EQ(reply.payload["key"], (Json{{"minorScaleType", "natural"}, {"mode", "major"}, {"root", "D"}}));
  EXPECT_EQ(reply.payload["semitones"], 2);
  EXPECT_EQ(reply.payload["chords"][1]["bass"], "B");
}

TEST(TransposeProgression, NegativeAndLargeIntervalsWrap) {
  EXPECT_EQ(transpose({"C"}, {{"key", cMajor()}, {"semitones", -1}}).payload["key"]["root"], "B");
  const HandlerReply thirteen = transpose({"C", "G7"}, {{"key", cMajor()}, {"semitones", 13}});
  const HandlerReply one = transpose({"C", "G7"}, {{"key", cMajor()}, {"semitones", 1}});
  EXPECT_EQ(thirteen.payload["chords"], one.payload["chords"]);
  EXPECT_EQ(thirteen.payload["key"], one.payload["key"]);
  EXPECT_EQ(thirteen.payload["semitones"], 13);
}

TEST(TransposeProgression, HugeIntervalsNeverOverflow) {
  struct HugeCase {
    Json semitones;
    std::string root;
  };
  const std::vector<HugeCase> cases{
      {Json(std::numeric_limits<std::int64_t>::max()), "G"},   // 2^63 - 1 = 7 mod 12
      {Json(std::numeric_limits<std::int64_t>::min()), "E"},   // -2^63 = 4 mod 12
      {Json(std::numeric_limits<std::uint64_t>::max()), "D#"},  // 2^64 - 1 = 3 mod 12
      {Json(1e300), "G"},
      {Json(-1e300), "E"},
      {Json(2.9), "D"},
  };
  for (const auto& c : cases) {
    const HandlerReply reply = transpose({"C"}, {{"key", cMajor()}, {"semitones", c.semitones}});
    EXPECT_EQ(reply.payload["key"]["root"], c.root) << c.semitones;
    EXPECT_EQ(reply.payload["chords"][0]["roman"], "I") << c.semitones;
  }
}

TEST(TransposeProgression, TargetRootEqualToTheKeyChangesNothing) {
  const Json key = {{"root", "C"}, {"mode", "major"}, {"extra", 1}};
  const HandlerReply reply = transpose({"C", "F/A", "G7"}, {{"key", key}, {"targetRoot", "C"}, {"semitones", 5}});
  EXPECT_EQ(member(reply.payload["chords"], "symbol"), (std::vector<std::string>{"C", "F/A", "G7"}));
  EXPECT_EQ(reply.payload["key"], key);
  EXPECT_EQ(reply.payload["semitones"], 0);
}

TEST(TransposeProgression, TargetRootGivesTheInterval) {
  const HandlerReply reply = transpose({"C"}, {{"key", cMajor()}, {"targetRoot", "Bb"}});
  EXPECT_EQ(reply.payload["semitones"], 10);
  // Spelled with the request key's preference (C major: sharps), not the target key's.
  EXPECT_EQ(reply.payload["chords"][0]["symbol"], "A#maj");
  EXPECT_EQ(reply.payload["key"]["root"], "A#");
  const HandlerReply flats =
      transpose({"C"}, {{"key", cMajor()}, {"targetRoot", "Bb"}, {"spellingPreference", "flats"}});
  EXPECT_EQ(flats.payload["chords"][0]["symbol"], "Bbmaj");
  EXPECT_EQ(flats.payload["key"]["root"], "Bb");
}

TEST(TransposeProgression, UnlinkedKeyStaysAndNumeralsFollowIt) {
  const HandlerReply reply = transpose({"C", "G7"}, {{"key", cMajor()}, {"semitones", 2}, {"keyLinked", false}});
  EXPECT_EQ(reply.payload["key"], cMajor());
  EXPECT_EQ(member(reply.payload["chords"], "roman"), (std::vector<std::string>{"II", "VI7"}));
  EXPECT_EQ(member(reply.payload["chords"], "symbol"), (std::vector<std::string>{"Dmaj", "A7"}));
}

TEST(TransposeProgression, WithoutKeyTheKeyIsCMajorAndEchoedEmpty) {
  const HandlerReply reply = transpose({"G7"}, {});
  EXPECT_EQ(reply.payload["key"], Json::object());
  EXPECT_EQ(reply.payload["chords"][0]["roman"], "V7");
  EXPECT_EQ(reply.payload["chords"][0]["symbol"], "G7");
  const HandlerReply nonObjectKey = transpose({"G7"}, {{"key", "D"}});
  EXPECT_EQ(nonObjectKey.payload["key"], "D");
  EXPECT_EQ(nonObjectKey.payload["chords"][0]["roman"], "V7");
}

TEST(TransposeProgression, MinorKeyEchoesModeText) {
  const HandlerReply reply = transpose(
      {"Am"}, {{"key", {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}}, {"semitones", 3}});
  EXPECT_EQ(reply.payload["key"], (Json{{"minorScaleType", "melodic"}, {"mode", "minor"}, {"root", "C"}}));
  EXPECT_EQ(reply.payload["chords"][0]["roman"], "i");
}

TEST(TransposeProgression, EntriesOfBothShapesAndFailureRecords) {
  const HandlerReply reply = transpose({"C", {{"symbol", "G7"}}, {{"symbol", "Xyz"}}, "H7"},
                                       {{"key", cMajor()}, {"semitones", 2}});
  ASSERT_EQ(reply.payload["chords"].size(), 4u);
  EXPECT_EQ(reply.payload["chords"][1]["symbol"], "A7");
  const Json failure = {{"category", ""}, {"degree", 0}, {"quality", ""},
                        {"roman", ""},    {"root", ""},  {"symbol", "Xyz"}};
  EXPECT_EQ(reply.payload["chords"][2], failure);
  EXPECT_EQ(reply.payload["chords"][3]["symbol"], "H7");
}

TEST(TransposeProgression, Errors) {
  struct ErrorCase {
    Json payload;
    std::string error;
  };
  const std::vector<ErrorCase> cases{
      {Json::object(), "Missing chords array"},
      {Json(), "Missing chords array"},
      {{{"chords", "C G"}}, "Missing chords array"},
      {{{"chords", {"C"}}, {"key", {{"root", "H"}}}}, "Invalid key root"},
      {{{"chords", {"C"}}, {"targetRoot", "X"}}, "Invalid targetRoot"},
      {{{"chords", {"C", 42}}}, "Invalid chord entry: expected string or {symbol}"},
      {{{"chords", {Json{{"name", "C"}}}}}, "Invalid chord entry: expected string or {symbol}"},
      {{{"chords", {Json{{"symbol", 3}}}}}, "Invalid chord entry: expected string or {symbol}"},
      {{{"chords", {nullptr}}}, "Invalid chord entry: expected string or {symbol}"},
  };
  for (const auto& c : cases) {
    Json payload = c.payload;
    if (payload.is_object()) payload["request_id"] = "t1";
    const HandlerReply reply = handleTransposeProgression(payload);
    EXPECT_EQ(reply.type, "transpose_result") << c.payload;
    EXPECT_EQ(reply.payload["error"], c.error) << c.payload;
    EXPECT_FALSE(reply.payload.contains("chords")) << c.payload;
    if (payload.is_object()) {
      EXPECT_EQ(reply.payload["request_id"], "t1");
    }
  }
}

TEST(TransposeProgression, WrongJsonTypesRaiseTheLibraryTypeError) {
  EXPECT_THROW(transpose({"C"}, {{"semitones", "2"}}), Json::type_error);
  EXPECT_THROW(transpose({"C"}, {{"targetRoot", 2}}), Json::type_error);
  EXPECT_THROW(transpose({"C"}, {{"keyLinked", "yes"}}), Json::type_error);
  EXPECT_THROW(transpose({"C"}, {{"key", {{"root", 1}}}}), Json::type_error);
}

TEST(TransposeProgression, EmptyChordsArray) {
  const HandlerReply reply = transpose(Json::array(), {{"semitones", 4}});
  EXPECT_EQ(reply.payload["chords"], Json::array());
  EXPECT_EQ(reply.payload["key"]["root"], "E");
}

TEST(RecalculateRomans, MajorToMinorMovesDiatonicRoots) {
  const HandlerReply reply =
      recalculate({"C", "Dm", "Em", "F", "G", "Am", "Bdim", "F#", "E", "B"},
                  {{"key", {{"root", "C"}, {"mode", "minor"}}}, {"oldMode", "major"}, {"keyLinked", true}});
  EXPECT_EQ(reply.type, "recalculate_romans_result");
  EXPECT_EQ(member(reply.payload["chords"], "root"),
            (std::vector<std::string>{"C", "D", "Eb", "F", "G", "Ab", "Bb", "Gb", "Eb", "Bb"}));
  // The chromatic F# keeps its pitch (spelled with the flats of C minor).
  EXPECT_EQ(reply.payload["chords"][7]["degree"], 0);
}

TEST(RecalculateRomans, SeventhChordsTakeTheNewModesSeventh) {
  const HandlerReply reply =
      recalculate({"Cmaj7", "Dm7", "Em7", "G7", "Am9", "Bm7b5", "G7alt"},
                  {{"key", {{"root", "C"}, {"mode", "minor"}}}, {"oldMode", "major"}, {"keyLinked", true}});
  EXPECT_EQ(member(reply.payload["chords"], "symbol"),
            (std::vector<std::string>{"Cm7", "Dm7b5", "Ebmaj7", "Gm7", "Abmaj9", "Bb7", "Gm7"}));
  EXPECT_EQ(member(reply.payload["chords"], "roman"),
            (std::vector<std::string>{"im7", "iiø", "IIImaj7", "vm7", "VImaj9", "VII7", "vm7"}));
}

TEST(RecalculateRomans, DiminishedSeventhsCountAsSevenths) {
  const HandlerReply reply =
      recalculate({"Bdim7", "Bdim11", "Bdim"},
                  {{"key", {{"root", "C"}, {"mode", "minor"}}}, {"oldMode", "major"}, {"keyLinked", true}});
  EXPECT_EQ(member(reply.payload["chords"], "symbol"), (std::vector<std::string>{"Bb7", "Bb11", "Bbmaj"}));
}

TEST(RecalculateRomans, TriadsStayTriads) {
  const HandlerReply reply =
      recalculate({"C", "Em", "F", "G", "Am", "C6", "Cadd9"},
                  {{"key", {{"root", "C"}, {"mode", "minor"}}}, {"oldMode", "major"}, {"keyLinked", true}});
  EXPECT_EQ(member(reply.payload["chords"], "symbol"),
            (std::vector<std::string>{"Cm", "Ebmaj", "Fm", "Gm", "Abmaj", "Cm6", "Cmadd9"}));
}

TEST(RecalculateRomans, MinorToMajorAndMelodicOldScale) {
  const HandlerReply natural =
      recalculate({"Eb", "Ab", "Bb7", "Cm"}, {{"key", {{"root", "C"}}}, {"oldMode", "minor"}, {"keyLinked", true}});
  EXPECT_EQ(member(natural.payload["chords"], "root"), (std::vector<std::string>{"E", "A", "B", "C"}));
  const HandlerReply melodic = recalculate(
      {"A", "Ab"}, {{"key", {{"root", "C"}}}, {"oldMode", "minor"}, {"oldMinorScaleType", "melodic"}, {"keyLinked", true}});
  // In C melodic minor A is the sixth degree already shared with C major; Ab is chromatic.
  EXPECT_EQ(member(melodic.payload["chords"], "root"), (std::vector<std::string>{"A", "G#"}));
}

TEST(RecalculateRomans, BassesMoveToo) {
  const HandlerReply reply = recalculate(
      {"C/E", "G/B", "C/F#"}, {{"key", {{"root", "C"}, {"mode", "minor"}}}, {"oldMode", "major"}, {"keyLinked", true}});
  EXPECT_EQ(member(reply.payload["chords"], "symbol"), (std::vector<std::string>{"Cm/Eb", "Gm/Bb", "Cm/Gb"}));
}

TEST(RecalculateRomans, WithoutAnEnabledSwitchOnlyReanalyses) {
  const std::vector<Json> payloads{
      {{"key", {{"root", "C"}, {"mode", "minor"}}}},
      {{"key", {{"root", "C"}, {"mode", "minor"}}}, {"oldMode", "major"}},
      {{"key", {{"root", "C"}, {"mode", "minor"}}}, {"oldMode", "major"}, {"keyLinked", false}},
      {{"key", {{"root", "C"}, {"mode", "minor"}}}, {"oldMode", "major"}, {"keyLinked", "true"}},
      {{"key", {{"root", "C"}, {"mode", "minor"}}}, {"oldMode", "major"}, {"keyLinked", 1}},
      {{"key", {{"root", "C"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}},
       {"oldMode", "minor"},
       {"keyLinked", true}},
  };
  for (const Json& payload : payloads) {
    const HandlerReply reply = recalculate({"C", "Em7", "A"}, payload);
    EXPECT_EQ(member(reply.payload["chords"], "symbol"), (std::vector<std::string>{"Cmaj", "Em7", "Amaj"}))
        << payload;
  }
  const HandlerReply reanalysed = recalculate({"Eb", "G7"}, {{"key", {{"root", "C"}, {"mode", "minor"}}}});
  EXPECT_EQ(member(reanalysed.payload["chords"], "roman"), (std::vector<std::string>{"III", "V7"}));
}

TEST(RecalculateRomans, FailureRecordsAndErrors) {
  const HandlerReply reply = recalculate({"C", "Xyz"}, {{"request_id", "r"}});
  EXPECT_EQ(reply.payload["chords"][1]["symbol"], "Xyz");
  EXPECT_EQ(reply.payload["chords"][1]["roman"], "");
  EXPECT_EQ(reply.payload["request_id"], "r");
  EXPECT_EQ(handleRecalculateRomans(Json::object()).payload["error"], "Missing chords array");
  EXPECT_EQ(handleRecalculateRomans(Json::object()).type, "recalculate_romans_result");
  EXPECT_EQ(recalculate({"C"}, {{"key", {{"root", "Q"}}}}).payload["error"], "Invalid key root");
  EXPECT_EQ(recalculate({"C", 1.5}, {}).payload["error"], "Invalid chord entry: expected string or {symbol}");
  EXPECT_THROW(recalculate({"C"}, {{"oldMode", 1}, {"keyLinked", true}}), Json::type_error);
}

}  // namespace
}  // namespace tw
