// Progression text: tokens, repeat signs and the "parse_progression" request.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "analysis/progression_parsing.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {
namespace {

Json cMajor() { return {{"root", "C"}}; }

HandlerReply parse(const std::string& text, Json key = cMajor(), Json extra = Json::object()) {
  Json payload = extra;
  payload["progression"] = text;
  if (!key.is_null()) payload["key"] = std::move(key);
  return handleParseProgression(payload);
}

std::vector<std::string> member(const Json& chords, const char* name) {
  std::vector<std::string> values;
  for (const auto& chord : chords) values.push_back(chord.at(name).get<std::string>());
  return values;
}

TEST(TokenizeProgression, SeparatorsAndRepeats) {
  const ProgressionParse parse = tokenizeProgression("C | F , G7");
  ASSERT_EQ(parse.chords.size(), 3u);
  EXPECT_EQ(parse.chords[0].quality, "maj");
  EXPECT_EQ(parse.chords[1].quality, "maj");
  EXPECT_EQ(parse.chords[2].quality, "7");
  EXPECT_TRUE(parse.errorTokens.empty());
}

TEST(TokenizeProgression, EveryAsciiWhitespaceSeparates) {
  const ProgressionParse parse = tokenizeProgression("\tC\nDm\vEm\fF\rG,,Am||Bdim  ");
  EXPECT_EQ(parse.chords.size(), 7u);
  EXPECT_TRUE(parse.errorTokens.empty());
}

TEST(TokenizeProgression, RepeatSignCopiesTheLastChord) {
  const ProgressionParse parse = tokenizeProgression("Am % %");
  ASSERT_EQ(parse.chords.size(), 3u);
  for (const auto& chord : parse.chords) {
    EXPECT_EQ(chord.symbol, "Am");
    EXPECT_EQ(chord.root, 9);
  }
}

TEST(TokenizeProgression, LeadingRepeatIsIgnored) {
  const ProgressionParse parse = tokenizeProgression("% C");
  ASSERT_EQ(parse.chords.size(), 1u);
  EXPECT_TRUE(parse.errorTokens.empty());
}

TEST(TokenizeProgression, RepeatAfterAnErrorRepeatsTheLastChord) {
  const ProgressionParse parse = tokenizeProgression("C Xyz %");
  ASSERT_EQ(parse.chords.size(), 2u);
  EXPECT_EQ(parse.chords[1].symbol, "C");
  EXPECT_EQ(parse.errorTokens, std::vector<std::string>{"Xyz"});
}

TEST(TokenizeProgression, EmptyAndSeparatorOnlyTexts) {
  for (const char* text : {"", "   ", " | , | ", "\n\t"}) {
    const ProgressionParse parse = tokenizeProgression(text);
    EXPECT_TRUE(parse.chords.empty()) << text;
    EXPECT_TRUE(parse.errorTokens.empty()) << text;
  }
}

TEST(TokenizeProgression, MultiByteCharactersStayInsideTokens) {
  const ProgressionParse parse = tokenizeProgression("C♯m7 Cm7♭5 Cø7 C\xc2\xa0G");
  ASSERT_EQ(parse.chords.size(), 2u);
  EXPECT_EQ(parse.chords[0].quality, "m7b5");
  EXPECT_EQ(parse.chords[1].quality, "m7b5");
  EXPECT_EQ(parse.errorTokens, (std::vector<std::string>{"C♯m7", "C\xc2\xa0G"}));
}

TEST(ParseProgression, SymbolsAreRootNamePlusCanonicalQuality) {
  const HandlerReply reply = parse("C | F , G7");
  EXPECT_EQ(reply.type, "parse_progression_result");
  EXPECT_EQ(member(reply.payload["chords"], "symbol"), (std::vector<std::string>{"Cmaj", "Fmaj", "G7"}));
  EXPECT_EQ(member(reply.payload["chords"], "quality"), (std::vector<std::string>{"maj", "maj", "7"}));
  EXPECT_FALSE(reply.payload.contains("errors"));
}

TEST(ParseProgression, RepeatsKeepTheTypedToken) {
  const HandlerReply reply = parse("Am   %\t%");
  EXPECT_EQ(member(reply.payload["chords"], "original"), (std::vector<std::string>{"Am", "Am", "Am"}));
}

TEST(ParseProgression, UnparsableTokensAreListedAndTheRestAnalysed) {
  const HandlerReply reply = parse("C Xyz G");
  EXPECT_EQ(reply.type, "parse_error");
  EXPECT_EQ(reply.payload["errors"], (Json::array({{{"token", "Xyz"}}})));
  EXPECT_EQ(member(reply.payload["chords"], "symbol"), (std::vector<std::string>{"Cmaj", "Gmaj"}));
  EXPECT_FALSE(reply.payload.contains("error"));
}

TEST(ParseProgression, SeparatorsOnlyGiveAnEmptyResult) {
  const HandlerReply reply = parse(" | |  , ");
  EXPECT_EQ(reply.type, "parse_progression_result");
  EXPECT_EQ(reply.payload["chords"], Json::array());
}

TEST(ParseProgression, EmptyTextWinsOverAMissingKey) {
  const HandlerReply reply = parse("", Json());
  EXPECT_EQ(reply.type, "parse_error");
  EXPECT_EQ(reply.payload, (Json{{"chords", Json::array()}, {"errors", Json::array()}}));
}

TEST(ParseProgression, NullOrNonObjectPayloadReadsAsEmpty) {
  for (const Json& payload : {Json(), Json::array(), Json(5), Json("C G")}) {
    const HandlerReply reply = handleParseProgression(payload);
    EXPECT_EQ(reply.type, "parse_error");
    EXPECT_EQ(reply.payload, (Json{{"chords", Json::array()}, {"errors", Json::array()}}));
  }
}

TEST(ParseProgression, KeyErrors) {
  struct KeyCase {
    Json key;
    std::string error;
  };
  const std::vector<KeyCase> cases{
      {Json(), "Missing key"},
      {Json::object(), "Missing key"},
      {Json::array({"C"}), "Missing key"},
      {Json("C"), "Missing key"},
      {{{"root", "H"}}, "Invalid key root: H"},
      {{{"mode", "major"}}, "Invalid key root: "},
      {{{"root", "C♯"}}, "Invalid key root: C♯"},
      {{{"root", "C "}}, "Invalid key root: C "},
  };
  for (const auto& c : cases) {
    const HandlerReply reply = parse("C G", c.key);
    EXPECT_EQ(reply.type, "parse_error") << c.key;
    EXPECT_EQ(reply.payload["error"], c.error) << c.key;
    EXPECT_EQ(reply.payload["errors"], Json::array()) << c.key;
    EXPECT_FALSE(reply.payload.contains("chords")) << c.key;
  }
}

TEST(ParseProgression, NumeralsAndDegreesInCMajor) {
  const HandlerReply reply = parse("Dm7 G7 Cmaj7");
  const Json& chords = reply.payload["chords"];
  EXPECT_EQ(member(chords, "roman"), (std::vector<std::string>{"iim7", "V7", "Imaj7"}));
  ASSERT_EQ(chords.size(), 3u);
  EXPECT_EQ(chords[0]["degree"], 2);
  EXPECT_EQ(chords[1]["degree"], 5);
  EXPECT_EQ(chords[2]["degree"], 1);
  EXPECT_EQ(chords[1]["category"], "dominant");
}

TEST(ParseProgression, FullRecordOfASlashChord) {
  const HandlerReply reply = parse("C/E");
  ASSERT_EQ(reply.payload["chords"].size(), 1u);
  EXPECT_EQ(reply.payload["chords"][0], (Json{{"bass", "E"},
                                              {"category", "major"},
                                              {"degree", 1},
                                              {"intervals", {0, 4, 7}},
                                              {"original", "C/E"},
                                              {"quality", "maj"},
                                              {"roman", "I/E"},
                                              {"root", "C"},
                                              {"symbol", "Cmaj/E"}}));
  EXPECT_EQ(reply.payload["chords"][0].dump().substr(0, 8), R"({"bass":)");
}

TEST(ParseProgression, ChromaticRootFollowsTheSpellingPreference) {
  const HandlerReply flats = parse("Eb", cMajor(), {{"spellingPreference", "flats"}});
  EXPECT_EQ(flats.payload["chords"][0]["degree"], 0);
  EXPECT_EQ(flats.payload["chords"][0]["roman"], "♭III");
  EXPECT_EQ(flats.payload["chords"][0]["root"], "Eb");
  const HandlerReply fifths = parse("Eb");
  EXPECT_EQ(fifths.payload["chords"][0]["roman"], "♯II");
  EXPECT_EQ(fifths.payload["chords"][0]["root"], "D#");
}

TEST(ParseProgression, FlatKeyNameSpellsWithFlats) {
  const HandlerReply reply = parse("Bb7 Ebmaj7 Fm7 Ab7", {{"root", "Bb"}});
  EXPECT_EQ(member(reply.payload["chords"], "symbol"),
            (std::vector<std::string>{"Bb7", "Ebmaj7", "Fm7", "Ab7"}));
  EXPECT_EQ(member(reply.payload["chords"], "roman"),
            (std::vector<std::string>{"I7", "IVmaj7", "vm7", "♭VII7"}));
}

TEST(ParseProgression, MinorKeys) {
  const HandlerReply natural = parse("Am Dm E7 G", {{"root", "A"}, {"mode", "minor"}});
  EXPECT_EQ(member(natural.payload["chords"], "roman"), (std::vector<std::string>{"i", "iv", "V7", "VII"}));
  const HandlerReply melodic =
      parse("G#dim", {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}});
  EXPECT_EQ(melodic.payload["chords"][0]["degree"], 7);
  // Only the exact text "minor" makes a minor key: C is chromatic in A major.
  const HandlerReply modeIsExact = parse("C", {{"root", "A"}, {"mode", "Minor"}});
  EXPECT_EQ(modeIsExact.payload["chords"][0]["degree"], 0);
  const HandlerReply minor = parse("C", {{"root", "A"}, {"mode", "minor"}});
  EXPECT_EQ(minor.payload["chords"][0]["degree"], 3);
}

TEST(ParseProgression, IntervalsOnlyWhenAsked) {
  const HandlerReply without = parse("C G7", cMajor(), {{"include_intervals", false}});
  for (const auto& chord : without.payload["chords"]) EXPECT_FALSE(chord.contains("intervals"));
  const HandlerReply with = parse("G7", cMajor());
  EXPECT_EQ(with.payload["chords"][0]["intervals"], (Json{0, 4, 7, 10}));
}

TEST(ParseProgression, RequestIdIsCopiedWhenAString) {
  EXPECT_EQ(parse("C", cMajor(), {{"request_id", "r1"}}).payload["request_id"], "r1");
  EXPECT_FALSE(parse("C", cMajor(), {{"request_id", ""}}).payload.contains("request_id"));
  EXPECT_FALSE(parse("C", cMajor(), {{"request_id", 7}}).payload.contains("request_id"));
  EXPECT_EQ(parse("", Json(), {{"request_id", "r2"}}).payload["request_id"], "r2");
  EXPECT_EQ(parse("C", {{"root", "H"}}, {{"request_id", "r3"}}).payload["request_id"], "r3");
}

TEST(ParseProgression, WrongJsonTypesRaiseTheLibraryTypeError) {
  EXPECT_THROW(handleParseProgression(Json{{"progression", 5}, {"key", cMajor()}}), Json::type_error);
  EXPECT_THROW(handleParseProgression(Json{{"progression", "C"}, {"key", {{"root", 5}}}}), Json::type_error);
  EXPECT_THROW(handleParseProgression(Json{{"progression", "C"}, {"key", cMajor()}, {"include_intervals", "no"}}),
               Json::type_error);
  EXPECT_THROW(handleParseProgression(Json{{"progression", "C"}, {"key", {{"root", "C"}, {"mode", 1}}}}),
               Json::type_error);
  EXPECT_THROW(handleParseProgression(Json{{"progression", "C"}, {"key", cMajor()}, {"spellingPreference", 1}}),
               Json::type_error);
}

TEST(ParseProgression, MinorScaleTypeIsReadOnlyForMinorKeys) {
  const HandlerReply reply = parse("C", {{"root", "C"}, {"minorScaleType", 3}});
  EXPECT_EQ(reply.type, "parse_progression_result");
}

TEST(ParseProgression, HugeProgression) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "Dm7 G7 | Cmaj7 % | ";
  const HandlerReply reply = parse(text);
  EXPECT_EQ(reply.type, "parse_progression_result");
  EXPECT_EQ(reply.payload["chords"].size(), 80000u);
}

TEST(ParseProgression, HugeToken) {
  const std::string token = "C" + std::string(1 << 20, 'm');
  const HandlerReply reply = parse(token + " G");
  EXPECT_EQ(reply.type, "parse_error");
  EXPECT_EQ(reply.payload["errors"][0]["token"].get<std::string>().size(), token.size());
  EXPECT_EQ(reply.payload["chords"].size(), 1u);
}

TEST(ParseProgression, InvalidUtf8IsKeptAsAnErrorToken) {
  const HandlerReply reply = parse("C \xff\xfe G");
  EXPECT_EQ(reply.type, "parse_error");
  EXPECT_EQ(reply.payload["errors"][0]["token"], "\xff\xfe");
}

}  // namespace
}  // namespace tw
