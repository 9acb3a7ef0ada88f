#include "voicing/voice_leading_beam.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace tw {

namespace {

constexpr double kUnbounded = std::numeric_limits<double>::infinity();
constexpr double kNotPriced = std::numeric_limits<double>::quiet_NaN();

// Bounds are compared with a margin far above the rounding of score sums and far below any
// difference the cost makes: a state is passed over only when its bound stays below the best
// total by more than the margin.
double passingFloor(double bestTotal) { return bestTotal - 1e-9 * (1.0 + std::abs(bestTotal)); }

// Eight states at a time, four side by side.
constexpr std::size_t kBlock = 8;
constexpr std::size_t kSide = 4;
using Floats = float __attribute__((vector_size(16)));
using FloatBits = std::int32_t __attribute__((vector_size(16)));

Floats absOf(Floats x) { return reinterpret_cast<Floats>(reinterpret_cast<FloatBits>(x) & 0x7fffffff); }
Floats minOf(Floats x, Floats y) { return x < y ? x : y; }
Floats splat(float x) { return Floats{} + x; }

Floats loadSide(const float* from) {
  Floats x;
  std::memcpy(&x, from, sizeof x);
  return x;
}

// Bit k set when lane k of the comparison holds.
unsigned laneBits(FloatBits holds) {
#if defined(__SSE__)
  return static_cast<unsigned>(_mm_movemask_ps(reinterpret_cast<__m128>(holds)));
#else
  unsigned bits = 0;
  for (std::size_t k = 0; k < kSide; ++k) bits |= (holds[k] & 1u) << k;
  return bits;
#endif
}

}  // namespace

namespace {

std::size_t slotOf(std::uint64_t key, std::size_t mask) {
  return static_cast<std::size_t>((key * 0x9e3779b97f4a7c15ull) >> 32) & mask;
}

}  // namespace

double TransitionMemo::find(std::uint64_t key) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = slotOf(key, mask);; slot = (slot + 1) & mask)
    if (slots_[slot].key == key) return slots_[slot].terms;  // present: the caller knows it is
}

bool TransitionMemo::insert(std::uint64_t key, double terms) {
  if (stored_ >= kBudget) return false;
  if (2 * (stored_ + 1) > slots_.size()) {
    std::vector<Slot> old(std::max<std::size_t>(1024, 2 * slots_.size()));
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& entry : old) {
      if (entry.key == kEmpty) continue;
      std::size_t slot = slotOf(entry.key, mask);
      while (slots_[slot].key != kEmpty) slot = (slot + 1) & mask;
      slots_[slot] = entry;
    }
  }
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = slotOf(key, mask);
  while (slots_[slot].key != kEmpty) slot = (slot + 1) & mask;
  slots_[slot] = {key, terms};
  ++stored_;
  return true;
}

void TransitionMemo::Rows::remember(std::size_t target, std::size_t predecessor, double terms, TransitionMemo& memo) {
  if (!memo.insert(keyOf(target, predecessor), terms)) return;
  known_[target * words_ + (predecessor >> 6)] |= std::uint64_t{1} << (predecessor & 63);
}

TransitionMemo::Rows& TransitionMemo::rowsOf(std::size_t earlier, std::size_t later, bool bassRule,
                                             std::size_t targets, std::size_t predecessors) {
  const auto key = std::make_tuple(earlier, later, bassRule);
  if (auto it = pairs_.find(key); it != pairs_.end()) return it->second;
  return pairs_.try_emplace(key, static_cast<std::uint32_t>(pairs_.size()), targets, predecessors).first->second;
}

BeamPredecessors::BeamPredecessors(std::span<const BeamState> states, const TransitionRules& rules,
                                   bool bassRule, TransitionMemo& memo, TransitionMemo::Rows& known,
                                   bool remember, std::uint16_t statePitchClasses,
                                   std::uint16_t targetPitchClasses)
    : states_(states), rules_(rules), bassRule_(bassRule), ceiling_(transitionTermsCeiling(rules)),
      memo_(memo), known_(known), remember_(remember), fromStates_(pitchClassDistances(statePitchClasses)) {
  low_.reserve(states.size());
  top_.reserve(states.size());
  for (const BeamState& state : states) {
    low_.push_back(state.shape->low);
    top_.push_back(state.shape->top);
  }
  const std::size_t padded = (states.size() + kBlock - 1) / kBlock * kBlock;
  if (!states.empty()) scoreOffset_ = states.front().score;
  relativeScore_.assign(padded, -std::numeric_limits<float>::infinity());
  singleOrNone_.assign(padded, 0.0f);
  lowNote_.assign(padded, 0.0f);
  topNote_.assign(padded, 0.0f);
  innerRows_.assign(padded, 0.0f);
  topRow_.assign(padded, 0.0f);
  const PitchClassDistances toTargets = pitchClassDistances(targetPitchClasses);
  for (std::size_t p = 0; p < states.size(); ++p) {
    const VoicingShape& shape = *states[p].shape;
    int inner = 0;
    for (int i = 1; i + 1 < shape.size; ++i) inner += toTargets[shape.extended[static_cast<std::size_t>(i)] % 12];
    innerRows_[p] = static_cast<float>(inner);
    if (shape.size > 0) topRow_[p] = toTargets[static_cast<std::size_t>(shape.top % 12)];
    relativeScore_[p] = static_cast<float>(states[p].score - scoreOffset_);
    // Single notes and empty voicings pass the coarse bound: its end cell may be the very cell
    // of the lowest notes for them.
    if (shape.size <= 1) singleOrNone_[p] = std::numeric_limits<float>::infinity();
    lowNote_[p] = static_cast<float>(shape.low);
    topNote_[p] = static_cast<float>(shape.top);
  }
}

// The terms from state `p` into the target, from the memo when they are there.
double BeamPredecessors::terms(std::size_t p, const BeamTarget& target, std::size_t* priced) {
  const std::uint32_t from = states_[p].index;
  if (TransitionMemo::Rows::holds(known_.known(target.index), from)) return known_.term(target.index, from, memo_);
  const double t = transitionTerms(*states_[p].shape, *target.shape, rules_, bassRule_);
  if (priced) ++*priced;
  if (remember_) known_.remember(target.index, from, t, memo_);
  return t;
}

BeamPredecessors::Choice BeamPredecessors::best(const BeamTarget& target, double atLeast, std::size_t* priced) {
  const std::size_t n = states_.size();
  const VoicingShape& b = *target.shape;
  double entry = target.entry;
  bool entryKnown = target.exactEntry == nullptr;
  const std::uint64_t* known = known_.known(target.index);
  // Totals below `atLeast` are of no interest: they start as the best so far, held by no state.
  std::size_t bestPos = n;
  double bestTotal = atLeast > -kUnbounded ? passingFloor(atLeast) : -kUnbounded;
  const auto choice = [&]() -> Choice {
    if (bestPos == n) return {-kUnbounded, -1};
    return {bestTotal, static_cast<std::int32_t>(states_[bestPos].index)};
  };
  auto consider = [&](std::size_t p, double total) {
    if (total > bestTotal || (total == bestTotal && p < bestPos)) {
      bestTotal = total;
      bestPos = p;
    }
  };
  if (b.size == 0) {  // nothing to bound with: every state is priced
    if (!entryKnown) entry = target.exactEntry(target.source, target.index);
    for (std::size_t p = 0; p < n; ++p) consider(p, (states_[p].score + terms(p, target, priced)) + entry);
    return choice();
  }

  // States in beam order. A state is priced only when no bound rules it out: the ceiling (no
  // later state can do better once its score plus the ceiling stays below the best partial
  // total), then the two cells every alignment path holds (the lowest notes' and an end cell
  // pairing a top note with the other's top or lowest note; single notes are left to the
  // next bound), then every note's nearest note in the other voicing (the path passes every
  // row and every column of the grid). Terms already known count as they are.
  constexpr double kDistance = avlWeight(AvlWeight::LeadingDistance);
  constexpr double kTop = avlWeight(AvlWeight::TopMotion);
  // A held top or bass costs what the rules say (the ceiling counts only rewards).
  const double heldTop = std::min(0.0, rules_.staticTop);
  const double heldBass = bassRule_ ? std::min(0.0, rules_.staticBass) : 0.0;
  double beyondScore = ceiling_ + entry;  // the most a state's score can gain
  // Blocks of eight states first pass a coarse form of the first bound together: in single
  // precision, relative to the first state's score, with a margin far above the rounding of
  // its few operations.
  const Floats lowBs = splat(b.low), topBs = splat(b.top);
  const Floats heldTops = splat(static_cast<float>(heldTop)), heldBasses = splat(static_cast<float>(heldBass));
  constexpr float kDistanceF = static_cast<float>(kDistance), kTopF = static_cast<float>(kTop);
  // The floor as the single-precision bounds meet it: relative to the first state's score and
  // to what a state's score can gain, lowered by the margin. Every term of those bounds is at
  // most 0, so their rounding stays within a few units of the last place of their sum.
  auto coarseFloor = [&](double floor) {
    const double relativeFloor = floor - scoreOffset_ - beyondScore;
    return static_cast<float>(relativeFloor - (1e-4 + 1e-5 * std::abs(relativeFloor)));
  };
  // The floors, worked out again only when the best total has moved: the floor itself, the
  // score a state needs to pass the ceiling, and the single-precision floor.
  double floorOf = std::numeric_limits<double>::quiet_NaN(), scoreNeeded = 0.0;
  float coarse = 0.0f;
  // The exact entry score, once a total is to be formed; until then its bound serves (every
  // bound of a total stays one with it).
  auto settleEntry = [&] {
    if (entryKnown) return;
    entry = target.exactEntry(target.source, target.index);
    entryKnown = true;
    beyondScore = ceiling_ + entry;
    floorOf = std::numeric_limits<double>::quiet_NaN();
  };
  auto refloor = [&] {
    if (bestTotal == floorOf) return;
    floorOf = bestTotal;
    const double floor = passingFloor(bestTotal);
    scoreNeeded = floor - beyondScore;
    coarse = coarseFloor(floor);
  };
  // The coarse bound's distance is that of the distance bounds by rows and by columns with
  // every nearest note replaced by the nearest pitch class of the other chord's voicings (no
  // nearer): for the rows worked out per state beforehand, for the columns here.
  int innerColumns = 0;
  for (int j = 1; j + 1 < b.size; ++j) innerColumns += fromStates_[b.extended[static_cast<std::size_t>(j)] % 12];
  const Floats innerColumnsB = splat(b.size >= 2 ? static_cast<float>(innerColumns) : 0.0f);
  const Floats topColumnB = splat(fromStates_[static_cast<std::size_t>(b.top % 12)]);
  const Floats byColumns = splat(b.size >= 2 ? 1.0f : 0.0f);  // a single note leaves only the rows
  float others[kBlock];  // per state of the block: the coarse bound without its distance
  auto mayReach = [&](std::size_t start) {
    const Floats threshold = splat(coarse);
    unsigned bits = 0;
    for (std::size_t side = 0; side < kBlock; side += kSide) {
      const Floats low = loadSide(lowNote_.data() + start + side), top = loadSide(topNote_.data() + start + side);
      const Floats lowMove = absOf(low - lowBs), topMove = absOf(top - topBs);
      const Floats rows = lowMove + loadSide(innerRows_.data() + start + side) +
                          minOf(minOf(absOf(top - lowBs), topMove), loadSide(topRow_.data() + start + side) + absOf(low - topBs));
      const Floats columns = byColumns * (lowMove + innerColumnsB + minOf(minOf(absOf(topBs - low), topMove), topColumnB + absOf(lowBs - top)));
      Floats other = loadSide(relativeScore_.data() + start + side) + kTopF * topMove;
      other += reinterpret_cast<Floats>((top == topBs) & reinterpret_cast<FloatBits>(heldTops));
      other += reinterpret_cast<Floats>((low == lowBs) & reinterpret_cast<FloatBits>(heldBasses));
      std::memcpy(others + side, &other, sizeof other);
      const Floats distance = rows > columns ? rows : columns;
      const Floats bound = other + kDistanceF * distance + loadSide(singleOrNone_.data() + start + side);
      bits |= laneBits(bound >= threshold) << side;
    }
    return bits;
  };
  // A state passed by the coarse bound: the bounds of the distance from every row and from
  // every column, then the price.
  auto weigh = [&](std::size_t p, float other) {
    const BeamState& state = states_[p];
    if (TransitionMemo::Rows::holds(known, state.index)) {
      const double terms = known_.term(target.index, state.index, memo_);
      if ((state.score + terms) + entry < passingFloor(bestTotal)) return;
      settleEntry();
      consider(p, (state.score + terms) + entry);
      return;
    }
    const VoicingShape& a = *state.shape;
    if (bestTotal > -kUnbounded && a.size > 0) {
      if (other + kDistanceF * static_cast<float>(distanceBoundByRows(a, b, *target.nearest)) < coarse) return;
      if (other + kDistanceF * static_cast<float>(distanceBoundByRows(b, a, *state.nearest)) < coarse) return;
    }
    const double terms = price(p, target, entry, bestTotal, priced);
    if (std::isnan(terms)) return;
    settleEntry();
    consider(p, (state.score + terms) + entry);
  };
  [&] {
    for (std::size_t start = 0; start < n; start += kBlock) {
      refloor();
      if (states_[start].score < scoreNeeded) return;
      unsigned lanes = mayReach(start);
      for (; lanes != 0; lanes &= lanes - 1) {
        const std::size_t p = start + static_cast<std::size_t>(__builtin_ctz(lanes));
        if (p >= n) return;
        refloor();
        if (states_[p].score < scoreNeeded) return;  // scores only fall along the beam
        weigh(p, others[p - start]);
      }
    }
  }();
  return choice();
}

// The transition terms from state `p` into the target, priced (and remembered when asked),
// when the move may still reach the best total; NaN when it cannot. The alignment stops as
// soon as its distance rules the move out, and its penalties are read off the grid only when
// the move may reach the best total without them. `entry` may be a bound of the entry score.
double BeamPredecessors::price(std::size_t p, const BeamTarget& target, double entry, double bestTotal,
                               std::size_t* priced) {
  const BeamState& state = states_[p];
  TransitionPricing pricing(*state.shape, *target.shape, rules_, bassRule_);
  // The distance beyond which the move cannot reach the best total (with room to spare).
  int limit = std::numeric_limits<int>::max();
  if (bestTotal > -kUnbounded) {
    const double others = pricing.withDistance(0);
    const double room = (state.score + others + entry - passingFloor(bestTotal)) / -avlWeight(AvlWeight::LeadingDistance);
    if (room < 0) return kNotPriced;
    if (room < 1e6) limit = static_cast<int>(room) + 1;
  }
  if (!pricing.align(limit, target.nearest)) return kNotPriced;
  if ((state.score + pricing.withoutPenalties()) + entry < passingFloor(bestTotal)) return kNotPriced;
  const double t = pricing.terms();
  if (priced) ++*priced;
  if (remember_) known_.remember(target.index, state.index, t, memo_);
  return t;
}

}  // namespace tw
