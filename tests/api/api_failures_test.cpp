// What the library answers for input it cannot use: a failed Result with a text that names
// the problem, never an exception, and nothing loaded lost by a failed load.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include <tonalweaver/tonalweaver.hpp>

#include "api/corpus_files.hpp"
#include "generation/corpus_loading.hpp"

namespace {

namespace api = tonalweaver;

const std::string kCorpusFolder = TONALWEAVER_SOURCE_DIR "/data";

template <typename T>
std::string errorOf(const api::Result<T>& result) {
  return result ? "(no error)" : result.error();
}

TEST(ApiFailures, NameTheProblem) {
  struct Case {
    std::function<std::string()> call;
    std::string error;
  };
  const Case cases[] = {
      {[] { return errorOf(api::parseChord("H7")); }, "Invalid chord: H7"},
      {[] { return errorOf(api::parseChord("")); }, "Invalid chord: "},
      {[] { return errorOf(api::voiceChord("C", {.style = "stride"})); }, "Invalid style: stride"},
      {[] { return errorOf(api::voiceProgression({{"C"}, {"Xm"}})); }, "Invalid chord in slot 2: Xm"},
      {[] { return errorOf(api::voiceProgression({{"C", {.style = "none"}}})); }, "Invalid style in slot 1: none"},
      {[] { return errorOf(api::voiceProgression({{"C"}, {"F", {}, false, {60, 128}}}, {.voiceLeading = false})); },
       "Invalid note in slot 2: 128 (MIDI notes are 0..127)"},
      {[] { return errorOf(api::voiceProgression({{"C"}}, {.key = api::Key{"Q"}})); }, "Invalid key root: Q"},
      {[] { return errorOf(api::analyseChord("C", {"X#"})); }, "Invalid key root: X#"},
      {[] { return errorOf(api::detectKey({})); }, "Progression is empty"},
      {[] { return errorOf(api::detectKey({"C", "G7", "|"})); }, "Invalid chord: |"},
      {[] { return errorOf(api::suggestNextChords({.previous = {"Dm7", "G?"}})); }, "Invalid chord: G?"},
      {[] { return errorOf(api::suggestNextChords({.style = "wide"})); }, "Invalid style: wide"},
      {[] { return errorOf(api::generateProgression()); }, "No progression corpus is loaded (see loadCorpora)"},
      {[] { return errorOf(api::loadCorpora("/nonexistent")); },
       "Cannot read the corpus file /nonexistent/pc.bin (missing, unreadable or empty)"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.error);
}

TEST(ApiFailures, AFailedResultHoldsAnEmptyValue) {
  const auto voiced = api::voiceChord("nonsense");
  EXPECT_FALSE(voiced.ok());
  EXPECT_TRUE(voiced->notes.empty());
  EXPECT_EQ(voiced->maxInversion, 1);
}

TEST(ApiFailures, ABadCorpusLeavesTheLoadedOnesInPlace) {
  const auto loaded = api::loadCorpora(kCorpusFolder);
  ASSERT_TRUE(loaded) << loaded.error();
  EXPECT_GT(loaded->progressions, 0u);
  EXPECT_GT(loaded->numerals, 0u);

  const std::vector<std::uint8_t> progressions = tw::readCorpusFile(kCorpusFolder + "/pc.bin");
  std::vector<std::uint8_t> damaged = tw::readCorpusFile(kCorpusFolder + "/cc.bin");
  damaged[damaged.size() / 2] ^= 0x5A;
  EXPECT_EQ(errorOf(api::loadCorpora(progressions, damaged)),
            "Not a valid continuation corpus: the bytes given");
  EXPECT_FALSE(tw::progressionCorpus().empty());
  EXPECT_FALSE(tw::continuationCorpus().empty());

  for (const auto& [options, error] : std::vector<std::pair<api::GenerationOptions, std::string>>{
           {{.length = 5}, "Length must be 4, 6 or 8, not 5"},
           {{.genre = "Polka"}, "Unknown genre: Polka"},
           {{.key = api::Key{"H"}}, "Invalid key root: H"}})
    EXPECT_EQ(errorOf(api::generateProgression(options)), error);
  EXPECT_TRUE(api::generateProgression({.genre = "jazz neo soul", .length = 8}));

  tw::loadProgressionCorpus({});
  tw::loadContinuationCorpus({});
}

}  // namespace
