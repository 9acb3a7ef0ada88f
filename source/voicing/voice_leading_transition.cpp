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

// The accumulated cost of every cell, (n + 1) x (m + 1), row by row. Gives up (false) as soon
// as the distance is certain to exceed `limit`: the path passes row i at a cell that cost at
// least the row's smallest entry, and then every later row of a's own notes, each at least as
// far as its note's nearest one in b.
bool fillCosts(const VoicingShape& a, const VoicingShape& b, int* cost, int limit, const NearestNotes* nearestB) {
  const int n = a.size, m = b.size;
  const std::uint8_t* bn = b.extended.data();
  int rowsAhead = 0;  // the nearest distances of a's notes in the rows after the current one
  if (nearestB)
    for (int i = 1; i < n; ++i) rowsAhead += (*nearestB)[a.extended[static_cast<std::size_t>(i)]];
  const int a0 = a.extended[0];
  cost[0] = std::abs(a0 - bn[0]);
  int smallest = cost[0];
  for (int j = 1; j <= m; ++j) smallest = std::min(smallest, cost[j] = cost[j - 1] + std::abs(a0 - bn[j]));
  if (smallest + rowsAhead > limit) return false;
  for (int i = 1; i <= n; ++i) {
    const int* above = cost + (i - 1) * kStride;
    int* row = cost + i * kStride;
    const int ai = a.extended[static_cast<std::size_t>(i)];
    int left = row[0] = above[0] + std::abs(ai - bn[0]);
    smallest = left;
    for (int j = 1; j <= m; ++j) {
      const int fromAbove = std::min(above[j], above[j - 1]);  // off the chain through `left`
      left = row[j] = std::abs(ai - bn[j]) + std::min(fromAbove, left);
      smallest = std::min(smallest, left);
    }
    if (i < n && nearestB) rowsAhead -= (*nearestB)[ai];
    if (i < n && smallest + rowsAhead > limit) return false;
  }
  return true;
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

// The alignment's penalties, read back along the path from its end cell (i, j): a parallel
// (two aligned voices that move keep a fifth or an octave) and an overlap (a voice crosses
// where its neighbour was). Which of two moving voices is read first does not matter to a
// parallel, and the pair read just before lies above for an overlap.
struct AlignmentPenalties {
  bool parallel = false;
  bool overlap = false;
};

AlignmentPenalties readPenalties(const int* cost, const VoicingShape& a, const VoicingShape& b, int i, int j) {
  AlignmentPenalties found;
  int movedFrom[2 * kMaxNotes + 1], motion[2 * kMaxNotes + 1];
  int moved = 0;
  int aboveA = -1, aboveB = -1;
  for (;;) {
    const int na = a.extended[static_cast<std::size_t>(i)], nb = b.extended[static_cast<std::size_t>(j)];
    if (aboveA >= 0 && !found.overlap && (aboveB < na || nb > aboveA)) found.overlap = true;
    aboveA = na;
    aboveB = nb;
    if (na != nb) {
      const int step = nb - na;
      for (int x = 0; x < moved && !found.parallel; ++x)
        if (motion[x] == step && isPerfectInterval(na - movedFrom[x])) found.parallel = true;
      movedFrom[moved] = na;
      motion[moved] = step;
      ++moved;
    }
    if (i == 0 && j == 0) break;
    stepBack(cost, i, j);
  }
  return found;
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
  fillCosts(a, b, cost, std::numeric_limits<int>::max(), nullptr);
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

TransitionPricing::TransitionPricing(const VoicingShape& a, const VoicingShape& b,
                                     const TransitionRules& rules, bool bassRule, int distanceLimit,
                                     const NearestNotes* nearestB)
    : a_(a), b_(b), rules_(rules), bassRule_(bassRule) {
  if (a.size == 0 || b.size == 0) return;
  exceeded_ = !fillCosts(a, b, cost_, distanceLimit, nearestB);
  if (!exceeded_) endCell(cost_, a.size, b.size, endI_, endJ_);
}

double TransitionPricing::withoutPenalties() const {
  const double countChange = countChangeTerm(a_, b_);
  if (a_.size == 0 || b_.size == 0) return countChange;
  double score = avlWeight(AvlWeight::LeadingDistance) * cost_[endI_ * kStride + endJ_];
  score += avlWeight(AvlWeight::TopMotion) * std::abs(b_.top - a_.top);
  score += countChange;
  return outerTerms(score, a_, b_, rules_, bassRule_);
}

double TransitionPricing::terms() const {
  const double countChange = countChangeTerm(a_, b_);
  if (a_.size == 0 || b_.size == 0) return countChange;
  const AlignmentPenalties found = readPenalties(cost_, a_, b_, endI_, endJ_);
  double score = avlWeight(AvlWeight::LeadingDistance) * cost_[endI_ * kStride + endJ_];
  score += avlWeight(AvlWeight::TopMotion) * std::abs(b_.top - a_.top);
  score += countChange;
  if (found.parallel) score += avlWeight(AvlWeight::ParallelPerfect);
  if (found.overlap) score += avlWeight(AvlWeight::VoiceOverlap);
  return outerTerms(score, a_, b_, rules_, bassRule_);
}

double transitionTerms(const VoicingShape& a, const VoicingShape& b, const TransitionRules& rules,
                       bool bassRule) {
  return TransitionPricing(a, b, rules, bassRule).terms();
}

NearestNotes nearestNotes(const VoicingShape& v) {
  NearestNotes nearest{};
  if (v.size == 0) return nearest;
  // Below the lowest note, between two neighbours, above the highest: distances fall then rise.
  const int low = v.extended[0], top = v.extended[static_cast<std::size_t>(v.size - 1)];
  for (int note = 0; note < low; ++note) nearest[static_cast<std::size_t>(note)] = static_cast<std::uint8_t>(low - note);
  for (int i = 0; i + 1 < v.size; ++i) {
    const int from = v.extended[static_cast<std::size_t>(i)], to = v.extended[static_cast<std::size_t>(i + 1)];
    for (int note = from; note < to; ++note)
      nearest[static_cast<std::size_t>(note)] = static_cast<std::uint8_t>(std::min(note - from, to - note));
  }
  for (int note = top; note < 128; ++note) nearest[static_cast<std::size_t>(note)] = static_cast<std::uint8_t>(note - top);
  return nearest;
}

double transitionTermsBound(const VoicingShape& a, const VoicingShape& b, const TransitionRules& rules,
                            bool bassRule, int distanceFloor) {
  const double countChange = countChangeTerm(a, b);
  if (a.size == 0 || b.size == 0) return countChange;
  double score = avlWeight(AvlWeight::LeadingDistance) * distanceFloor;
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
