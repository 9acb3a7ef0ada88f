// Scoring terms, alignment and the beam search of the voice-leading solver, on hand-made
// candidate lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "voicing/roughness.hpp"
#include "voicing/voice_leading_rules.hpp"
#include "voicing/voice_leading_search.hpp"

namespace tw {
namespace {

double w(AvlWeight weight) { return avlWeight(weight); }

AvlChordTraits triad(PitchClass root) {
  AvlChordTraits t;
  t.root = root;
  t.hasFifth = true;
  return t;
}

// The options a closed anchor 60 64 67 gives its segment.
AvlOptions closedOptions() {
  AvlOptions o;
  o.top = 71;
  o.bottom = 55;
  o.middle = 64;
  o.targetNotes = 3;
  o.minNotes = 3;
  o.maxNotes = 3;
  o.anchorStyle = 0;
  return o;
}

TEST(AvlWeights, LearnedValuesAreExact) {
  EXPECT_EQ(w(AvlWeight::ParallelPerfect), -2.48914450280972);
  EXPECT_EQ(w(AvlWeight::NoteCountChange), 0.00770292873839696);
  EXPECT_EQ(w(AvlWeight::TargetNoteCount), -1.32050057453009);
  EXPECT_EQ(w(AvlWeight::AboveTop), -0.237290733012646);
  EXPECT_EQ(w(AvlWeight::BelowBottom), -0.172725275871618);
  EXPECT_EQ(w(AvlWeight::MiddleDistance), -0.128380740914212);
  EXPECT_EQ(w(AvlWeight::OuterLeapToOctave), 0.204282036350433);
  EXPECT_EQ(w(AvlWeight::Roughness), -8.65279702164732);
  EXPECT_EQ(w(AvlWeight::TopMotion), -0.23979933576161);
  EXPECT_EQ(w(AvlWeight::OuterParallel), -2.3226944657203);
  EXPECT_EQ(w(AvlWeight::VoiceOverlap), -0.66865980398893);
  EXPECT_EQ(w(AvlWeight::LeadingDistance), -0.374935348715094);
}

// ---- roughness ----

// Straight from the definition: every pair within the curve's reach, no early stop.
double referenceRoughness(const std::vector<int>& notes) {
  std::vector<std::pair<double, double>> partials;
  for (int m : notes) {
    for (int k = 1; k <= 11; ++k) {
      double pitch = std::round((m + 12.0 * std::log2(k)) * 1e6) / 1e6;
      partials.push_back({440.0 * std::pow(2.0, (pitch - 69.0) / 12.0), 1.0 / k});
    }
  }
  std::sort(partials.begin(), partials.end());
  std::vector<std::pair<double, double>> merged;
  for (auto p : partials) {
    if (!merged.empty() && p.first - merged.back().first < 1e-9) merged.back().second += p.second;
    else merged.push_back(p);
  }
  double energy = 0, sum = 0;
  for (auto p : merged) energy += p.second * p.second;
  for (std::size_t i = 0; i < merged.size(); ++i)
    for (std::size_t j = i + 1; j < merged.size(); ++j) {
      double fi = merged[i].first, fj = merged[j].first;
      double x = (fj - fi) / (1.72 * std::pow((fi + fj) / 2, 0.65));
      if (x > 1.2) continue;
      double g = 4 * x * std::exp(1 - 4 * x);
      sum += merged[i].second * merged[j].second * g * g;
    }
  return energy == 0 ? 0 : sum / energy;
}

TEST(Roughness, MatchesTheDefinition) {
  for (const auto& notes : std::vector<std::vector<int>>{
           {60}, {60, 64, 67}, {48, 55, 64, 67, 72}, {60, 61, 62, 63, 64}, {0, 127}, {36, 40, 43, 47, 50, 53, 57}}) {
    EXPECT_NEAR(computeRoughness(Voicing(notes)), referenceRoughness(notes), 1e-12);
  }
  EXPECT_EQ(computeRoughness(Voicing{}), 0.0);
}

TEST(Roughness, FastComputationAgreesWithTheDefinitionToTheLastBit) {
  std::uint32_t random = 7;
  auto next = [&] { return random = random * 1664525u + 1013904223u; };
  for (int round = 0; round < 20000; ++round) {
    // Mostly the solver's register, sometimes the whole keyboard; up to twelve notes.
    const int low = round % 4 == 0 ? 0 : 30, span = round % 4 == 0 ? 128 : 60;
    std::vector<int> notes;
    for (int n = 1 + static_cast<int>(next() % 12); n > 0; --n) notes.push_back(low + static_cast<int>(next() % span));
    std::sort(notes.begin(), notes.end());
    notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
    const Voicing v(notes);
    ASSERT_EQ(computeRoughness(v), roughnessByDefinition(v)) << ::testing::PrintToString(notes);
  }
}

// The range from pairs of notes holds the roughness, and is narrow enough to decide between
// any two voicings whose roughness is not all but equal.
TEST(Roughness, RangeFromPairsOfNotesHoldsTheValue) {
  std::uint32_t random = 5;
  auto next = [&] { return random = random * 1664525u + 1013904223u; };
  for (int round = 0; round < 20000; ++round) {
    const int low = round % 4 == 0 ? 0 : 30, span = round % 4 == 0 ? 128 : 60;
    std::vector<int> notes;
    for (int n = static_cast<int>(next() % 13); n > 0; --n) notes.push_back(low + static_cast<int>(next() % span));
    std::sort(notes.begin(), notes.end());
    notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
    const Voicing v(notes);
    const double value = computeRoughness(v);
    const RoughnessRange range = roughnessRange(v);
    ASSERT_LE(range.low, value) << ::testing::PrintToString(notes);
    ASSERT_GE(range.high, value) << ::testing::PrintToString(notes);
    ASSERT_LE(range.high - range.low, 1e-8 * value + 1e-300) << ::testing::PrintToString(notes);
  }
}

TEST(Roughness, ClustersAreRougherThanOpenVoicings) {
  EXPECT_GT(computeRoughness(Voicing{60, 61, 62, 63, 64}), computeRoughness(Voicing{48, 55, 64, 67, 72}));
  EXPECT_GT(computeRoughness(Voicing{60, 61}), computeRoughness(Voicing{60, 67}));
}

TEST(Roughness, CacheHoldsTheLast4096Voicings) {
  clearRoughnessCache();
  EXPECT_EQ(roughnessCacheSize(), 0u);
  const Voicing first{40, 45, 50, 55, 60};
  EXPECT_EQ(roughness(first), computeRoughness(first));
  EXPECT_EQ(roughnessCacheSize(), 1u);
  roughness(first);
  EXPECT_EQ(roughnessCacheSize(), 1u);
  int added = 0;
  for (int a = 36; a < 80 && added < 5000; ++a)
    for (int b = a + 1; b < 90 && added < 5000; ++b)
      for (int c = b + 1; c < 100 && added < 5000; ++c, ++added) roughness(Voicing{a, b, c});
  EXPECT_EQ(roughnessCacheSize(), kRoughnessCacheCapacity);
  clearRoughnessCache();
  EXPECT_EQ(roughnessCacheSize(), 0u);
}

// A stream that keeps coming back to some voicings while many others push them out.
TEST(Roughness, CachedValuesStayRightWhileTheCacheTurnsOver) {
  clearRoughnessCache();
  std::mt19937 rng(3);
  std::vector<Voicing> pool;
  for (int a = 36; pool.size() < 6000; ++a)
    for (int b = a + 1; b < a + 20 && pool.size() < 6000; ++b)
      for (int c = b + 1; c < b + 10 && pool.size() < 6000; ++c) pool.push_back(Voicing{a, b, c, c + 5, c + 9});
  for (int i = 0; i < 40000; ++i) {
    // Half the time one of a few hundred favourites, else any voicing of the pool.
    const std::size_t k = rng() % 2 ? rng() % 300 : rng() % pool.size();
    ASSERT_EQ(roughness(pool[k]), computeRoughness(pool[k])) << i;
    ASSERT_LE(roughnessCacheSize(), kRoughnessCacheCapacity);
  }
  EXPECT_EQ(roughnessCacheSize(), kRoughnessCacheCapacity);
  clearRoughnessCache();
}

// ---- alignment ----

// The alignment written out plainly, to check the compact one against.
AvlAlignment referenceAlignment(const std::vector<int>& a0, const std::vector<int>& b0) {
  AvlAlignment out;
  if (a0.empty() || b0.empty()) return out;
  auto a = a0, b = b0;
  a.push_back(a0.front());
  b.push_back(b0.front());
  const int n = static_cast<int>(a0.size()), m = static_cast<int>(b0.size());
  std::vector<std::vector<int>> cost(n + 1, std::vector<int>(m + 1));
  for (int i = 0; i <= n; ++i)
    for (int j = 0; j <= m; ++j) {
      int d = std::abs(a[i] - b[j]);
      if (i == 0 && j == 0) cost[i][j] = d;
      else if (i == 0) cost[i][j] = d + cost[i][j - 1];
      else if (j == 0) cost[i][j] = d + cost[i - 1][j];
      else cost[i][j] = d + std::min({cost[i - 1][j], cost[i][j - 1], cost[i - 1][j - 1]});
    }
  std::vector<std::pair<int, int>> ends{{n - 1, m}, {n, m - 1}, {n - 1, m - 1}};
  auto best = ends[0];
  for (auto e : ends)
    if (cost[e.first][e.second] < cost[best.first][best.second]) best = e;
  out.distance = cost[best.first][best.second];
  std::vector<std::pair<int, int>> path{best};
  while (path.back() != std::pair<int, int>{0, 0}) {
    auto [i, j] = path.back();
    if (i == 0) path.push_back({0, j - 1});
    else if (j == 0) path.push_back({i - 1, 0});
    else {
      std::vector<std::pair<int, int>> prev{{i - 1, j}, {i, j - 1}, {i - 1, j - 1}};
      auto p = prev[0];
      for (auto q : prev)
        if (cost[q.first][q.second] < cost[p.first][p.second]) p = q;
      path.push_back(p);
    }
  }
  std::reverse(path.begin(), path.end());
  for (auto [i, j] : path)
    out.pairs[static_cast<std::size_t>(out.count++)] = {static_cast<std::uint8_t>(a[i]),
                                                        static_cast<std::uint8_t>(b[j])};
  return out;
}

std::vector<std::pair<int, int>> pairsOf(const AvlAlignment& al) {
  std::vector<std::pair<int, int>> p;
  for (int k = 0; k < al.count; ++k) p.push_back({al.pairs[k].a, al.pairs[k].b});
  return p;
}

TEST(Alignment, EqualVoicingsAlignNoteForNote) {
  auto al = alignVoicings(Voicing{60, 64, 67}, Voicing{60, 64, 67});
  EXPECT_EQ(al.distance, 0);
  EXPECT_EQ(pairsOf(al), (std::vector<std::pair<int, int>>{{60, 60}, {64, 64}, {67, 67}}));
}

TEST(Alignment, ATriadIntoAFourNoteChordSplitsItsTopVoice) {
  auto al = alignVoicings(Voicing{60, 64, 67}, Voicing{60, 64, 67, 71});
  EXPECT_EQ(al.distance, 4);
  EXPECT_EQ(pairsOf(al),
            (std::vector<std::pair<int, int>>{{60, 60}, {64, 64}, {67, 67}, {67, 71}}));
}

TEST(Alignment, OnTiesTheFirstListedEndCellWins) {
  // Single notes: the cells (0,1), (1,0) and (0,0) all cost 0; (0,1) is listed first, so
  // the path is (0,0) -> (0,1).
  auto al = alignVoicings(Voicing{60}, Voicing{60});
  EXPECT_EQ(al.distance, 0);
  EXPECT_EQ(al.count, 2);
}

TEST(Alignment, EmptyVoicingsGiveNoPairs) {
  EXPECT_EQ(alignVoicings(Voicing{}, Voicing{60}).count, 0);
  EXPECT_EQ(alignVoicings(Voicing{60}, Voicing{}).count, 0);
}

TEST(Alignment, AgreesWithThePlainFormOnRandomVoicings) {
  std::mt19937 rng(7);
  auto randomVoicing = [&] {
    std::uniform_int_distribution<int> size(1, 12), note(30, 90);
    std::vector<int> v;
    int n = size(rng);
    while (static_cast<int>(v.size()) < n) {
      int x = note(rng);
      if (std::find(v.begin(), v.end(), x) == v.end()) v.push_back(x);
    }
    std::sort(v.begin(), v.end());
    return v;
  };
  for (int t = 0; t < 2000; ++t) {
    auto a = randomVoicing(), b = randomVoicing();
    auto got = alignVoicings(Voicing(a), Voicing(b));
    auto want = referenceAlignment(a, b);
    ASSERT_EQ(got.distance, want.distance);
    ASSERT_EQ(pairsOf(got), pairsOf(want));
  }
}

// The search passes over moves by bounds of the alignment distance: every note of either
// voicing is aligned at least as far as its nearest note in the other.
TEST(Alignment, NearestNotesNeverOverstateTheDistance) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> size(1, 12), note(0, 127);
  for (int t = 0; t < 3000; ++t) {
    std::vector<int> a, b;
    for (auto* v : {&a, &b}) {
      for (int n = size(rng); static_cast<int>(v->size()) < n;) {
        const int x = t % 2 ? 36 + note(rng) % 48 : note(rng);
        if (std::find(v->begin(), v->end(), x) == v->end()) v->push_back(x);
      }
      std::sort(v->begin(), v->end());
    }
    const VoicingShape sa = shapeOf(Voicing(a)), sb = shapeOf(Voicing(b));
    const NearestNotes na = nearestNotes(sa), nb = nearestNotes(sb);
    int fromA = 0, fromB = 0;
    for (int x : a) fromA += nb[static_cast<std::size_t>(x)];
    for (int x : b) fromB += na[static_cast<std::size_t>(x)];
    const int distance = alignVoicings(Voicing(a), Voicing(b)).distance;
    ASSERT_LE(std::max(fromA, fromB), distance);
    for (int x = 0; x < 128; ++x) {
      int nearest = 1000;
      for (int y : b) nearest = std::min(nearest, std::abs(x - y));
      ASSERT_EQ(nb[static_cast<std::size_t>(x)], nearest);
    }
  }
}

// Bounds that also count the cells of the lowest notes and an end cell, from either side;
// small voicings and notes close together (many equal distances) included.
TEST(Alignment, BoundsFromTheEndCellsNeverOverstateTheDistance) {
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> size(1, 12), small(1, 3), note(30, 90);
  for (int t = 0; t < 20000; ++t) {
    std::vector<int> a, b;
    for (auto* v : {&a, &b}) {
      const int n = t % 3 == 0 ? small(rng) : size(rng);
      const int spread = t % 2 ? 14 : 60;
      while (static_cast<int>(v->size()) < n) {
        const int x = 30 + note(rng) % spread;
        if (std::find(v->begin(), v->end(), x) == v->end()) v->push_back(x);
      }
      std::sort(v->begin(), v->end());
    }
    const VoicingShape sa = shapeOf(Voicing(a)), sb = shapeOf(Voicing(b));
    const int distance = alignVoicings(Voicing(a), Voicing(b)).distance;
    ASSERT_LE(distanceBoundByRows(sa, sb, nearestNotes(sb)), distance) << ::testing::PrintToString(a) << ::testing::PrintToString(b);
    ASSERT_LE(distanceBoundByRows(sb, sa, nearestNotes(sa)), distance) << ::testing::PrintToString(a) << ::testing::PrintToString(b);
  }
}

// ---- transition ----

TEST(Transition, HeldVoicingPaysOnlyForItsStaticTop) {
  const auto o = closedOptions();
  EXPECT_DOUBLE_EQ(transitionScore(Voicing{60, 64, 67}, triad(0), Voicing{60, 64, 67}, triad(0), o), -3.0);
}

TEST(Transition, ParallelFifthAndWideTriadTop) {
  const auto o = closedOptions();
  // 48-55 moves to 50-57: a parallel fifth; the top moves a semitone; 57-65 is 8 apart.
  const double expected = w(AvlWeight::LeadingDistance) * 5 + w(AvlWeight::TopMotion) * 1 +
                          w(AvlWeight::ParallelPerfect) + (-5.0 * 3);
  EXPECT_NEAR(transitionScore(Voicing{48, 55, 64}, triad(0), Voicing{50, 57, 65}, triad(2), o), expected, 1e-12);
}

TEST(Transition, ParallelsBetweenNonAdjacentVoicesCount) {
  AvlOptions o = closedOptions();
  o.anchorStyle = 2;  // no wide-triad rule
  // Bass and top move up a tone keeping their octave; the middle voice stays.
  const double s = transitionScore(Voicing{48, 55, 60}, triad(0), Voicing{50, 55, 62}, triad(7), o);
  const double expected = w(AvlWeight::LeadingDistance) * 4 + w(AvlWeight::TopMotion) * 2 +
                          w(AvlWeight::ParallelPerfect) + w(AvlWeight::OuterParallel);
  EXPECT_NEAR(s, expected, 1e-12);
}

TEST(Transition, VoiceOverlap) {
  const auto o = closedOptions();
  // B's lower voice (65) lies above A's upper voice (64).
  const double expected = w(AvlWeight::LeadingDistance) * 8 + w(AvlWeight::TopMotion) * 3 +
                          w(AvlWeight::VoiceOverlap);
  EXPECT_NEAR(transitionScore(Voicing{60, 64}, triad(0), Voicing{65, 67}, triad(5), o), expected, 1e-12);
}

TEST(Transition, OuterOctavesInParallel) {
  const auto o = closedOptions();
  const double expected = w(AvlWeight::LeadingDistance) * 4 + w(AvlWeight::TopMotion) * 2 +
                          w(AvlWeight::ParallelPerfect) + w(AvlWeight::OuterParallel);
  EXPECT_NEAR(transitionScore(Voicing{48, 60}, triad(0), Voicing{50, 62}, triad(2), o), expected, 1e-12);
}

TEST(Transition, OuterVoicesLeapIntoAnOctave) {
  const auto o = closedOptions();
  const double expected = w(AvlWeight::LeadingDistance) * 13 + w(AvlWeight::TopMotion) * 9 +
                          w(AvlWeight::OuterLeapToOctave);
  EXPECT_NEAR(transitionScore(Voicing{48, 55}, triad(0), Voicing{52, 64}, triad(4), o), expected, 1e-12);
}

TEST(Transition, StaticBassOnlyWhenTheBassMayChangeAndNoBassIsWritten) {
  AvlOptions o = closedOptions();
  const Voicing a{48, 55, 64}, b{48, 57, 65};
  const double without = transitionScore(a, triad(0), b, triad(5), o);
  o.allowBassChanges = true;
  EXPECT_NEAR(transitionScore(a, triad(0), b, triad(5), o), without - 12.0, 1e-12);
  AvlChordTraits slash = triad(5);
  slash.writtenBass = 0;
  EXPECT_NEAR(transitionScore(a, triad(0), b, slash, o), without, 1e-12);
}

TEST(Transition, NoteCountChange) {
  AvlOptions o = closedOptions();
  o.anchorStyle = 2;
  const double s = transitionScore(Voicing{60, 64, 67}, triad(0), Voicing{60, 64, 67, 71}, triad(0), o);
  EXPECT_NEAR(s, w(AvlWeight::LeadingDistance) * 4 + w(AvlWeight::TopMotion) * 4 +
                     w(AvlWeight::NoteCountChange) * 1, 1e-12);
}

// ---- unary ----

TEST(Unary, RegisterAndDensityTerms) {
  const auto o = closedOptions();
  EXPECT_NEAR(unaryScore(Voicing{55, 60, 64}, triad(0), o), w(AvlWeight::MiddleDistance) * (64 - 179.0 / 3), 1e-12);
  // Above the top, below the bottom, one note too many.
  EXPECT_NEAR(unaryScore(Voicing{53, 60, 64, 74}, triad(0), o),
              w(AvlWeight::TargetNoteCount) * 1 + w(AvlWeight::AboveTop) * 3 +
                  w(AvlWeight::BelowBottom) * 2 + w(AvlWeight::MiddleDistance) * (64 - 62.75),
              1e-12);
}

TEST(Unary, LowIntervalLimitOfClosedAnchors) {
  const auto o = closedOptions();
  EXPECT_NEAR(unaryScore(Voicing{58, 60, 64}, triad(0), o),
              w(AvlWeight::MiddleDistance) * (64 - 182.0 / 3) - 18.0, 1e-12);
  AvlOptions guide = o;
  guide.anchorStyle = 4;
  EXPECT_NEAR(unaryScore(Voicing{58, 60, 64}, triad(0), guide),
              w(AvlWeight::MiddleDistance) * (64 - 182.0 / 3) - 22.0 * 3, 1e-12);
}

TEST(Unary, RoughnessOnlyFromFiveNotes) {
  AvlOptions o = closedOptions();
  o.targetNotes = 5;
  o.middle = 60;
  const Voicing five{52, 55, 60, 64, 67};
  EXPECT_NEAR(unaryScore(five, triad(0), o),
              w(AvlWeight::BelowBottom) * 3 + w(AvlWeight::MiddleDistance) * (60 - 59.6) +
                  w(AvlWeight::Roughness) * computeRoughness(five),
              1e-9);
}

TEST(Unary, BassRulesNeedBassChangesAndNoWrittenBass) {
  AvlOptions o = closedOptions();
  const Voicing eBass{52, 55, 60};
  const double base = unaryScore(eBass, triad(0), o);
  o.allowBassChanges = true;
  EXPECT_NEAR(unaryScore(eBass, triad(0), o), base - 1.5, 1e-12);  // off root, degree 4 free
  const Voicing gBass{55, 60, 64};
  AvlOptions off = closedOptions();
  EXPECT_NEAR(unaryScore(gBass, triad(0), o), unaryScore(gBass, triad(0), off) - 1.5 - 4.0, 1e-12);
  // A high inverted bass: G at 67 is 5 above bottom + 7.
  const Voicing highG{67, 72, 76};
  EXPECT_NEAR(unaryScore(highG, triad(0), o), unaryScore(highG, triad(0), off) - 1.5 - 4.0 - 6.0 * 5, 1e-12);
  // A root bass below the bottom.
  const Voicing lowC{48, 52, 55};
  EXPECT_NEAR(unaryScore(lowC, triad(0), o), unaryScore(lowC, triad(0), off) - 7.0, 1e-12);
  AvlChordTraits slash = triad(0);
  slash.writtenBass = 4;
  EXPECT_NEAR(unaryScore(eBass, slash, o), base, 1e-12);
}

TEST(Unary, AnthemLowClusterAndLowTensions) {
  AvlOptions o = closedOptions();
  o.anchorStyle = 2;
  AvlChordTraits c7b9 = triad(0);
  c7b9.tensionMask = 1u << 1;  // Db
  const Voicing v{49, 52, 58, 60};
  const double plain = unaryScore(v, triad(0), o);
  EXPECT_NEAR(plain, w(AvlWeight::TargetNoteCount) * 1 + w(AvlWeight::BelowBottom) * 6 +
                         w(AvlWeight::MiddleDistance) * (64 - 54.75) - 25.0, 1e-12);
  EXPECT_NEAR(unaryScore(v, c7b9, o), plain - 8.0, 1e-12);
  c7b9.writtenBass = 1;
  EXPECT_NEAR(unaryScore(v, c7b9, o), plain, 1e-12);
}

TEST(Unary, SplitFifth) {
  AvlOptions o = closedOptions();
  o.anchorStyle = 3;
  const double withFifth = unaryScore(Voicing{48, 55, 64}, triad(0), o);
  const double withoutFifth = unaryScore(Voicing{48, 52, 64}, triad(0), o);
  EXPECT_NEAR(withFifth, w(AvlWeight::BelowBottom) * 7 + w(AvlWeight::MiddleDistance) * (64 - 167.0 / 3), 1e-12);
  // 48-52 is also a low cluster for split anchors (4 < 5).
  EXPECT_NEAR(withoutFifth, w(AvlWeight::BelowBottom) * 7 + w(AvlWeight::MiddleDistance) * (64 - 164.0 / 3) - 18.0 - 25.0, 1e-12);
}

// ---- search ----

std::vector<Voicing> bruteForce(const std::vector<std::vector<Voicing>>& lists,
                                const std::vector<AvlChordTraits>& traits, const AvlOptions& o,
                                double& bestScore) {
  std::vector<Voicing> best, path(lists.size());
  bestScore = -1e300;
  std::vector<std::size_t> index(lists.size(), 0);
  for (;;) {
    for (std::size_t c = 0; c < lists.size(); ++c) path[c] = lists[c][index[c]];
    const double s = pathScore(path, traits, o);
    if (s > bestScore) {
      bestScore = s;
      best = path;
    }
    std::size_t c = lists.size();
    while (c-- > 0) {
      if (++index[c] < lists[c].size()) break;
      index[c] = 0;
    }
    if (c == static_cast<std::size_t>(-1)) break;
  }
  return best;
}

TEST(Search, FindsTheBestPathWhenNothingIsPruned) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> note(40, 80), size(2, 6), count(1, 9), chordsN(2, 4),
      style(0, 5), pc(0, 11), coin(0, 1);
  for (int trial = 0; trial < 300; ++trial) {
    AvlOptions o;
    o.anchorStyle = static_cast<std::uint8_t>(style(rng));
    o.allowBassChanges = coin(rng) == 1;
    o.top = note(rng) + 5;
    o.bottom = o.top - 20;
    o.middle = o.top - 10;
    o.targetNotes = size(rng);
    const int chords = chordsN(rng);
    std::vector<std::vector<Voicing>> lists(chords);
    std::vector<AvlChordTraits> traits(chords);
    std::vector<AvlSearchChord> search(chords);
    for (int c = 0; c < chords; ++c) {
      traits[c].root = pc(rng);
      traits[c].hasFifth = coin(rng) == 1;
      if (coin(rng) && coin(rng)) traits[c].writtenBass = pc(rng);
      traits[c].tensionMask = static_cast<std::uint16_t>(1u << pc(rng));
      const int n = count(rng);
      for (int k = 0; k < n; ++k) {
        std::vector<int> v;
        const int s = size(rng);
        while (static_cast<int>(v.size()) < s) {
          int x = note(rng);
          if (std::find(v.begin(), v.end(), x) == v.end()) v.push_back(x);
        }
        std::sort(v.begin(), v.end());
        lists[c].push_back(Voicing(v));
      }
      search[c] = {lists[c], traits[c]};
    }
    double best = 0;
    bruteForce(lists, traits, o, best);
    const auto got = searchVoicePath(search, o);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(chords));
    EXPECT_NEAR(pathScore(got, traits, o), best, 1e-9) << "trial " << trial;
  }
}

// The search as plainly as it can be written: every unary score, pruning to 500, a beam of
// 160, every predecessor of the beam tried in order. Sums are formed as the search forms them,
// so that both must choose the very same path.
std::vector<Voicing> plainSearch(const std::vector<AvlSearchChord>& chords, const AvlOptions& o) {
  const TransitionRules rules = transitionRules(o);
  std::vector<std::vector<std::size_t>> kept;
  std::vector<std::vector<std::size_t>> from;
  std::vector<double> scores;
  for (std::size_t c = 0; c < chords.size(); ++c) {
    const auto& list = chords[c].candidates;
    std::vector<double> unary;
    for (const auto& v : list) unary.push_back(unaryScore(v, chords[c].traits, o));
    std::vector<std::size_t> keep(list.size());
    for (std::size_t k = 0; k < keep.size(); ++k) keep[k] = k;
    if (keep.size() > 500) {
      std::stable_sort(keep.begin(), keep.end(), [&](auto x, auto y) { return unary[x] > unary[y]; });
      keep.resize(500);
    }
    std::vector<std::size_t> beam(scores.size());
    for (std::size_t k = 0; k < beam.size(); ++k) beam[k] = k;
    std::stable_sort(beam.begin(), beam.end(), [&](auto x, auto y) { return scores[x] > scores[y]; });
    if (beam.size() > 160) beam.resize(160);
    std::vector<double> next(keep.size());
    std::vector<std::size_t> best(keep.size(), 0);
    for (std::size_t k = 0; k < keep.size(); ++k) {
      const Voicing& b = list[keep[k]];
      const double entry = entryScore(b, chords[c].traits, o);
      if (c == 0) {
        next[k] = unary[keep[k]];
        continue;
      }
      const bool bassRule = o.allowBassChanges && !chords[c - 1].traits.writtenBass && !chords[c].traits.writtenBass;
      double bestTotal = -std::numeric_limits<double>::infinity();
      for (std::size_t a : beam) {
        const Voicing& prev = chords[c - 1].candidates[kept[c - 1][a]];
        const double total = (scores[a] + transitionTerms(shapeOf(prev), shapeOf(b), rules, bassRule)) + entry;
        if (total > bestTotal) bestTotal = total, best[k] = a;
      }
      next[k] = bestTotal;
    }
    kept.push_back(keep);
    from.push_back(best);
    scores = next;
  }
  std::size_t state = static_cast<std::size_t>(std::max_element(scores.begin(), scores.end()) - scores.begin());
  std::vector<Voicing> path(chords.size());
  for (std::size_t c = chords.size(); c-- > 0;) {
    path[c] = chords[c].candidates[kept[c][state]];
    state = from[c][state];
  }
  return path;
}

// Long candidate lists, chords that come back (the same list again), duplicate voicings and
// equal scores: the pruned, bounded and cached search picks what the plain one picks.
TEST(Search, ChoosesWhatThePlainSearchChooses) {
  std::mt19937 rng(23);
  std::uniform_int_distribution<int> note(36, 84), size(1, 8), style(0, 5), pc(0, 11), coin(0, 1);
  for (int trial = 0; trial < 12; ++trial) {
    AvlOptions o;
    o.anchorStyle = static_cast<std::uint8_t>(style(rng));
    o.allowBassChanges = coin(rng) == 1;
    o.targetNotes = 1 + trial % 7;
    o.top = 70 + trial;
    o.bottom = o.top - 24;
    o.middle = o.top - 12;
    std::vector<std::vector<Voicing>> lists(3);
    for (auto& list : lists) {
      const int n = trial % 3 == 0 ? 650 : 40 + static_cast<int>(rng() % 400);
      while (static_cast<int>(list.size()) < n) {
        if (!list.empty() && rng() % 10 == 0) {
          list.push_back(list[rng() % list.size()]);  // a duplicate: equal scores
          continue;
        }
        std::vector<int> v;
        for (int s = trial % 2 ? 5 + static_cast<int>(rng() % 4) : size(rng); static_cast<int>(v.size()) < s;) {
          const int x = note(rng);
          if (std::find(v.begin(), v.end(), x) == v.end()) v.push_back(x);
        }
        std::sort(v.begin(), v.end());
        list.push_back(Voicing(v));
      }
    }
    std::vector<AvlChordTraits> traits(3);
    for (auto& t : traits) {
      t.root = pc(rng);
      t.hasFifth = coin(rng) == 1;
      if (coin(rng) && coin(rng)) t.writtenBass = pc(rng);
    }
    std::vector<AvlSearchChord> chords;
    for (int c = 0; c < 10; ++c) {
      const std::size_t which = c < 3 ? static_cast<std::size_t>(c) : rng() % 3;
      chords.push_back({lists[which], traits[which]});
    }
    EXPECT_EQ(searchVoicePath(chords, o), plainSearch(chords, o)) << "trial " << trial;
  }
}

// More distinct chords than the search holds scored at once, then the first ones again.
TEST(Search, ChordsThatComeBackAfterManyOthersAreScoredAlike) {
  std::mt19937 rng(31);
  std::uniform_int_distribution<int> note(40, 80);
  std::vector<std::vector<Voicing>> lists(300);
  for (auto& list : lists)
    for (int k = 0; k < 4; ++k) {
      const int low = note(rng);
      list.push_back(Voicing{low, low + 4 + k % 2, low + 7 + k});
    }
  std::vector<AvlSearchChord> chords;
  for (const auto& list : lists) chords.push_back({list, triad(0)});
  for (int c = 0; c < 20; ++c) chords.push_back({lists[static_cast<std::size_t>(c)], triad(0)});
  AvlOptions o;
  EXPECT_EQ(searchVoicePath(chords, o), plainSearch(chords, o));
}

TEST(Search, EmptyProgressionAndEmptyCandidateList) {
  AvlOptions o;
  EXPECT_TRUE(searchVoicePath({}, o).empty());
  std::vector<Voicing> none;
  std::vector<AvlSearchChord> chords{{none, triad(0)}};
  try {
    searchVoicePath(chords, o);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "no legal revoicings found");
  }
}

TEST(Search, PrunesToFiveHundredByUnaryScore) {
  AvlOptions o;
  std::vector<Voicing> many;
  for (int a = 36; a < 84 && many.size() < 700; ++a)
    for (int b = a + 1; b < 84 && many.size() < 700; ++b) many.push_back(Voicing{a, b});
  std::vector<AvlSearchChord> chords{{many, triad(0)}, {many, triad(0)}};
  AvlSearchStats stats;
  const auto path = searchVoicePath(chords, o, &stats);
  EXPECT_EQ(stats.candidateCounts, (std::vector<std::size_t>{500, 500}));
  EXPECT_EQ(stats.beamStates, 160u);
  // A single chord: its best unary candidate, the first one on a tie.
  std::vector<AvlSearchChord> one{{many, triad(0)}};
  const auto single = searchVoicePath(one, o);
  double best = -1e300;
  Voicing want;
  for (const auto& v : many)
    if (double s = unaryScore(v, triad(0), o); s > best) best = s, want = v;
  EXPECT_EQ(single[0], want);
}

TEST(Search, FirstCandidateWinsATie) {
  AvlOptions o;
  std::vector<Voicing> same{Voicing{60, 64, 67}, Voicing{60, 64, 67}};
  std::vector<AvlSearchChord> chords{{same, triad(0)}};
  EXPECT_EQ(searchVoicePath(chords, o)[0], (Voicing{60, 64, 67}));
}

}  // namespace
}  // namespace tw
