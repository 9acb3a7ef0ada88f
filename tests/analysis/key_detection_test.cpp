// Key detection: the heuristic over 36 candidate keys and the "detect_key" request.
#include <gtest/gtest.h>

#include <limits>

#include <nlohmann/json.hpp>

#include "analysis/key_detection.hpp"
#include "analysis/progression_parsing.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {
namespace {

std::vector<KeyInputChord> chordsOf(const std::string& text) {
  std::vector<KeyInputChord> chords;
  for (const ParsedChord& c : tokenizeProgression(text).chords)
    chords.push_back({c.root, c.quality, c.bass.value_or(0), c.hasBass(), 1.0});
  return chords;
}

HandlerReply detect(const std::string& text, Json extra = Json::object()) {
  extra["progression"] = text;
  return handleDetectKey(extra);
}

struct DetectionCase {
  std::string progression;
  KeyContext key;
};

TEST(DetectKey, NamesTheKeyOfTypicalProgressions) {
  const std::vector<DetectionCase> cases{
      {"C", {0, false, false}},
      {"Am", {9, true, false}},
      {"C F G C", {0, false, false}},
      {"Am Dm E7 Am", {9, true, false}},
      {"C7 F7 C7 G7 F7 C7", {0, false, false}},
      {"Dm7 G7 Cmaj7", {0, false, false}},
      {"Bb Eb F7 Bb", {10, false, false}},
      {"Em Am B7 Em", {4, true, false}},
      {"Cm Fm G7 Cm", {0, true, false}},
      {"F#m Bm C#7 F#m", {6, true, false}},
  };
  for (const auto& c : cases) {
    const KeyContext key = detectKey(chordsOf(c.progression));
    EXPECT_EQ(key, c.key) << c.progression << " gave root " << key.root << (key.minor ? " minor" : " major")
                          << (key.melodic ? " melodic" : "");
  }
}

TEST(DetectKey, EmptySequenceIsCMajor) {
  EXPECT_EQ(detectKey({}), (KeyContext{0, false, false}));
}

TEST(DetectKey, MelodicMinorCandidatesStartBehind) {
  const auto input = prepareKeyInput(chordsOf("Am"));
  EXPECT_DOUBLE_EQ(keyScore(input, {9, true, true}) + 1.0, keyScore(input, {9, true, false}));
}

TEST(DetectKey, MinorMajorTonicPointsToMelodicMinor) {
  EXPECT_EQ(detectKey(chordsOf("CmM7 Dm7 G7 CmM7")), (KeyContext{0, true, true}));
}

TEST(DetectKey, RankingPutsMajorBeforeMinorOnEqualScores) {
  const auto ranked = rankKeys(prepareKeyInput(chordsOf("C F G C")));
  for (std::size_t i = 1; i < ranked.size(); ++i) {
    ASSERT_GE(ranked[i - 1].score, ranked[i].score);
    if (ranked[i - 1].score == ranked[i].score) {
      EXPECT_LE(static_cast<int>(ranked[i - 1].key.minor), static_cast<int>(ranked[i].key.minor));
    }
  }
  EXPECT_EQ(ranked.front().key, (KeyContext{0, false, false}));
}

TEST(KeyScore, PreparedAndRawInputAgree) {
  const auto chords = chordsOf("Dm7 G7 Cmaj7 A7 Dm7 G7 C/E F G7sus4 C");
  const auto prepared = prepareKeyInput(chords);
  for (PitchClass root = 0; root < 12; ++root) {
    for (const KeyContext key : {KeyContext{root, false, false}, KeyContext{root, true, false},
                                 KeyContext{root, true, true}}) {
      EXPECT_DOUBLE_EQ(keyScore(prepared, key), keyScore(chords, key));
    }
  }
}

TEST(KeyScore, ChordsWithoutPositiveWeightAreLeftOut) {
  auto chords = chordsOf("C F G C");
  const double base = keyScore(chords, {0, false, false});
  auto weighted = chords;
  weighted.insert(weighted.begin() + 1, KeyInputChord{6, "dim7", 0, false, 0.0});
  weighted.push_back(KeyInputChord{1, "7", 0, false, -2.0});
  weighted.push_back(KeyInputChord{3, "m", 0, false, std::numeric_limits<double>::quiet_NaN()});
  weighted.push_back(KeyInputChord{3, "m", 0, false, std::numeric_limits<double>::infinity()});
  EXPECT_DOUBLE_EQ(keyScore(weighted, {0, false, false}), base);
}

TEST(KeyScore, SingleTonicTriadScore) {
  // C in C major: tone fit 0.35 * (2.4 + 2.0 + 0.8) = 1.82, +0.55 degree, +1.5 match,
  // tonic 4.0 + 3.0 + first 2.0 + cadence 1.2 + short 4.5, then 0.8 tonic weight and 5.0
  // for a first and last tonic.
  const double expected = 0.35 * 2.4 + 0.35 * 2.0 + 0.35 * 0.8 + 0.55 + 1.5 + 4.0 + 3.0 + 2.0 + 1.2 + 4.5 + 0.8 + 5.0;
  EXPECT_NEAR(keyScore(chordsOf("C"), {0, false, false}), expected, 1e-9);
}

TEST(QualityClass, ClassifiesQualityTexts) {
  const std::vector<std::pair<std::string, QualityClass>> cases{
      {"m7b5", QualityClass::HalfDiminished}, {"ø7", QualityClass::HalfDiminished},
      {"dim7", QualityClass::Diminished},     {"°", QualityClass::Diminished},
      {"o7", QualityClass::Diminished},       {"aug", QualityClass::Augmented},
      {"+", QualityClass::Augmented},         {"7sus4", QualityClass::Suspended},
      {"7", QualityClass::Dominant},          {"13#11", QualityClass::Dominant},
      {"7alt", QualityClass::Dominant},       {"m7", QualityClass::Minor},
      {"mM7", QualityClass::Minor},           {"m9b5", QualityClass::Minor},
      {"", QualityClass::Major},              {"maj", QualityClass::Major},
      {"maj7", QualityClass::Major},          {"69", QualityClass::Major},
      {"6", QualityClass::Major},             {"add9", QualityClass::Major},
      {"5", QualityClass::Other},             {"7#5", QualityClass::Dominant},
      {"add11", QualityClass::Major},         {"69#11", QualityClass::Dominant},
  };
  for (const auto& [quality, cls] : cases) EXPECT_EQ(qualityClassOf(quality), cls) << quality;
  EXPECT_TRUE(isMajorSeventhFamily("maj9#11"));
  EXPECT_TRUE(isMajorSeventhFamily("M13"));
  EXPECT_FALSE(isMajorSeventhFamily("maj"));
  EXPECT_TRUE(isMajorSeventhFamily("mM7"));  // it contains M7
  EXPECT_FALSE(isMajorSeventhFamily("m7"));
}

TEST(DetectKeyRequest, RepliesWithTheSpelledTonic) {
  const HandlerReply reply = detect("Am Dm E7 Am", {{"request_id", "k1"}});
  EXPECT_EQ(reply.type, "detect_key_result");
  EXPECT_EQ(reply.payload, (Json{{"minorScaleType", "natural"}, {"mode", "minor"}, {"request_id", "k1"}, {"root", "A"}}));
}

TEST(DetectKeyRequest, FlatKeysAreSpelledWithFlatsByDefault) {
  EXPECT_EQ(detect("Eb Ab Bb7 Eb").payload["root"], "Eb");
  EXPECT_EQ(detect("Gb Cb Db7 Gb").payload["root"], "Gb");
  EXPECT_EQ(detect("Gb Cb Db7 Gb", {{"spellingPreference", "sharps"}}).payload["root"], "F#");
  EXPECT_EQ(detect("F# B C#7 F#", {{"spellingPreference", "flats"}}).payload["root"], "Gb");
}

TEST(DetectKeyRequest, RejectedTokensAreTheOnlyAnswer) {
  const HandlerReply reply = detect("C F Xyz G7 C Q");
  EXPECT_EQ(reply.type, "detect_key_error");
  EXPECT_EQ(reply.payload, (Json{{"errors", {{{"token", "Xyz"}}, {{"token", "Q"}}}}}));
}

TEST(DetectKeyRequest, EmptyProgressions) {
  for (const Json& payload : {Json{{"progression", ""}}, Json::object(), Json(), Json{{"progression", "% %"}},
                              Json{{"progression", " | , "}}}) {
    const HandlerReply reply = handleDetectKey(payload);
    EXPECT_EQ(reply.type, "detect_key_error") << payload;
    EXPECT_EQ(reply.payload, (Json{{"error", "Progression is empty"}, {"errors", Json::array()}})) << payload;
  }
}

TEST(DetectKeyRequest, WrongJsonTypesRaiseTheLibraryTypeError) {
  EXPECT_THROW(handleDetectKey(Json{{"progression", 1}}), Json::type_error);
  EXPECT_THROW(handleDetectKey(Json{{"progression", Json::array({"C"})}}), Json::type_error);
  EXPECT_THROW(handleDetectKey(Json{{"progression", "C"}, {"simplifyAccidentals", "yes"}}), Json::type_error);
}

TEST(DetectKeyRequest, LongAndStrangeInput) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "Dm7 G7 Cmaj7 A7 ";
  EXPECT_EQ(detect(text).payload["root"], "C");
  EXPECT_EQ(detect("C \xff G").type, "detect_key_error");
  EXPECT_EQ(detect("C♯ F♯").payload["errors"].size(), 2u);
}

}  // namespace
}  // namespace tw
