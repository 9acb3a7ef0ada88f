// The library's answers agree with the replies of the requests that do the same work: each
// case goes through the API and through the request's handler, and the two are compared.
#include <gtest/gtest.h>

#include <tonalweaver/tonalweaver.hpp>

#include "generation/corpus_loading.hpp"
#include "generation/random_source.hpp"
#include "generation/recent_progressions.hpp"
#include "protocol/request_handlers.hpp"

namespace {

using tw::Json;
namespace api = tonalweaver;

const std::string kCorpusFolder = TONALWEAVER_SOURCE_DIR "/data";

Json optionalText(const std::optional<std::string>& text) { return text ? Json(*text) : Json(); }

std::string modeName(api::Mode mode) { return mode == api::Mode::Major ? "major" : "minor"; }
std::string scaleName(api::Mode mode) { return mode == api::Mode::MelodicMinor ? "melodic" : "natural"; }

TEST(ApiAgreement, ParseChord) {
  for (const char* symbol : {"Cm7", "Gb7", "F#m", "Cdim/Eb", "C7/Bb", "  Ebm7b5 ", " Bb7", "C6/9",
                             "Bb13(#11)/Ab", "g-7"}) {
    const auto chord = api::parseChord(symbol);
    ASSERT_TRUE(chord) << symbol << ": " << chord.error();
    const Json reply = tw::handleParseChord(Json{{"chord", symbol}}).payload;
    EXPECT_EQ(chord->root, reply["root"]) << symbol;
    EXPECT_EQ(chord->quality, reply["quality"]) << symbol;
    EXPECT_EQ(chord->symbol, reply["symbol"]) << symbol;
    EXPECT_EQ(chord->category, reply["category"]) << symbol;
    EXPECT_EQ(optionalText(chord->bass), reply.value("bass", Json())) << symbol;
  }
}

TEST(ApiAgreement, VoiceChord) {
  struct Case {
    const char* chord;
    api::VoicingOptions options;
  };
  const Case cases[] = {
      {"C", {}},
      {"Cmaj9", {.style = "anthem", .octave = 4, .inversion = 1}},
      {"Dm7/G", {.style = "split", .octave = 3, .dropBass = true}},
      {"F13#11", {.style = "velmaro", .octave = 9, .octaveShift = -5}},
      {"Bbm", {.style = "guide-color", .inversion = -2}},
      {"E7b9", {.style = "pop", .octaveShift = 2}},
  };
  for (const Case& c : cases) {
    const auto voiced = api::voiceChord(c.chord, c.options);
    ASSERT_TRUE(voiced) << c.chord << ": " << voiced.error();
    const Json reply = tw::handleGenerateVoicing(
                           Json{{"chord", c.chord}, {"style", c.options.style}, {"octave", c.options.octave},
                                {"inversion", c.options.inversion}, {"drop_bass", c.options.dropBass},
                                {"octave_shift", c.options.octaveShift}})
                           .payload;
    EXPECT_EQ(Json(voiced->notes), reply["notes"]) << c.chord;
    EXPECT_EQ(voiced->maxInversion, reply["max_manual_inversion"]) << c.chord;
  }
}

Json slotJson(const api::Slot& slot) {
  Json json{{"chord", slot.chord},           {"style", slot.voicing.style},
            {"octave", slot.voicing.octave}, {"inversion", slot.voicing.inversion},
            {"drop_bass", slot.voicing.dropBass}, {"octave_shift", slot.voicing.octaveShift},
            {"auto_voiced", !slot.anchor && slot.notes.empty()}};
  if (!slot.notes.empty()) json["manual_midi"] = slot.notes;
  return json;
}

TEST(ApiAgreement, VoiceProgression) {
  struct Case {
    std::vector<api::Slot> slots;
    api::ProgressionOptions options;
  };
  const api::Slot anthem{"Cmaj9", {.style = "anthem", .octave = 3}};
  const Case cases[] = {
      {{{"Dm7"}, {"G7"}, {"Cmaj7"}}, {.key = api::Key{"C"}}},
      {{{"Dm7"}, {"G7"}, {"Cmaj7"}}, {.voiceLeading = false, .key = api::Key{"C"}}},
      {{{"D"}, {"A/C#"}, {"Bm7"}, {"G"}}, {.transpose = 14, .key = api::Key{"D"}}},
      {{anthem, {"A7b9"}, {"Dm9", {.dropBass = true}}, {"G13"}},
       {.allowBassChanges = true, .key = api::Key{"A", api::Mode::Minor}}},
      {{{"C", {}, true, {48, 64, 67}}, {"F"}, {"G7", {.octave = 5}, true}, {"C"}},
       {.transpose = -3, .spelling = {api::Accidentals::Sharps, false}}},
      {{{"Ebmaj7"}, {"Cm7", {.style = "guide-color"}}, {"Fm7"}, {"Bb7"}},
       {.voiceLeading = false, .transpose = 12, .spelling = {api::Accidentals::Flats, true}}},
  };
  for (const Case& c : cases) {
    const auto voiced = api::voiceProgression(c.slots, c.options);
    ASSERT_TRUE(voiced) << voiced.error();
    Json request{{"slots", Json::array()},
                 {"auto_voice_lead", c.options.voiceLeading},
                 {"allow_bass_changes", c.options.allowBassChanges},
                 {"semitone_transpose", c.options.transpose},
                 {"simplifyAccidentals", c.options.spelling.simplify}};
    if (c.options.spelling.accidentals != api::Accidentals::FromKey)
      request["spellingPreference"] = c.options.spelling.accidentals == api::Accidentals::Flats ? "flats" : "sharps";
    if (c.options.key)
      request["key"] = {{"root", c.options.key->tonic}, {"mode", modeName(c.options.key->mode)},
                        {"minorScaleType", scaleName(c.options.key->mode)}};
    for (const api::Slot& slot : c.slots) request["slots"].push_back(slotJson(slot));
    const tw::HandlerReply reply = tw::handleGenerateProgression(request);
    ASSERT_EQ(reply.type, "progression_voicings") << reply.payload.dump();
    ASSERT_EQ(voiced->size(), c.slots.size());
    for (std::size_t i = 0; i < c.slots.size(); ++i) {
      const api::VoicedChord& chord = voiced.value()[i];
      EXPECT_EQ(Json(chord.notes), reply.payload["voicings"][i]) << request.dump();
      EXPECT_EQ(chord.maxInversion, reply.payload["max_manual_inversions"][i]);
      EXPECT_EQ(chord.symbol, reply.payload["display_symbols"][i]);
      EXPECT_EQ(optionalText(chord.numeral), reply.payload["display_romans"][i]);
      EXPECT_EQ(Json(chord.noteLabels), reply.payload["display_note_labels"][i]);
    }
  }
}

TEST(ApiAgreement, AnalyseChordAndDetectKey) {
  struct Case {
    const char* chord;
    api::Key key;
    api::Spelling spelling;
  };
  const Case cases[] = {
      {"A7", {"D", api::Mode::Minor}, {}},
      {"Bbmaj7/A", {"F"}, {}},
      {"F#m7b5", {"E", api::Mode::MelodicMinor}, {}},
      {"Db7", {"C"}, {api::Accidentals::Sharps, true}},
      {"Fb", {"Gb"}, {api::Accidentals::FromKey, false}},
  };
  for (const Case& c : cases) {
    const auto analysis = api::analyseChord(c.chord, c.key, c.spelling);
    ASSERT_TRUE(analysis) << c.chord << ": " << analysis.error();
    Json request{{"progression", c.chord},
                 {"key", {{"root", c.key.tonic}, {"mode", modeName(c.key.mode)}, {"minorScaleType", scaleName(c.key.mode)}}},
                 {"simplifyAccidentals", c.spelling.simplify}};
    if (c.spelling.accidentals == api::Accidentals::Sharps) request["spellingPreference"] = "sharps";
    const Json record = tw::handleParseProgression(request).payload["chords"][0];
    EXPECT_EQ(analysis->symbol, record["symbol"]) << c.chord;
    EXPECT_EQ(analysis->root, record["root"]) << c.chord;
    EXPECT_EQ(analysis->quality, record["quality"]) << c.chord;
    EXPECT_EQ(analysis->category, record["category"]) << c.chord;
    EXPECT_EQ(optionalText(analysis->bass), record.value("bass", Json())) << c.chord;
    EXPECT_EQ(analysis->numeral, record["roman"]) << c.chord;
    EXPECT_EQ(analysis->degree, record["degree"]) << c.chord;
  }

  for (const std::vector<std::string>& chords :
       std::vector<std::vector<std::string>>{{"Am", "Dm", "E7", "Am"}, {"Ebmaj7", "Abmaj7", "Bb7"},
                                             {"Cm", "D7", "Gm", "F#dim7", "Gm(maj7)"}, {"C#m", "F#", "B7"}}) {
    const auto key = api::detectKey(chords);
    ASSERT_TRUE(key) << key.error();
    std::string progression;
    for (const std::string& chord : chords) progression += chord + " ";
    const Json reply = tw::handleDetectKey(Json{{"progression", progression}}).payload;
    EXPECT_EQ(key->tonic, reply["root"]) << progression;
    EXPECT_EQ(modeName(key->mode), reply["mode"]) << progression;
    EXPECT_EQ(scaleName(key->mode), reply["minorScaleType"]) << progression;
  }
}

class ApiAgreementWithCorpora : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(api::loadCorpora(kCorpusFolder)); }
  void TearDown() override {
    tw::loadProgressionCorpus({});
    tw::loadContinuationCorpus({});
    tw::recentProgressions().clear();
  }
};

TEST_F(ApiAgreementWithCorpora, SuggestNextChords) {
  api::SuggestionRequest request;
  request.key = {"Bb", api::Mode::Minor};
  request.previous = {"Bbm7", "Ebm7"};
  request.next = "Bbm7";
  request.current = "F7";
  request.placement = api::Placement::Replace;
  request.style = "anthem";
  request.octave = 3;
  const auto suggestions = api::suggestNextChords(request);
  ASSERT_TRUE(suggestions) << suggestions.error();

  const Json reply = tw::handleGetSuggestions(
                         Json{{"root", "Bb"}, {"mode", "minor"}, {"prevChords", request.previous},
                              {"nextChord", "Bbm7"}, {"currentChord", "F7"}, {"position", "replace"},
                              {"voicingStyle", "anthem"}, {"octave", 3}})
                         .payload;
  const Json& expected = reply["suggestions"];
  ASSERT_EQ(suggestions->size(), expected.size());
  EXPECT_GT(reply["_debug"]["smartSuggestions"].get<int>(), 0);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const api::Suggestion& s = suggestions.value()[i];
    const Json& e = expected[i];
    EXPECT_EQ(s.symbol, e["symbol"]) << i;
    EXPECT_EQ(s.family, e["category"]) << i;
    EXPECT_EQ(s.label, e["label"]) << i;
    EXPECT_EQ(s.numeral, e["roman"]) << i;
    EXPECT_EQ(s.score, e["score"].get<double>()) << i;
    EXPECT_EQ(Json(s.notes), e["notes"]) << i;
    EXPECT_EQ(s.category, e["colorCategory"]) << i;
    EXPECT_EQ(s.diatonic, e["isDiatonic"]) << i;
    EXPECT_EQ(s.current, e.value("isCurrent", false)) << i;
  }
}

// A seeded draw answers what the request answers in a fresh process with the same seed.
TEST_F(ApiAgreementWithCorpora, GenerateProgression) {
  struct Case {
    api::GenerationOptions options;
    Json request;
  };
  const Case cases[] = {
      {{.genre = "Rock", .length = 8, .key = api::Key{"E"}, .seed = 7},
       {{"genre", "Rock"}, {"length", 8}, {"key", {{"root", "E"}, {"mode", "major"}}}}},
      {{.genre = "Jazz + Neo Soul", .key = api::Key{"Eb", api::Mode::Minor}, .temperature = 0.6, .seed = 11},
       {{"genre", "Jazz + Neo Soul"}, {"key", {{"root", "Eb"}, {"mode", "minor"}}}, {"temperature", 0.6}}},
      {{.genre = "classical", .length = 6, .seed = 3}, {{"genre", "classical"}, {"length", 6}, {"auto_key", true}}},
  };
  for (const Case& c : cases) {
    const auto generated = api::generateProgression(c.options);
    ASSERT_TRUE(generated) << generated.error();
    tw::recentProgressions().clear();
    Json reply;
    {
      const tw::ScopedRandomSeed seed(*c.options.seed);
      reply = tw::handleGenerateLocalProgression(c.request).payload;
    }
    EXPECT_EQ(generated->genre, reply["genre"]) << c.request.dump();
    EXPECT_EQ(Json(generated->chords), reply["chords"]) << c.request.dump();
    EXPECT_EQ(Json(generated->numerals), reply["roman"]) << c.request.dump();
  }
}

}  // namespace
