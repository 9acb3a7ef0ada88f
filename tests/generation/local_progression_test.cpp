// "generate_local_progression" through its handler, with small corpora installed and a
// seeded random source, so every run is the same.
#include <gtest/gtest.h>

#include "generation/corpus_loading.hpp"
#include "generation/local_progression_generator.hpp"
#include "generation/random_source.hpp"
#include "generation/recent_progressions.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {
namespace {

using Strings = std::vector<std::string>;

class LocalProgression : public ::testing::Test {
 protected:
  void SetUp() override {
    recentProgressions().clear();
    ProgressionCorpus pc;
    pc.add("popedm", {{"I", "IV", "V", "I"}, {false, false}, 10});
    pc.add("popedm", {{"i", "VI", "VII", "i"}, {true, false}, 5});
    pc.add("popedm", {{"I", "vi", "IV", "V", "I", "V"}, {false, false}, 3});
    pc.add("popedm", {{"I", "V", "vi", "IV", "I", "V", "vi", "IV"}, {false, false}, 3});
    pc.add("jazzneosoul", {{"iim7", "V7", "Imaj7", "Imaj7"}, {false, false}, 3});
    pc.add("rock", {{"I", "IV", "V", "I"}, {false, false}, 3});
    ASSERT_TRUE(loadProgressionCorpus(encodeProgressionCorpus(pc)));
    ContinuationCorpus cc;
    cc.set("I", {{"ii", 0.5f}, {"i", 0.3f}});
    cc.set("ii", {{"V", 0.9f}});
    cc.set("VI", {{"iv", 0.6f}});
    ASSERT_TRUE(loadContinuationCorpus(encodeContinuationCorpus(cc)));
  }
  void TearDown() override {
    loadProgressionCorpus({});
    loadContinuationCorpus({});
    recentProgressions().clear();
  }

  HandlerReply run(Json payload) { return handleGenerateLocalProgression(payload); }
  ScopedRandomSeed seed_{12345};
};

TEST_F(LocalProgression, TemperatureZeroReturnsTheStoredProgression) {
  auto reply = run({{"genre", "Pop + EDM"}, {"length", 4}, {"temperature", 0}, {"key", {{"root", "C"}}}, {"request_id", "r1"}});
  ASSERT_EQ(reply.type, "local_progression_result");
  EXPECT_EQ(reply.payload["chords"].get<Strings>(), (Strings{"C", "F", "G", "C"}));
  EXPECT_EQ(reply.payload["roman"].get<Strings>(), (Strings{"I", "IV", "V", "I"}));
  EXPECT_EQ(reply.payload["genre"], "Pop + EDM");
  EXPECT_EQ(reply.payload["length"], 4);
  EXPECT_EQ(reply.payload["request_id"], "r1");
}

TEST_F(LocalProgression, NegativeTemperatureActsAsZero) {
  auto reply = run({{"temperature", -3.5}, {"key", {{"root", "D"}}}});
  EXPECT_EQ(reply.payload["chords"].get<Strings>(), (Strings{"D", "G", "A", "D"}));
}

TEST_F(LocalProgression, TemperatureOneVariesOnlyTheInnerChords) {
  auto reply = run({{"temperature", 7}, {"key", {{"root", "C"}}}});
  ASSERT_EQ(reply.type, "local_progression_result");
  // I -> ii (the only continuation that fits major), ii -> V.
  EXPECT_EQ(reply.payload["chords"].get<Strings>(), (Strings{"C", "Dm", "G", "C"}));
  EXPECT_EQ(reply.payload["roman"].get<Strings>(), (Strings{"I", "ii", "V", "I"}));
}

TEST_F(LocalProgression, LengthsMapToStoredLengths) {
  for (auto [requested, expected] : std::vector<std::pair<int, std::size_t>>{{5, 4}, {7, 4}, {8, 8}, {6, 6}, {3, 4}, {100, 4}}) {
    recentProgressions().clear();
    auto reply = run({{"length", requested}, {"temperature", 0}});
    ASSERT_EQ(reply.type, "local_progression_result") << requested;
    EXPECT_EQ(reply.payload["chords"].size(), expected) << requested;
    EXPECT_EQ(reply.payload["length"], static_cast<int>(expected)) << requested;
  }
  auto fractional = run({{"length", 8.7}, {"temperature", 0}});
  EXPECT_EQ(fractional.payload["length"], 8);
}

TEST_F(LocalProgression, MinorKeysUseMinorProgressions) {
  auto reply = run({{"temperature", 0}, {"key", {{"root", "A"}, {"mode", "Minor"}}}});
  ASSERT_EQ(reply.type, "local_progression_result");
  EXPECT_EQ(reply.payload["chords"].get<Strings>(), (Strings{"Am", "F", "G", "Am"}));
  EXPECT_EQ(reply.payload["roman"].get<Strings>(), (Strings{"i", "VI", "VII", "i"}));
}

TEST_F(LocalProgression, ElevenRequestsForOneProgressionStillSucceed) {
  for (int i = 0; i < 11; ++i) {
    auto reply = run({{"genre", "Rock"}, {"temperature", 0}});
    ASSERT_EQ(reply.type, "local_progression_result") << i;
    EXPECT_EQ(reply.payload["genre"], "Rock");
  }
  EXPECT_EQ(recentProgressions().signatures().size(), 1u);
  EXPECT_EQ(recentProgressions().signatures().front(), "c|f|g|c");
}

TEST_F(LocalProgression, HistoryKeepsTenSignatures) {
  for (int i = 0; i < 12; ++i)
    run({{"temperature", 0}, {"key", {{"root", std::string(1, "CDEFGAB"[i % 7]) + (i >= 7 ? "b" : "")}}}});
  EXPECT_EQ(recentProgressions().signatures().size(), 10u);
}

TEST_F(LocalProgression, InvalidRootIsReportedAsSent) {
  auto reply = run({{"key", {{"root", "H"}}}, {"request_id", "x"}});
  EXPECT_EQ(reply.type, "local_progression_error");
  EXPECT_EQ(reply.payload["error"], "Invalid key root: H");
  EXPECT_EQ(reply.payload["message"], "Invalid key root: H");
  EXPECT_EQ(reply.payload["request_id"], "x");
}

TEST_F(LocalProgression, GenreNamesMatchThroughTheirKey) {
  auto jazz = run({{"genre", "jazz neo-soul"}, {"temperature", 0}});
  ASSERT_EQ(jazz.type, "local_progression_result");
  EXPECT_EQ(jazz.payload["genre"], "Jazz + Neo Soul");
  EXPECT_EQ(jazz.payload["chords"].get<Strings>(), (Strings{"Dm7", "G7", "Cmaj7", "Cmaj7"}));
  auto other = run({{"genre", "Polka!"}});
  EXPECT_EQ(other.type, "local_progression_error");
  EXPECT_EQ(other.payload["error"], "Could not generate progression");
}

TEST_F(LocalProgression, MissingCorpusOrModeFails) {
  auto classical = run({{"genre", "Classical"}});
  EXPECT_EQ(classical.type, "local_progression_error");
  auto minorJazz = run({{"genre", "Jazz + Neo Soul"}, {"key", {{"root", "C"}, {"mode", "minor"}}}});
  EXPECT_EQ(minorJazz.payload["error"], "Could not generate progression");
  loadProgressionCorpus({});
  EXPECT_EQ(run(Json::object()).type, "local_progression_error");
}

TEST_F(LocalProgression, AutomaticKeysAreRepeatableUnderASeed) {
  Json request{{"auto_key", true}, {"temperature", 0.5}, {"length", 8}};
  installRandomSource(std::make_unique<SeededRandomSource>(99));
  auto first = run(request);
  recentProgressions().clear();
  installRandomSource(std::make_unique<SeededRandomSource>(99));
  auto second = run(request);
  ASSERT_EQ(first.type, "local_progression_result");
  EXPECT_EQ(first.payload, second.payload);
  EXPECT_EQ(first.payload["chords"].size(), 8u);
}

TEST_F(LocalProgression, SpellingFollowsTheKeyAndTheOptions) {
  auto flats = run({{"temperature", 0}, {"key", {{"root", "Eb"}}}});
  EXPECT_EQ(flats.payload["chords"].get<Strings>(), (Strings{"Eb", "Ab", "Bb", "Eb"}));
  recentProgressions().clear();
  auto sharps = run({{"temperature", 0}, {"key", {{"root", "Eb"}}}, {"spellingPreference", "sharps"}});
  EXPECT_EQ(sharps.payload["chords"].get<Strings>(), (Strings{"D#", "G#", "A#", "D#"}));
}

TEST_F(LocalProgression, BadPayloadsThrowForTheDispatcher) {
  EXPECT_ANY_THROW(run(Json::array()));
  EXPECT_ANY_THROW(run({{"genre", 5}}));
  EXPECT_ANY_THROW(run({{"length", "eight"}}));
  EXPECT_ANY_THROW(run({{"temperature", "hot"}}));
  EXPECT_NO_THROW(run({{"key", "C major"}}));  // a key that is no object is not read
}

TEST(RecentProgressionList, MovesRepeatsToTheFront) {
  RecentProgressions recent;
  for (int i = 0; i < 12; ++i) recent.accept("p" + std::to_string(i));
  EXPECT_EQ(recent.signatures().size(), 10u);
  EXPECT_EQ(recent.signatures().front(), "p11");
  EXPECT_FALSE(recent.contains("p1"));
  recent.accept("p5");
  EXPECT_EQ(recent.signatures().front(), "p5");
  EXPECT_EQ(recent.signatures().size(), 10u);
  EXPECT_EQ(progressionSignature({"Cmaj7", "F#m", "G/B"}), "cmaj7|f#m|g/b");
}

TEST(ProgressionLengths, Mapping) {
  EXPECT_EQ(mappedProgressionLength(4), 4);
  EXPECT_EQ(mappedProgressionLength(5), 4);
  EXPECT_EQ(mappedProgressionLength(6), 6);
  EXPECT_EQ(mappedProgressionLength(7), 4);
  EXPECT_EQ(mappedProgressionLength(8), 8);
  EXPECT_EQ(mappedProgressionLength(-8), 4);
}

}  // namespace
}  // namespace tw
