// "get_suggestions" through its handler, and the selection steps it is made of.
#include <gtest/gtest.h>

#include <set>

#include "generation/corpus_loading.hpp"
#include "generation/random_source.hpp"
#include "generation/suggestion_engine.hpp"
#include "generation/suggestion_families.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {
namespace {

class Suggestions : public ::testing::Test {
 protected:
  void SetUp() override {
    ContinuationCorpus cc;
    cc.set("V7", {{"I", 0.6f}, {"vi", 0.2f}, {"IV", 0.1f}, {"V7", 0.05f}});
    cc.set("iim7", {{"V7", 0.7f}, {"V", 0.2f}, {"iim7", 0.1f}});
    cc.set("i", {{"iv", 0.4f}, {"V", 0.3f}, {"I", 0.2f}, {"VI", 0.1f}});
    cc.set("I", {{"IV", 0.4f}, {"Imaj7", 0.3f}, {"V", 0.3f}});
    ASSERT_TRUE(loadContinuationCorpus(encodeContinuationCorpus(cc)));
  }
  void TearDown() override { loadContinuationCorpus({}); }

  static HandlerReply run(const Json& payload) { return handleGetSuggestions(payload); }

  static const Json* find(const Json& reply, std::string_view symbol, std::string_view category = {}) {
    for (const auto& s : reply["suggestions"])
      if (s["symbol"] == symbol && (category.empty() || s["category"] == category)) return &s;
    return nullptr;
  }
};

TEST_F(Suggestions, CorpusContinuationsLeadAfterADominant) {
  auto reply = run({{"prevChords", {"Dm7", "G7"}}, {"root", "C"}, {"request_id", "q"}});
  ASSERT_EQ(reply.type, "suggestions_result");
  const auto& list = reply.payload["suggestions"];
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list[0]["symbol"], "C");
  EXPECT_EQ(list[0]["category"], "smart");
  EXPECT_EQ(list[0]["roman"], "I");
  EXPECT_EQ(list[0]["isDiatonic"], true);
  EXPECT_EQ(list[0]["colorCategory"], "major");
  EXPECT_EQ(list[0]["notes"], (std::vector<int>{60, 64, 67}));
  EXPECT_EQ(reply.payload["request_id"], "q");
  // The chord just played is never offered again.
  EXPECT_EQ(find(reply.payload, "G7"), nullptr);
  // Scores are rounded to two decimals and sorted.
  double previous = 2.0;
  for (const auto& s : list) {
    double score = s["score"].get<double>();
    EXPECT_DOUBLE_EQ(score, std::round(score * 100) / 100);
    EXPECT_GE(score, 0.0);
    EXPECT_LE(score, 1.0);
    if (s["category"] == "smart") {
      EXPECT_LE(score, previous + 1e-9);
      previous = score;
    }
  }
}

TEST_F(Suggestions, DebugDescribesTheRequest) {
  auto reply = run({{"prevChords", {"C", Json{{"symbol", "Am7"}}, "nonsense", 5}}, {"nextChord", "F"}, {"position", 2}});
  const auto& debug = reply.payload["_debug"];
  EXPECT_EQ(debug["position"], "replace");
  EXPECT_EQ(debug["hasNextChord"], true);
  EXPECT_EQ(debug["prevChords"], (std::vector<std::string>{"Cmaj", "Am7"}));
  EXPECT_EQ(debug["prevChordsCount"], 2);
  EXPECT_EQ(debug["corpusLoaded"], true);
  EXPECT_EQ(debug["totalSuggestions"], reply.payload["suggestions"].size());
  EXPECT_EQ(reply.payload["shuffleMode"], false);
  EXPECT_EQ(reply.payload["mergeVariants"], true);
  EXPECT_EQ(run({{"position", 1}}).payload["_debug"]["position"], "insert");
  EXPECT_EQ(run({{"position", -4}}).payload["_debug"]["position"], "append");
  EXPECT_EQ(run({{"position", "middle"}}).payload["_debug"]["position"], "middle");
  EXPECT_EQ(run({{"context", {"G7"}}}).payload["_debug"]["prevChordsCount"], 1);
}

TEST_F(Suggestions, WithoutAKeyTheKeyIsCMajor) {
  auto reply = run({{"prevChords", {"G7"}}});
  ASSERT_NE(find(reply.payload, "C", "smart"), nullptr);
  EXPECT_EQ((*find(reply.payload, "C", "smart"))["roman"], "I");
}

TEST_F(Suggestions, OnlyExactMinorSelectsMinor) {
  auto minor = run({{"prevChords", {"Am"}}, {"root", "A"}, {"mode", "minor"}});
  auto capital = run({{"prevChords", {"Am"}}, {"root", "A"}, {"mode", "Minor"}});
  EXPECT_NE(find(minor.payload, "Dm", "smart"), nullptr);  // i -> iv
  EXPECT_EQ(find(minor.payload, "A", "smart"), nullptr);   // a major tonic does not belong
  // "Minor" is a major key: there the major tonic is offered after the borrowed i.
  EXPECT_NE(find(capital.payload, "A", "smart"), nullptr);
  auto fromKey = run({{"prevChords", {"Am"}}, {"key", {{"root", "A"}, {"mode", "minor"}}}});
  EXPECT_EQ(fromKey.payload["suggestions"], minor.payload["suggestions"]);
}

TEST_F(Suggestions, InvalidRootIsAnErrorInsideTheResult) {
  auto reply = run({{"root", "H"}, {"shuffleMode", true}, {"request_id", "z"}});
  EXPECT_EQ(reply.type, "suggestions_result");
  EXPECT_EQ(reply.payload["error"], "Invalid key root: H");
  EXPECT_TRUE(reply.payload["suggestions"].empty());
  EXPECT_EQ(reply.payload["shuffleMode"], true);
  EXPECT_EQ(reply.payload["request_id"], "z");
}

TEST_F(Suggestions, OctavesAreClamped) {
  auto high = run({{"prevChords", {"G7"}}, {"octave", 12}});
  auto low = run({{"prevChords", {"G7"}}, {"octave", -3}});
  auto seven = run({{"prevChords", {"G7"}}, {"octave", 7}});
  auto zero = run({{"prevChords", {"G7"}}, {"octave", 0}});
  EXPECT_EQ(high.payload["suggestions"], seven.payload["suggestions"]);
  EXPECT_EQ(low.payload["suggestions"], zero.payload["suggestions"]);
  EXPECT_EQ((*find(zero.payload, "C", "smart"))["notes"], (std::vector<int>{12, 16, 19}));
}

TEST_F(Suggestions, CapsPerCategory) {
  auto reply = run({{"prevChords", {"C"}}, {"mergeVariants", false}});
  std::map<std::string, int> counts;
  for (const auto& s : reply.payload["suggestions"]) ++counts[s["category"].get<std::string>()];
  EXPECT_EQ(counts["secondary_dominant"], 8);  // many more are produced
  for (const auto& [category, n] : counts) EXPECT_LE(n, category == "smart" ? 30 : 8) << category;
  EXPECT_EQ(reply.payload["mergeVariants"], false);
}

TEST_F(Suggestions, MergingKeepsOneVariantPerFamily) {
  auto reply = run({{"prevChords", {"C"}}});
  std::set<std::string> groups;
  for (const auto& s : reply.payload["suggestions"]) {
    if (s["category"] == "smart" || s["category"] == "diatonic") continue;
    std::string symbol = s["symbol"];
    std::string root = symbol.substr(0, symbol.size() > 1 && (symbol[1] == '#' || symbol[1] == 'b') ? 2 : 1);
    std::string group = s["category"].get<std::string>() + "|" + root + "|" + s["label"].get<std::string>() + "|" +
                        std::string(qualityFamily(symbol.substr(root.size())));
    EXPECT_TRUE(groups.insert(group).second) << group;
  }
}

TEST_F(Suggestions, CurrentChordIsMarkedByIdentity) {
  // "C" parses as "maj"; the corpus candidate names it with the empty quality.
  auto reply = run({{"prevChords", {"G7"}}, {"currentChord", "C"}});
  const Json* c = find(reply.payload, "C", "smart");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ((*c)["isCurrent"], true);
  int marked = 0;
  for (const auto& s : reply.payload["suggestions"]) marked += s.contains("isCurrent") ? 1 : 0;
  EXPECT_EQ(marked, 1);
}

TEST_F(Suggestions, TheLastChordIsRemovedByIdentity) {
  auto reply = run({{"prevChords", {"Cmaj"}}});
  EXPECT_EQ(find(reply.payload, "C"), nullptr);
  // The same root in the same colour is not offered by the corpus either (Imaj7 after I).
  EXPECT_EQ(find(reply.payload, "Cmaj7", "smart"), nullptr);
}

TEST_F(Suggestions, WithoutCorpusThereAreNoSmartSuggestions) {
  loadContinuationCorpus({});
  auto reply = run({{"prevChords", {"Dm7", "G7"}}});
  EXPECT_EQ(reply.payload["_debug"]["corpusLoaded"], false);
  EXPECT_EQ(reply.payload["_debug"]["smartSuggestions"], 0);
  EXPECT_FALSE(reply.payload["suggestions"].empty());
  for (const auto& s : reply.payload["suggestions"]) EXPECT_NE(s["category"], "smart");
}

TEST_F(Suggestions, NextChordFavoursChordsThatLeadIntoIt) {
  auto reply = run({{"prevChords", {"C"}}, {"nextChord", "Dm7"}});
  // The best secondary dominant is the one aimed at the chord that follows.
  const Json* best = nullptr;
  for (const auto& s : reply.payload["suggestions"])
    if (s["category"] == "secondary_dominant") {
      best = &s;
      break;
    }
  ASSERT_NE(best, nullptr);
  EXPECT_EQ((*best)["label"], "V of ii");
}

TEST_F(Suggestions, LabelsAndVocabulariesAreFixed) {
  auto reply = run({{"prevChords", {"C"}}, {"mergeVariants", false}, {"nextChord", "F"}});
  for (const auto& s : reply.payload["suggestions"]) {
    std::string label = s["label"];
    std::string category = s["category"];
    if (category == "secondary_dominant") {
      EXPECT_EQ(label.rfind("V of ", 0), 0u) << label;
    } else if (category == "tritone_sub") {
      EXPECT_EQ(label.rfind("\xE2\x86\x92 ", 0), 0u) << label;
    } else if (category == "diminished_approach") {
      EXPECT_TRUE(label.rfind("CT on ", 0) == 0 || label.rfind("\xE2\x86\x91 ", 0) == 0 ||
                  label.rfind("\xE2\x86\x93 ", 0) == 0) << label;
    }
  }
}

TEST_F(Suggestions, ShuffleModeIsRepeatableUnderASeed) {
  Json request{{"prevChords", {"Dm7", "G7"}}, {"shuffleMode", true}};
  std::vector<Json> replies;
  for (int i = 0; i < 2; ++i) {
    ScopedRandomSeed seed(4242);
    replies.push_back(run(request).payload);
  }
  EXPECT_EQ(replies[0], replies[1]);
  EXPECT_EQ(replies[0]["shuffleMode"], true);
  EXPECT_LE(replies[0]["suggestions"].size(), 30u);
}

TEST_F(Suggestions, WrongTypesThrowForTheDispatcher) {
  EXPECT_ANY_THROW(run(Json::array()));
  EXPECT_ANY_THROW(run({{"prevChords", "C G"}}));
  EXPECT_ANY_THROW(run({{"nextChord", 5}}));
  EXPECT_ANY_THROW(run({{"mode", 1}}));
  EXPECT_ANY_THROW(run({{"octave", "high"}}));
  EXPECT_ANY_THROW(run({{"position", true}}));
  EXPECT_NO_THROW(run({{"nextChord", "not a chord"}, {"currentChord", "??"}}));
}

std::vector<Suggestion> candidates(std::size_t diatonic, std::size_t others) {
  std::vector<Suggestion> list;
  for (std::size_t i = 0; i < diatonic + others; ++i) {
    Suggestion s;
    s.category = kSecondaryDominant;
    s.root = static_cast<PitchClass>(i % 12);
    s.label = std::to_string(i);
    s.isDiatonic = i < diatonic;
    s.score = 0.5;
    list.push_back(s);
  }
  return list;
}

TEST(ShuffleSelection, DiatonicFirstThenOthersUpToThirty) {
  std::mt19937 engine(7);
  auto a = candidates(10, 40);
  shuffleSelection(a, engine);
  ASSERT_EQ(a.size(), 30u);
  for (std::size_t i = 0; i < 30; ++i) EXPECT_EQ(a[i].isDiatonic, i < 10) << i;
  auto b = candidates(5, 40);
  shuffleSelection(b, engine);
  ASSERT_EQ(b.size(), 30u);
  for (std::size_t i = 0; i < 30; ++i) EXPECT_EQ(b[i].isDiatonic, i < 5) << i;
  auto c = candidates(20, 3);
  shuffleSelection(c, engine);
  EXPECT_EQ(c.size(), 23u);
  auto d = candidates(20, 25);  // every diatonic one stays
  shuffleSelection(d, engine);
  ASSERT_EQ(d.size(), 30u);
  EXPECT_EQ(std::count_if(d.begin(), d.end(), [](const Suggestion& s) { return s.isDiatonic; }), 20);
  auto e = candidates(35, 5);
  shuffleSelection(e, engine);
  ASSERT_EQ(e.size(), 30u);
  EXPECT_TRUE(std::all_of(e.begin(), e.end(), [](const Suggestion& s) { return s.isDiatonic; }));
}

TEST(ShuffleSelection, DropsNegligibleCorpusCandidates) {
  std::mt19937 engine(1);
  std::vector<Suggestion> list(3);
  list[0].category = kSmart;
  list[0].score = 0.0005;
  list[1].category = kSmart;
  list[1].score = 0.4;
  list[2].category = kTritoneSub;
  shuffleSelection(list, engine);
  EXPECT_EQ(list.size(), 2u);
}

TEST(SuggestionFamilies, SecondaryDominantsAimAtTheKeysChords) {
  SuggestionContext context;
  context.key = {0, false, false};
  std::vector<Suggestion> list;
  secondaryDominants(context, {true, false}, list);
  std::set<std::string> labels;
  for (const auto& s : list) labels.insert(s.label);
  // ii, iii, IV, V, vi: vii° is diminished and the tonic is skipped.
  EXPECT_EQ(labels, (std::set<std::string>{"V of ii", "V of iii", "V of IV", "V of V", "V of vi"}));
  EXPECT_EQ(list.size(), 5u * kDominantQualities.size());
  context.current = parseChordSymbol("Bb");
  std::vector<Suggestion> withCurrent;
  secondaryDominants(context, {true, true}, withCurrent);
  EXPECT_EQ(withCurrent.front().label, "V of \xE2\x99\xADVII");
  EXPECT_EQ(withCurrent.front().root, 5);  // F7 leads to Bb
}

TEST(SuggestionFamilies, QualityFamilies) {
  EXPECT_EQ(qualityFamily("7sus4"), "sus");
  EXPECT_EQ(qualityFamily("13b9"), "dominant");
  EXPECT_EQ(qualityFamily(""), "major");
  EXPECT_EQ(qualityFamily("maj9"), "major");
  EXPECT_EQ(qualityFamily("6"), "major");
  EXPECT_EQ(qualityFamily("m7"), "minor");
  EXPECT_EQ(qualityFamily("m7b5"), "diminished");
  EXPECT_EQ(qualityFamily("dim7"), "diminished");
  EXPECT_EQ(qualityFamily("aug"), "other");
  EXPECT_EQ(categoryName(6), "chromatic_mediant");
  EXPECT_EQ(categoryName(9), "unknown");
}

}  // namespace
}  // namespace tw
