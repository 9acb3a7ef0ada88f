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
// much the same predecessors in the beam. Which terms are known is kept per chord pair, a bit
// per pair of candidates, so that looking a move up reads one small block; the terms
// themselves sit in one compact open-addressed table, small enough to stay near the
// processor. Bounded: once the budget is spent nothing more is stored.
class TransitionMemo {
 public:
  static constexpr std::size_t kBudget = std::size_t{1} << 20;  // terms (at most 32 MiB of table)

  class Rows {
   public:
    Rows(std::uint32_t pair, std::size_t targets, std::size_t predecessors)
        : pair_(pair), words_((predecessors + 63) / 64), known_(targets * words_) {}
    const std::uint64_t* known(std::size_t target) const { return known_.data() + target * words_; }
    static bool holds(const std::uint64_t* known, std::size_t predecessor) {
      return (known[predecessor >> 6] >> (predecessor & 63)) & 1u;
    }
    // The terms of a move the row holds.
    double term(std::size_t target, std::size_t predecessor, const TransitionMemo& memo) const {
      return memo.find(keyOf(target, predecessor));
    }
    // Stores the terms unless the memo's budget is spent.
    void remember(std::size_t target, std::size_t predecessor, double terms, TransitionMemo& memo);

   private:
    std::uint64_t keyOf(std::size_t target, std::size_t predecessor) const {
      return (std::uint64_t{pair_} << 32) | (std::uint64_t{target} << 16) | predecessor;
    }

    std::uint32_t pair_;
    std::size_t words_;
    std::vector<std::uint64_t> known_;
  };

  // `targets` and `predecessors` are at most the pruning limit, well inside 16 bits.
  Rows& rowsOf(std::size_t earlier, std::size_t later, bool bassRule, std::size_t targets,
               std::size_t predecessors);

 private:
  struct Slot {
    std::uint64_t key = kEmpty;
    double terms = 0.0;
  };
  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};

  double find(std::uint64_t key) const;
  bool insert(std::uint64_t key, double terms);

  std::map<std::tuple<std::size_t, std::size_t, bool>, Rows> pairs_;
  std::vector<Slot> slots_;  // a power of two, at most half full
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
  // The entry score, or, when `exactEntry` is given, a bound of it (never below it) that
  // serves until a total must be formed; exactEntry(source, index) gives the score then.
  double entry = 0.0;
  double (*exactEntry)(void* source, std::size_t index) = nullptr;
  void* source = nullptr;
};

class BeamPredecessors {
 public:
  // `states` in beam order: descending score, equal scores by index. `known` holds the terms
  // already priced between the two chords; with `remember`, terms priced now join them.
  // `statePitchClasses` and `targetPitchClasses` hold at least every pitch class the states'
  // voicings and the targets' voicings sound.
  BeamPredecessors(std::span<const BeamState> states, const TransitionRules& rules, bool bassRule,
                   TransitionMemo& memo, TransitionMemo::Rows& known, bool remember,
                   std::uint16_t statePitchClasses, std::uint16_t targetPitchClasses);

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
  bool remember_;
  std::vector<double> low_, top_;  // per state: its outer notes, ready for the first bound
  // The same per state in single precision, padded to whole blocks of eight, with the score
  // taken relative to the first state's: a coarse first bound for eight states at once.
  double scoreOffset_ = 0.0;
  std::vector<float> relativeScore_, lowNote_, topNote_;
  std::vector<float> singleOrNone_;  // infinity for single notes and empty voicings, else 0
  // Per state, for the coarse bound's rows: how far the notes between its lowest and top one,
  // together, and its top note lie from the nearest pitch class the targets sound.
  std::vector<float> innerRows_, topRow_;
  PitchClassDistances fromStates_;  // per pitch class: the distance to the states' pitch classes
};

}  // namespace tw
