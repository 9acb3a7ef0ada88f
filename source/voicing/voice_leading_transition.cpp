#include "voicing/voice_leading_transition.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw {

namespace {

constexpr int kMaxNotes = static_cast<int>(Voicing::kCapacity);
constexpr int kStride = 16;  // a grid row: the cells of one note of `a`, room for a whole vector

static_assert(avlWeight(AvlWeight::LeadingDistance) <= 0 && avlWeight(AvlWeight::TopMotion) <= 0 &&
                  avlWeight(AvlWeight::ParallelPerfect) <= 0 && avlWeight(AvlWeight::VoiceOverlap) <= 0,
              "the transition bounds take distance, top motion, parallels and overlaps as penalties");
static_assert(kStride >= kMaxNotes + 1 && kGridCells == (kMaxNotes + 1) * kStride,
              "a grid row holds every cell of the extended voicing");

bool isPerfectInterval(int semitones) {
  const int r = std::abs(semitones) % 12;
  return r == 0 || r == 7;
}

// Eight grid cells side by side. A cell costs at most 25 moves of 127 semitones, well inside
// 16 bits.
using Lanes = std::int16_t __attribute__((vector_size(16)));
using LaneBytes = std::uint8_t __attribute__((vector_size(8)));
constexpr int kLanes = 8;
constexpr std::int16_t kFar = 0x3fff;  // beyond any cell's cost

Lanes absOf(Lanes x) { return x < 0 ? -x : x; }

// Every lane moved `k` lanes up, the lowest `k` lanes zero.
template <int k>
Lanes shiftUp(Lanes x) {
  if constexpr (k == 1) return __builtin_shufflevector(x, Lanes{}, 8, 0, 1, 2, 3, 4, 5, 6);
  else if constexpr (k == 2) return __builtin_shufflevector(x, Lanes{}, 8, 9, 0, 1, 2, 3, 4, 5);
  else return __builtin_shufflevector(x, Lanes{}, 8, 9, 10, 11, 0, 1, 2, 3);
}

// Lane j: the sum of lanes 0..j.
Lanes prefixSums(Lanes x) {
  x += shiftUp<1>(x);
  x += shiftUp<2>(x);
  return x + shiftUp<4>(x);
}

Lanes maxOf(Lanes x, Lanes y) { return x > y ? x : y; }

// Whether every lane of a comparison holds.
bool allLanes(Lanes holds) {
#if defined(__SSE2__)
  return _mm_movemask_epi8(reinterpret_cast<__m128i>(holds)) == 0xffff;
#else
  std::uint64_t halves[2];
  std::memcpy(halves, &holds, sizeof halves);
  return (halves[0] & halves[1]) == ~std::uint64_t{0};
#endif
}

// Lane j: the largest of lanes 0..j, for lanes that are all positive.
Lanes prefixMaxima(Lanes x) {
  x = maxOf(x, shiftUp<1>(x));
  x = maxOf(x, shiftUp<2>(x));
  return maxOf(x, shiftUp<4>(x));
}

// The accumulated cost of every cell, (n + 1) x (m + 1), row by row. Gives up (false) as soon
// as the distance is certain to exceed `limit`: the path passes row i at a cell that cost at
// least the row's smallest entry, and then every later row of a's own notes, each at least as
// far as its note's nearest one in b.
bool fillCostsOneByOne(const VoicingShape& a, const VoicingShape& b, std::int16_t* cost, int limit,
                       const NearestNotes* nearestB) {
  const int n = a.size, m = b.size;
  const std::uint8_t* bn = b.extended.data();
  int rowsAhead = 0;  // the nearest distances of a's notes in the rows after the current one
  if (nearestB)
    for (int i = 1; i < n; ++i) rowsAhead += (*nearestB)[a.extended[static_cast<std::size_t>(i)]];
  const int a0 = a.extended[0];
  int left = cost[0] = static_cast<std::int16_t>(std::abs(a0 - bn[0]));
  int smallest = left;
  for (int j = 1; j <= m; ++j) {
    left += std::abs(a0 - bn[j]);
    cost[j] = static_cast<std::int16_t>(left);
    smallest = std::min(smallest, left);
  }
  if (smallest + rowsAhead > limit) return false;
  for (int i = 1; i <= n; ++i) {
    const std::int16_t* above = cost + (i - 1) * kStride;
    std::int16_t* row = cost + i * kStride;
    const int ai = a.extended[static_cast<std::size_t>(i)];
    left = above[0] + std::abs(ai - bn[0]);
    row[0] = static_cast<std::int16_t>(left);
    smallest = left;
    for (int j = 1; j <= m; ++j) {
      const int fromAbove = std::min(above[j], above[j - 1]);  // off the chain through `left`
      left = std::abs(ai - bn[j]) + std::min(fromAbove, left);
      row[j] = static_cast<std::int16_t>(left);
      smallest = std::min(smallest, left);
    }
    if (i < n && nearestB) rowsAhead -= (*nearestB)[ai];
    if (i < n && smallest + rowsAhead > limit) return false;
  }
  return true;
}

// The same grid a row at a time, for a `b` of at most seven notes (one vector per row). Along a
// row, cell j = d_j + min(up_j, cell j-1), where up_j is the smaller of the two cells above;
// with P_j the sum of d_0..d_j that is P_j + min over k <= j of (d_k + up_k - P_k): a prefix sum
// and a prefix minimum. From one row to the next the cells are carried as kTurn minus their
// cost, so that minima become maxima of positive lanes, which zeros shifted in never win.
// Lanes past the last column fill with values no real lane reads.
bool fillCostsByRows(const VoicingShape& a, const VoicingShape& b, std::int16_t* cost, int limit,
                     const NearestNotes* nearestB) {
  const int n = a.size, m = b.size;
  LaneBytes bytes;
  std::memcpy(&bytes, b.extended.data(), sizeof bytes);
  const Lanes notesB = __builtin_convertvector(bytes, Lanes);
  // All ones past the last column, for each last column.
  static constexpr Lanes kPastColumn[kLanes] = {{0, -1, -1, -1, -1, -1, -1, -1}, {0, 0, -1, -1, -1, -1, -1, -1},
                                                {0, 0, 0, -1, -1, -1, -1, -1},   {0, 0, 0, 0, -1, -1, -1, -1},
                                                {0, 0, 0, 0, 0, -1, -1, -1},     {0, 0, 0, 0, 0, 0, -1, -1},
                                                {0, 0, 0, 0, 0, 0, 0, -1},       {0, 0, 0, 0, 0, 0, 0, 0}};
  const Lanes beyond = kPastColumn[m];
  const bool limited = limit < kFar;
  int rowsAhead = 0;
  if (limited && nearestB)
    for (int i = 1; i < n; ++i) rowsAhead += (*nearestB)[a.extended[static_cast<std::size_t>(i)]];
  // Whether every real cell of the row stays above what the distance may still reach.
  auto exceeds = [&](Lanes row, int i) {
    if (!limited || i >= n) return false;
    if (i > 0 && nearestB) rowsAhead -= (*nearestB)[a.extended[static_cast<std::size_t>(i)]];
    const Lanes reach = Lanes{} + static_cast<std::int16_t>(std::max(limit - rowsAhead, -1));
    return allLanes((row > reach) | beyond);
  };

  constexpr std::int16_t kTurn = 0x4000;  // above every cost; kTurn plus a row's sums stays in range
  const Lanes first = prefixSums(absOf(notesB - static_cast<std::int16_t>(a.extended[0])));
  std::memcpy(cost, &first, sizeof first);
  if (exceeds(first, 0)) return false;
  Lanes turnedAbove = kTurn - first;
  for (int i = 1; i <= n; ++i) {
    const Lanes d = absOf(notesB - static_cast<std::int16_t>(a.extended[static_cast<std::size_t>(i)]));
    const Lanes sums = prefixSums(d);
    const Lanes turnedUp = maxOf(turnedAbove, shiftUp<1>(turnedAbove));  // lane 0: the cell above
    turnedAbove = prefixMaxima(turnedUp - (d - sums)) - sums;
    const Lanes row = kTurn - turnedAbove;
    std::memcpy(cost + i * kStride, &row, sizeof row);
    if (exceeds(row, i)) return false;
  }
  return true;
}

bool fillCosts(const VoicingShape& a, const VoicingShape& b, std::int16_t* cost, int limit,
               const NearestNotes* nearestB) {
  if (b.size < kLanes) return fillCostsByRows(a, b, cost, limit, nearestB);
  return fillCostsOneByOne(a, b, cost, limit, nearestB);
}

// The end cell: the smallest of (n-1, m), (n, m-1), (n-1, m-1), the first listed on a tie.
void endCell(const std::int16_t* cost, int n, int m, int& i, int& j) {
  i = n - 1;
  j = m;
  if (cost[n * kStride + m - 1] < cost[i * kStride + j]) i = n, j = m - 1;
  if (cost[(n - 1) * kStride + m - 1] < cost[i * kStride + j]) i = n - 1, j = m - 1;
}

// One step back along the path from (i, j) != (0, 0): among (i-1, j), (i, j-1), (i-1, j-1)
// the smallest, the first listed on a tie; the first row and column go straight back.
void stepBack(const std::int16_t* cost, int& i, int& j) {
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

// Whether two notes this far apart (-127..127, offset by 127) form a fifth or an octave.
constexpr auto kPerfectApart = [] {
  std::array<bool, 255> perfect{};
  for (int d = -127; d <= 127; ++d) perfect[static_cast<std::size_t>(d + 127)] = (d < 0 ? -d : d) % 12 == 0 || (d < 0 ? -d : d) % 12 == 7;
  return perfect;
}();

AlignmentPenalties readPenalties(const std::int16_t* cost, const VoicingShape& a, const VoicingShape& b, int i, int j) {
  AlignmentPenalties found;
  int movedFrom[2 * kMaxNotes + 1], motion[2 * kMaxNotes + 1];
  int moved = 0;
  int aboveA = -1, aboveB = -1;
  for (;;) {
    const int na = a.extended[static_cast<std::size_t>(i)], nb = b.extended[static_cast<std::size_t>(j)];
    if (aboveA >= 0 && (aboveB < na || nb > aboveA)) found.overlap = true;
    aboveA = na;
    aboveB = nb;
    if (na != nb && !found.parallel) {
      const int step = nb - na;
      for (int x = 0; x < moved; ++x) {
        if (motion[x] == step && kPerfectApart[static_cast<std::size_t>(na - movedFrom[x] + 127)]) {
          found.parallel = true;
          break;
        }
      }
      movedFrom[moved] = na;
      motion[moved] = step;
      ++moved;
    }
    if ((found.parallel && found.overlap) || (i == 0 && j == 0)) break;  // nothing more to find
    // One step back, as stepBack takes it.
    if (i == 0) {
      --j;
    } else if (j == 0) {
      --i;
    } else {
      const std::int16_t* cell = cost + i * kStride + j;
      const int up = cell[-kStride], left = cell[-1], diagonal = cell[-kStride - 1];
      if (left < up) {
        if (diagonal < left) --i;
        --j;
      } else {
        --i;
        if (diagonal < up) --j;
      }
    }
  }
  return found;
}

}  // namespace

VoicingShape shapeOf(const Voicing& v) {
  VoicingShape s;
  s.size = static_cast<int>(v.size());
  s.notes.fill(kNoNote);
  for (int i = 0; i < s.size; ++i) {
    s.extended[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v[static_cast<std::size_t>(i)]);
    s.notes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v[static_cast<std::size_t>(i)]);
  }
  if (s.size > 0) {
    s.extended[static_cast<std::size_t>(s.size)] = static_cast<std::uint8_t>(v.front());
    s.top = v.back();
    s.low = v.front();
    s.outer = s.top - s.low;
    s.perfectOuter = isPerfectInterval(s.outer);
    s.octavesOuter = s.outer > 0 && s.outer % 12 == 0;
  }
  return s;
}

AvlAlignment alignShapes(const VoicingShape& a, const VoicingShape& b) {
  AvlAlignment out;
  if (a.size == 0 || b.size == 0) return out;
  std::int16_t cost[kGridCells];
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
                                     const TransitionRules& rules, bool bassRule)
    : a_(a), b_(b), countChange_(avlWeight(AvlWeight::NoteCountChange) * std::abs(a.size - b.size)) {
  if (a.size == 0 || b.size == 0) return;
  if (a.size >= 2 && b.size >= 2) {
    if (a.perfectOuter && b.low != a.low && b.outer == a.outer)
      outer_[outerCount_++] = avlWeight(AvlWeight::OuterParallel);
    const int topMove = b.top - a.top, bassMove = b.low - a.low;
    const bool similar = (topMove > 0 && bassMove > 0) || (topMove < 0 && bassMove < 0);
    if (b.octavesOuter && similar && std::abs(topMove) > 2 && std::abs(bassMove) >= 3)
      outer_[outerCount_++] = avlWeight(AvlWeight::OuterLeapToOctave);
  }
  if (b.top == a.top) outer_[outerCount_++] = rules.staticTop;
  if (bassRule && b.low == a.low) outer_[outerCount_++] = rules.staticBass;
}

// The distance and top-motion terms are in `score`; the count change and the outer terms follow.
double TransitionPricing::sumFrom(double score) const {
  score += avlWeight(AvlWeight::TopMotion) * std::abs(b_.top - a_.top);
  score += countChange_;
  return score;
}

double TransitionPricing::withDistance(int distance) const {
  if (a_.size == 0 || b_.size == 0) return countChange_;
  double score = sumFrom(avlWeight(AvlWeight::LeadingDistance) * distance);
  for (int k = 0; k < outerCount_; ++k) score += outer_[static_cast<std::size_t>(k)];
  return score;
}

bool TransitionPricing::align(int distanceLimit, const NearestNotes* nearestB) {
  if (a_.size == 0 || b_.size == 0) return true;
  if (!fillCosts(a_, b_, cost_, distanceLimit, nearestB)) return false;
  endCell(cost_, a_.size, b_.size, endI_, endJ_);
  return true;
}

double TransitionPricing::withoutPenalties() const {
  if (a_.size == 0 || b_.size == 0) return countChange_;
  return withDistance(cost_[endI_ * kStride + endJ_]);
}

double TransitionPricing::terms() const {
  if (a_.size == 0 || b_.size == 0) return countChange_;
  const AlignmentPenalties found = readPenalties(cost_, a_, b_, endI_, endJ_);
  double score = sumFrom(avlWeight(AvlWeight::LeadingDistance) * cost_[endI_ * kStride + endJ_]);
  if (found.parallel) score += avlWeight(AvlWeight::ParallelPerfect);
  if (found.overlap) score += avlWeight(AvlWeight::VoiceOverlap);
  for (int k = 0; k < outerCount_; ++k) score += outer_[static_cast<std::size_t>(k)];
  return score;
}

double transitionTerms(const VoicingShape& a, const VoicingShape& b, const TransitionRules& rules,
                       bool bassRule) {
  TransitionPricing pricing(a, b, rules, bassRule);
  pricing.align();
  return pricing.terms();
}

std::uint16_t pitchClassesOf(const VoicingShape& voicing) {
  unsigned pcs = 0;
  for (int i = 0; i < voicing.size; ++i) pcs |= 1u << (voicing.extended[static_cast<std::size_t>(i)] % 12);
  return static_cast<std::uint16_t>(pcs);
}

PitchClassDistances pitchClassDistances(std::uint16_t pitchClasses) {
  PitchClassDistances distances{};
  if ((pitchClasses & 0xfff) == 0) return distances;
  for (int pc = 0; pc < 12; ++pc) {
    int nearest = 6;
    for (int other = 0; other < 12; ++other)
      if (pitchClasses & (1u << other)) nearest = std::min(nearest, std::min((pc - other + 12) % 12, (other - pc + 12) % 12));
    distances[static_cast<std::size_t>(pc)] = static_cast<std::uint8_t>(nearest);
  }
  return distances;
}

NearestNotes nearestNotes(const VoicingShape& v) {
  NearestNotes nearest{};
  if (v.size == 0) return nearest;
  // Sixteen notes at a time: the smallest distance to any note of the voicing.
  using Bytes = std::uint8_t __attribute__((vector_size(16)));
  constexpr Bytes kSteps{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  for (std::size_t from = 0; from < 128; from += 16) {
    const Bytes notes = kSteps + static_cast<std::uint8_t>(from);
    Bytes distance = Bytes{} + 0xff;
    for (int i = 0; i < v.size; ++i) {
      const Bytes note = Bytes{} + v.extended[static_cast<std::size_t>(i)];
      const Bytes apart = (notes > note ? notes : note) - (notes < note ? notes : note);
      distance = distance < apart ? distance : apart;
    }
    std::memcpy(nearest.data() + from, &distance, sizeof distance);
  }
  nearest[kNoNote] = 0;
  return nearest;
}

double transitionTermsCeiling(const TransitionRules& rules) {
  auto positive = [](double w) { return std::max(0.0, w); };
  return positive(avlWeight(AvlWeight::NoteCountChange)) * static_cast<double>(kMaxNotes) +
         positive(avlWeight(AvlWeight::OuterParallel)) +
         positive(avlWeight(AvlWeight::OuterLeapToOctave)) + positive(rules.staticTop) +
         positive(rules.staticBass) + 1e-9;
}

}  // namespace tw
