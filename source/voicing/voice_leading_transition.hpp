#pragma once
// One move from a voicing to the next, priced: the alignment of the two voicings by dynamic
// time warping, the transition terms of the cost, and a cheap upper bound of those terms with
// which the search passes over moves that cannot win.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdint>
#include <limits>

#include "voicing/pitch_class_voicer.hpp"
#include "voicing/voice_leading_rules.hpp"

namespace tw {

// Both note lists are extended by their lowest note at the end and aligned by dynamic time
// warping; `pairs` holds the aligned notes from the lowest cell of the path upwards.
struct AvlAlignment {
  struct Pair {
    std::uint8_t a;
    std::uint8_t b;
  };
  int distance = 0;
  int count = 0;
  std::array<Pair, 2 * Voicing::kCapacity + 1> pairs{};
};

// Stands for no note: every nearest-note table holds 0 for it.
inline constexpr std::uint8_t kNoNote = 128;

// A voicing laid out for the transition terms: its notes followed by the lowest note again,
// and its notes alone, the rest of the capacity filled with kNoNote.
struct VoicingShape {
  std::array<std::uint8_t, Voicing::kCapacity + 1> extended{};
  std::array<std::uint8_t, Voicing::kCapacity> notes{};
  int size = 0;
  int top = 0;
  int low = 0;
  // The outer interval (top minus lowest note), and whether it is a fifth or octave (mod 12),
  // and a whole number of octaves.
  int outer = 0;
  bool perfectOuter = false;
  bool octavesOuter = false;
};

VoicingShape shapeOf(const Voicing& voicing);

// Empty when either voicing is empty.
AvlAlignment alignShapes(const VoicingShape& a, const VoicingShape& b);

// The transition rules of the style table, summed for the anchor's style.
struct TransitionRules {
  double staticTop = 0.0;
  double staticBass = 0.0;
};

TransitionRules transitionRules(const AvlOptions& options);

// Every term of moving from `a` to `b` that involves both voicings. `bassRule` tells whether
// the static-bass rule may apply (bass changes allowed and neither chord has a written bass).
double transitionTerms(const VoicingShape& a, const VoicingShape& b, const TransitionRules& rules,
                       bool bassRule);


// For every MIDI note, the distance to the nearest note of a voicing (0 for an empty one), and
// 0 for kNoNote.
using NearestNotes = std::array<std::uint8_t, 129>;
NearestNotes nearestNotes(const VoicingShape& voicing);

// Every note of `from` is aligned at least as far as its nearest note in the other voicing.
[[gnu::always_inline]] inline int nearestSum(const VoicingShape& from, const NearestNotes& to) {
  const std::uint8_t* n = from.notes.data();
  // Up to eight notes (most voicings), written out: the table reads need no loop.
  const int low = ((to[n[0]] + to[n[1]]) + (to[n[2]] + to[n[3]])) + ((to[n[4]] + to[n[5]]) + (to[n[6]] + to[n[7]]));
  if (from.size <= 8) return low;
  int high = 0;
  for (std::size_t i = 8; i < from.notes.size(); ++i) high += to[n[i]];
  return low + high;
}

// A lower bound of the alignment distance from the rows of `from` (its notes; `nearestTo` are
// the nearest notes of `to`): every path holds the cell of the lowest notes, passes each further
// row but the top one at a cell at least as far as that note's nearest note, and ends in the
// top row at the repeated lowest note or the top note of `to`, or in the row of the repeat at
// the top note of `to`, having passed the top row elsewhere. Swapping the voicings bounds it
// from the columns: the distance is the same either way round.
[[gnu::always_inline]] inline int distanceBoundByRows(const VoicingShape& from, const VoicingShape& to,
                                                      const NearestNotes& nearestTo) {
  const int all = nearestSum(from, nearestTo);
  if (from.size < 2 || to.size < 1) return all;
  const int low = from.low, top = from.top, toLow = to.low, toTop = to.top;
  const int nearTop = nearestTo[static_cast<std::size_t>(top)];
  const int inner = all - nearestTo[static_cast<std::size_t>(low)] - nearTop;
  const int end = std::min(std::min(std::abs(top - toLow), std::abs(top - toTop)), nearTop + std::abs(low - toTop));
  return std::abs(low - toLow) + inner + end;
}

// The pitch classes a voicing sounds, bit n for pitch class n.
std::uint16_t pitchClassesOf(const VoicingShape& voicing);

// For every pitch class, how far (in semitones, either way round the octave) the nearest of a
// set of pitch classes lies: no note of a voicing of those pitch classes is nearer to a note of
// that pitch class. 0 throughout for an empty set.
using PitchClassDistances = std::array<std::uint8_t, 12>;
PitchClassDistances pitchClassDistances(std::uint16_t pitchClasses);

// The alignment grid: a row of 16 cells for each note of the earlier voicing and its repeat.
inline constexpr std::size_t kGridCells = (Voicing::kCapacity + 1) * 16;

// transitionTerms in steps, so that the alignment is made only for moves that a bound of the
// distance cannot rule out, and its penalties (parallels and overlaps) are read off the grid
// only for moves that may be chosen.
class TransitionPricing {
 public:
  TransitionPricing(const VoicingShape& a, const VoicingShape& b, const TransitionRules& rules, bool bassRule);
  // Every term but the alignment's penalties, the voice-leading distance taken as `distance`:
  // never below transitionTerms (but for rounding) when the distance is at least that.
  double withDistance(int distance) const;
  // Aligns the voicings. With a `distanceLimit`, gives up (false) as soon as the distance is
  // certain to exceed it (`nearestB`, b's nearest notes, makes that sooner); nothing below may
  // be asked then.
  bool align(int distanceLimit = std::numeric_limits<int>::max(), const NearestNotes* nearestB = nullptr);
  // Every term but the alignment's penalties, which can only lower the terms.
  double withoutPenalties() const;
  // Every term: transitionTerms(a, b, rules, bassRule).
  double terms() const;

 private:
  double sumFrom(double score) const;

  const VoicingShape& a_;
  const VoicingShape& b_;
  double countChange_ = 0.0;
  // The terms of the outer voices and the style rules that apply, in the order they are added.
  std::array<double, 4> outer_{};
  int outerCount_ = 0;
  std::int16_t cost_[kGridCells];
  int endI_ = 0, endJ_ = 0;
};

// A bound of transitionTerms over every pair of voicings.
double transitionTermsCeiling(const TransitionRules& rules);

}  // namespace tw
