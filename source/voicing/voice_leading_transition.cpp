#include "voicing/voice_leading_transition.hpp"

#include <algorithm>
#include <cstdlib>

namespace tw {

namespace {

constexpr int kMaxNotes = static_cast<int>(Voicing::kCapacity);
constexpr int kStride = kMaxNotes + 1;

static_assert(avlWeight(AvlWeight::LeadingDistance) <= 0 && avlWeight(AvlWeight::TopMotion) <= 0 &&
                  avlWeight(AvlWeight::ParallelPerfect) <= 0 && avlWeight(AvlWeight::VoiceOverlap) <= 0,
              "the transition bounds take distance, top motion, parallels and overlaps as penalties");

bool isPerfectInterval(int semitones) {
  const int r = std::abs(semitones) % 12;
  return r == 0 || r == 7;
}

// The accumulated cost of every cell, (n + 1) x (m + 1), row by row.
void fillCosts(const VoicingShape& a, const VoicingShape& b, int* cost) {
  const int n = a.size, m = b.size;
  const std::uint8_t* bn = b.extended.data();
  const int a0 = a.extended[0];
  cost[0] = std::abs(a0 - bn[0]);
  for (int j = 1; j <= m; ++j) cost[j] = cost[j - 1] + std::abs(a0 - bn[j]);
  for (int i = 1; i <= n; ++i) {
    const int* above = cost + (i - 1) * kStride;
    int* row = cost + i * kStride;
    const int ai = a.extended[static_cast<std::size_t>(i)];
    row[0] = above[0] + std::abs(ai - bn[0]);
    for (int j = 1; j <= m; ++j)
      row[j] = std::abs(ai - bn[j]) + std::min(std::min(above[j], row[j - 1]), above[j - 1]);
  }
}

// The end cell: the smallest of (n-1, m), (n, m-1), (n-1, m-1), the first listed on a tie.
void endCell(const int* cost, int n, int m, int& i, int& j) {
  i = n - 1;
  j = m;
  if (cost[n * kStride + m - 1] < cost[i * kStride + j]) i = n, j = m - 1;
  if (cost[(n - 1) * kStride + m - 1] < cost[i * kStride + j]) i = n - 1, j = m - 1;
}

// One step back along the path from (i, j) != (0, 0): among (i-1, j), (i, j-1), (i-1, j-1)
// the smallest, the first listed on a tie; the first row and column go straight back.
void stepBack(const int* cost, int& i, int& j) {
  if (i == 0) {
    --j;
  } else if (j == 0) {
    --i;
  } else {
    int ni = i - 1, nj = j;
    if (cost[i * kStride + j - 1] < cost[ni * kStride + nj]) ni = i, nj = j - 1;
    if (cost[(i - 1) * kStride + j - 1] < cost[ni * kStride + nj]) ni = i - 1, nj = j - 1;
    i = ni;
    j = nj;
  }
}

// What the transition terms need from the alignment.
struct AlignmentFacts {
  int distance = 0;
  bool parallel = false;  // two aligned voices that move keep a fifth or an octave
  bool overlap = false;   // a voice crosses where its neighbour was
};

AlignmentFacts alignmentFacts(const VoicingShape& a, const VoicingShape& b) {
  int cost[kStride * kStride];
  fillCosts(a, b, cost);
  int i, j;
  endCell(cost, a.size, b.size, i, j);
  AlignmentFacts facts;
  facts.distance = cost[i * kStride + j];

  // The path read back from its end, pair by pair; which of two moving voices is read first
  // does not matter to a parallel, and the pair read just before lies above for an overlap.
  int movedFrom[2 * kMaxNotes + 1], motion[2 * kMaxNotes + 1];
  int moved = 0;
  int aboveA = -1, aboveB = -1;
  for (;;) {
    const int na = a.extended[static_cast<std::size_t>(i)], nb = b.extended[static_cast<std::size_t>(j)];
    if (aboveA >= 0 && !facts.overlap && (aboveB < na || nb > aboveA)) facts.overlap = true;
    aboveA = na;
    aboveB = nb;
    if (na != nb) {
      const int step = nb - na;
      for (int x = 0; x < moved && !facts.parallel; ++x)
        if (motion[x] == step && isPerfectInterval(na - movedFrom[x])) facts.parallel = true;
      movedFrom[moved] = na;
      motion[moved] = step;
      ++moved;
    }
    if (i == 0 && j == 0) break;
    stepBack(cost, i, j);
  }
  return facts;
}

double countChangeTerm(const VoicingShape& a, const VoicingShape& b) {
  return avlWeight(AvlWeight::NoteCountChange) * std::abs(a.size - b.size);
}

// The terms read off the outer voices and the style rules, added in the cost's own order.
double outerTerms(double score, const VoicingShape& a, const VoicingShape& b,
                  const TransitionRules& rules, bool bassRule) {
  if (a.size >= 2 && b.size >= 2) {
    const int outerA = a.top - a.low, outerB = b.top - b.low;
    if (isPerfectInterval(outerA) && b.low != a.low && outerB == outerA)
      score += avlWeight(AvlWeight::OuterParallel);
    const int topMove = b.top - a.top, bassMove = b.low - a.low;
    const bool similar = (topMove > 0 && bassMove > 0) || (topMove < 0 && bassMove < 0);
    if (outerB > 0 && outerB % 12 == 0 && similar && std::abs(topMove) > 2 && std::abs(bassMove) >= 3)
      score += avlWeight(AvlWeight::OuterLeapToOctave);
  }
  if (b.top == a.top) score += rules.staticTop;
  if (bassRule && b.low == a.low) score += rules.staticBass;
  return score;
}

}  // namespace

VoicingShape shapeOf(const Voicing& v) {
  VoicingShape s;
  s.size = static_cast<int>(v.size());
  for (int i = 0; i < s.size; ++i)
    s.extended[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v[static_cast<std::size_t>(i)]);
  if (s.size > 0) {
    s.extended[static_cast<std::size_t>(s.size)] = static_cast<std::uint8_t>(v.front());
    s.top = v.back();
    s.low = v.front();
  }
  return s;
}

AvlAlignment alignShapes(const VoicingShape& a, const VoicingShape& b) {
  AvlAlignment out;
  if (a.size == 0 || b.size == 0) return out;
  int cost[kStride * kStride];
  fillCosts(a, b, cost);
  int i, j;
  endCell(cost, a.size, b.size, i, j);
  out.distance = cost[i * kStride + j];
  for (;;) {
    out.pairs[static_cast<std::size_t>(out.count++)] = {a.extended[static_cast<std::size_t>(i)],
                                                        b.extended[static_cast<std::size_t>(j)]};
    if (i == 0 && j == 0) break;
    stepBack(cost, i, j);
  }
  std::reverse(out.pairs.begin(), out.pairs.begin() + out.count);
  return out;
}

TransitionRules transitionRules(const AvlOptions& options) {
  TransitionRules r;
  for (const auto& rule : options.rules) {
    if (!ruleApplies(rule, options.anchorStyle)) continue;
    if (rule.kind == AvlRuleKind::StaticTop) r.staticTop += rule.weight;
    if (rule.kind == AvlRuleKind::StaticBass) r.staticBass += rule.weight;
  }
  return r;
}

double transitionTerms(const VoicingShape& a, const VoicingShape& b, const TransitionRules& rules,
                       bool bassRule) {
  const double countChange = countChangeTerm(a, b);
  if (a.size == 0 || b.size == 0) return countChange;
  const AlignmentFacts facts = alignmentFacts(a, b);
  double score = avlWeight(AvlWeight::LeadingDistance) * facts.distance;
  score += avlWeight(AvlWeight::TopMotion) * std::abs(b.top - a.top);
  score += countChange;
  if (facts.parallel) score += avlWeight(AvlWeight::ParallelPerfect);
  if (facts.overlap) score += avlWeight(AvlWeight::VoiceOverlap);
  return outerTerms(score, a, b, rules, bassRule);
}

NearestNotes nearestNotes(const VoicingShape& v) {
  NearestNotes nearest{};
  if (v.size == 0) return nearest;
  int below = 0;  // index of the highest note at or below the current one, when there is one
  for (int note = 0; note < 128; ++note) {
    while (below + 1 < v.size && v.extended[static_cast<std::size_t>(below + 1)] <= note) ++below;
    int d = std::abs(note - v.extended[static_cast<std::size_t>(below)]);
    if (below + 1 < v.size) d = std::min(d, v.extended[static_cast<std::size_t>(below + 1)] - note);
    nearest[static_cast<std::size_t>(note)] = static_cast<std::uint8_t>(d);
  }
  return nearest;
}

double transitionTermsBound(const VoicingShape& a, const NearestNotes& nearestA,
                            const VoicingShape& b, const NearestNotes& nearestB,
                            const TransitionRules& rules, bool bassRule) {
  const double countChange = countChangeTerm(a, b);
  if (a.size == 0 || b.size == 0) return countChange;
  // The alignment path passes every row and every column of the grid.
  int fromA = 0, fromB = 0;
  for (int i = 0; i < a.size; ++i) fromA += nearestB[a.extended[static_cast<std::size_t>(i)]];
  for (int j = 0; j < b.size; ++j) fromB += nearestA[b.extended[static_cast<std::size_t>(j)]];
  double score = avlWeight(AvlWeight::LeadingDistance) * std::max(fromA, fromB);
  score += avlWeight(AvlWeight::TopMotion) * std::abs(b.top - a.top);
  score += countChange;
  return outerTerms(score, a, b, rules, bassRule);
}

double transitionTermsCeiling(const TransitionRules& rules) {
  auto positive = [](double w) { return std::max(0.0, w); };
  return positive(avlWeight(AvlWeight::NoteCountChange)) * static_cast<double>(kMaxNotes) +
         positive(avlWeight(AvlWeight::OuterParallel)) +
         positive(avlWeight(AvlWeight::OuterLeapToOctave)) + positive(rules.staticTop) +
         positive(rules.staticBass) + 1e-9;
}

}  // namespace tw
