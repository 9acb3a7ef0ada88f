#pragma once
// For each candidate of a chord, the state of the previous chord's beam that leads into it
// best: the same choice as trying every state of the beam in order (the first one wins a tie),
// found by pricing only the states that a bound cannot rule out, best bound first, and by
// reusing the transition terms already priced in the same search.
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <tuple>
#include <vector>

#include "voicing/voice_leading_transition.hpp"

namespace tw {

// Transition terms already priced in a search, by the pair of chords (the numbers the search
// gives its distinct candidate lists) and the pair of candidates. Chord pairs come back with
// much the same predecessors in the beam. Each candidate of the later chord has a row over
// every candidate of the earlier one, made when first needed. Bounded: once the budget is
// spent nothing more is stored.
class TransitionMemo {
 public:
  static constexpr std::size_t kBudget = std::size_t{1} << 22;  // terms (32 MiB)

  // Which terms a row holds is kept apart, a bit per predecessor, so that looking for them
  // reads one small block rather than the row itself.
  class Rows {
   public:
    Rows(std::size_t targets, std::size_t predecessors)
        : rows_(targets), words_((predecessors + 63) / 64), known_(targets * words_), predecessors_(predecessors) {}
    const std::uint64_t* known(std::size_t target) const { return known_.data() + target * words_; }
    static bool holds(const std::uint64_t* known, std::size_t predecessor) {
      return (known[predecessor >> 6] >> (predecessor & 63)) & 1u;
    }
    double term(std::size_t target, std::size_t predecessor) const { return rows_[target][predecessor]; }
    // Stores the terms unless the memo's budget is spent.
    void remember(std::size_t target, std::size_t predecessor, double terms, TransitionMemo& memo);

   private:
    std::vector<std::unique_ptr<double[]>> rows_;
    std::size_t words_;
    std::vector<std::uint64_t> known_;
    std::size_t predecessors_;
  };

  Rows& rowsOf(std::size_t earlier, std::size_t later, bool bassRule, std::size_t targets,
               std::size_t predecessors);

 private:
  std::map<std::tuple<std::size_t, std::size_t, bool>, Rows> pairs_;
  std::size_t stored_ = 0;
};

// One state of the beam: its accumulated score and its candidate.
struct BeamState {
  double score = 0.0;
  std::uint32_t index = 0;  // position in the previous chord's kept list
  const VoicingShape* shape = nullptr;
  const NearestNotes* nearest = nullptr;
};

// The candidate being led into: its kept position, shape and entry score (unary score and
// entry terms).
struct BeamTarget {
  std::size_t index = 0;
  const VoicingShape* shape = nullptr;
  const NearestNotes* nearest = nullptr;
  double entry = 0.0;
};

class BeamPredecessors {
 public:
  // `states` in beam order: descending score, equal scores by index. `known` holds the terms
  // already priced between the two chords.
  BeamPredecessors(std::span<const BeamState> states, const TransitionRules& rules, bool bassRule,
                   TransitionMemo& memo, TransitionMemo::Rows& known);

  struct Choice {
    double total = 0.0;   // the state's score plus the transition terms, plus the entry score
    std::int32_t from = -1;  // the state's index; -1 when no total reaches `atLeast`
  };
  // The best total into the target and the state it comes from, when that total can reach
  // `atLeast`; otherwise (every total stays below it by more than the comparison margin)
  // {-infinity, -1}. `priced` counts the transitions priced (not found in the memo).
  Choice best(const BeamTarget& target, double atLeast, std::size_t* priced);

 private:
  double terms(std::size_t p, const BeamTarget& target, std::size_t* priced);
  double price(std::size_t p, const BeamTarget& target, double entry, double bestTotal, std::size_t* priced);

  std::span<const BeamState> states_;
  TransitionRules rules_;
  bool bassRule_;
  double ceiling_;
  TransitionMemo& memo_;
  TransitionMemo::Rows& known_;
  std::vector<double> low_, top_;  // per state: its outer notes, ready for the first bound
  // The same per state in single precision, padded to whole blocks of eight, with the score
  // taken relative to the first state's: a coarse first bound for eight states at once.
  double scoreOffset_ = 0.0;
  std::vector<float> relativeScore_, lowNote_, topNote_;
};

}  // namespace tw
