#include "voicing/voice_leading_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <tuple>
#include <stdexcept>

#include "voicing/roughness.hpp"
#include "voicing/voice_leading_transition.hpp"

namespace tw {

namespace {

// Bounds are compared with a margin far above the rounding of score sums and far below any
// difference of the cost.
constexpr double kBoundMargin = 1e-9;

// The wide-triad rule prices the voicing being entered; it counts with every transition.
double entryTerms(const Voicing& b, const AvlOptions& options) {
  double score = 0.0;
  if (b.size() != 3) return score;
  const int gap = b[2] - b[1];
  for (const auto& rule : options.rules) {
    if (rule.kind != AvlRuleKind::WideTriadTop || !ruleApplies(rule, options.anchorStyle)) continue;
    if (gap > rule.threshold) score += rule.weight * (gap - rule.threshold);
  }
  return score;
}

bool bassRuleApplies(const AvlOptions& options, const AvlChordTraits& a, const AvlChordTraits& b) {
  return options.allowBassChanges && !a.writtenBass && !b.writtenBass;
}

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

// A chord's candidates as the search weighs them: the kept ones in consideration order with
// their scores and shapes. Built once per distinct chord of a search, since tunes keep coming
// back to the same chords.
struct ScoredCandidates {
  const Voicing* list = nullptr;  // identity: the candidate list and the chord's traits
  std::size_t listSize = 0;
  AvlChordTraits traits;
  std::vector<std::uint32_t> kept;  // indices into the list
  std::vector<double> unary;        // per kept candidate
  std::vector<double> entry;        // the unary score and the terms of entering the candidate
  std::vector<VoicingShape> shapes;
  std::vector<NearestNotes> nearest;
};

bool sameTraits(const AvlChordTraits& a, const AvlChordTraits& b) {
  return a.root == b.root && a.writtenBass == b.writtenBass && a.hasFifth == b.hasFifth &&
         a.tensionMask == b.tensionMask;
}

ScoredCandidates scoreCandidates(const AvlSearchChord& chord, const AvlOptions& options,
                                 std::vector<double>& unary) {
  ScoredCandidates s;
  s.list = chord.candidates.data();
  s.listSize = chord.candidates.size();
  s.traits = chord.traits;
  const std::size_t raw = chord.candidates.size();
  unary.resize(raw);
  for (std::size_t k = 0; k < raw; ++k) unary[k] = unaryScore(chord.candidates[k], chord.traits, options);

  // More than kAvlMaxCandidates: keep the best by unary score, highest first (ties in
  // generation order); otherwise generation order.
  auto& keep = s.kept;
  keep.resize(raw);
  for (std::size_t k = 0; k < raw; ++k) keep[k] = static_cast<std::uint32_t>(k);
  if (raw > kAvlMaxCandidates) {
    std::partial_sort(keep.begin(), keep.begin() + kAvlMaxCandidates, keep.end(),
                      [&](std::uint32_t x, std::uint32_t y) {
                        return unary[x] > unary[y] || (unary[x] == unary[y] && x < y);
                      });
    keep.resize(kAvlMaxCandidates);
  }
  for (std::uint32_t k : keep) {
    const Voicing& v = chord.candidates[k];
    s.unary.push_back(unary[k]);
    s.entry.push_back(unary[k] + entryTerms(v, options));
    s.shapes.push_back(shapeOf(v));
    s.nearest.push_back(nearestNotes(s.shapes.back()));
  }
  return s;
}

// The scored candidates of `chord`, scored now unless an earlier chord of the search had the
// same list and traits.
std::size_t scoredIndex(std::vector<ScoredCandidates>& scored, const AvlSearchChord& chord,
                        const AvlOptions& options, std::vector<double>& scratch) {
  for (std::size_t i = 0; i < scored.size(); ++i)
    if (scored[i].list == chord.candidates.data() && scored[i].listSize == chord.candidates.size() &&
        sameTraits(scored[i].traits, chord.traits))
      return i;
  scored.push_back(scoreCandidates(chord, options, scratch));
  return scored.size() - 1;
}

// Transition terms already computed in this search, by the pair of chords (their scored
// candidates) and the pair of kept candidates. Chord pairs come back with much the same
// predecessors in the beam, so each predecessor's row is stored as it is met. Bounded: once
// the budget is spent nothing more is stored.
class TransitionMemo {
 public:
  static constexpr std::size_t kBudget = std::size_t{1} << 22;  // terms (32 MiB)

  class Rows {
   public:
    explicit Rows(std::size_t predecessors) : rows_(predecessors) {}
    double* row(std::uint32_t from) const { return rows_[from].get(); }
    // A new row of unknown terms, or null when the memo's budget is spent.
    double* addRow(std::uint32_t from, std::size_t width, TransitionMemo& memo) {
      if (memo.stored_ + width > kBudget) return nullptr;
      memo.stored_ += width;
      rows_[from] = std::make_unique<double[]>(width);
      std::fill_n(rows_[from].get(), width, kUnknown);
      return rows_[from].get();
    }

   private:
    std::vector<std::unique_ptr<double[]>> rows_;
  };

  Rows& rowsOf(std::size_t earlier, std::size_t later, bool bassRule, std::size_t predecessors) {
    return pairs_.try_emplace(std::make_tuple(earlier, later, bassRule), predecessors).first->second;
  }

 private:
  std::map<std::tuple<std::size_t, std::size_t, bool>, Rows> pairs_;
  std::size_t stored_ = 0;
};

// transitionTermsCeiling with the voice-leading distance and the top motion put back, the
// distance bounded below by the two cells every alignment path holds: the lowest notes' and
// an end cell pairing a top note with the other's top or lowest note.
double outerVoiceBound(const VoicingShape& a, const VoicingShape& b, double ceiling) {
  if (a.size == 0 || b.size == 0) return ceiling;
  int distance = std::abs(a.low - b.low);
  if (a.size > 1 || b.size > 1)
    distance += std::min({std::abs(a.top - b.low), std::abs(a.low - b.top), std::abs(a.top - b.top)});
  return avlWeight(AvlWeight::LeadingDistance) * distance +
         avlWeight(AvlWeight::TopMotion) * std::abs(b.top - a.top) + ceiling;
}

}  // namespace

AvlChordTraits avlChordTraits(const ParsedChord& chord) {
  AvlChordTraits t;
  t.root = reducePitchClass(chord.root);
  if (chord.bass) t.writtenBass = reducePitchClass(*chord.bass);
  for (int interval : chord.intervals) {
    const int r = ((interval % 12) + 12) % 12;
    if (r == 6 || r == 7 || r == 8) t.hasFifth = true;
    if (interval == 13 || interval == 15 || interval == 17 || interval == 18 || interval == 20)
      t.tensionMask = static_cast<std::uint16_t>(t.tensionMask | (1u << reducePitchClass(t.root + interval)));
  }
  return t;
}

AvlAlignment alignVoicings(const Voicing& a, const Voicing& b) { return alignShapes(shapeOf(a), shapeOf(b)); }

double unaryScore(const Voicing& v, const AvlChordTraits& chord, const AvlOptions& options) {
  const int n = static_cast<int>(v.size());
  if (n == 0) return avlWeight(AvlWeight::TargetNoteCount) * std::abs(options.targetNotes);
  const int lowest = v.front(), highest = v.back();
  double sum = 0.0;
  for (std::uint8_t note : v) sum += note;
  const double mean = sum / n;

  double score = avlWeight(AvlWeight::TargetNoteCount) * std::abs(n - options.targetNotes);
  score += avlWeight(AvlWeight::AboveTop) * options.topWeightScale *
           std::max(0, highest - options.top);
  score += avlWeight(AvlWeight::BelowBottom) * options.bottomWeightScale *
           std::max(0, options.bottom - lowest);
  score += avlWeight(AvlWeight::MiddleDistance) * options.middleWeightScale *
           std::abs(mean - options.middle);
  if (n > 4) score += avlWeight(AvlWeight::Roughness) * roughness(v);

  const int lowestPc = lowest % 12;
  const bool bassFree = options.allowBassChanges && !chord.writtenBass;
  const bool rootBass = lowestPc == chord.root;
  for (const auto& rule : options.rules) {
    if (!ruleApplies(rule, options.anchorStyle)) continue;
    switch (rule.kind) {
      case AvlRuleKind::LowCluster:
        if (n >= 2 && v[1] - lowest < rule.threshold) score += rule.weight;
        break;
      case AvlRuleKind::SplitFifth:
        if (!chord.writtenBass && n >= 2 && v[1] <= rule.limit && rootBass && chord.hasFifth) {
          const int above = reducePitchClass(v[1] - chord.root);
          if (above < 6 || above > 8) score += rule.weight;
        }
        break;
      case AvlRuleKind::LowIntervalLimit:
        if (n >= 2 && v[1] <= rule.limit && v[1] - lowest < rule.threshold)
          score += rule.weight * (rule.threshold - (v[1] - lowest));
        break;
      case AvlRuleKind::LowTensions:
        for (int k = 0; k < std::min(n, 2); ++k) {
          const int pc = v[static_cast<std::size_t>(k)] % 12;
          if (chord.writtenBass && *chord.writtenBass == pc) continue;
          if (chord.tensionMask & (1u << pc)) score += rule.weight;
        }
        break;
      case AvlRuleKind::BassOffRoot:
        if (bassFree && !rootBass) score += rule.weight;
        break;
      case AvlRuleKind::BassDegree:
        if (bassFree)
          score += rule.weight * kBassDegreeFactor[static_cast<std::size_t>(reducePitchClass(lowest - chord.root))];
        break;
      case AvlRuleKind::HighInvertedBass:
        if (bassFree && !rootBass && lowest > options.bottom + rule.threshold)
          score += rule.weight * (lowest - options.bottom - rule.threshold);
        break;
      case AvlRuleKind::LowRootBass:
        if (bassFree && rootBass && lowest < options.bottom)
          score += rule.weight * (options.bottom - lowest);
        break;
      case AvlRuleKind::StaticTop:
      case AvlRuleKind::StaticBass:
      case AvlRuleKind::WideTriadTop:
        break;  // transition rules
    }
  }
  return score;
}

double entryScore(const Voicing& b, const AvlChordTraits& chord, const AvlOptions& options) {
  return unaryScore(b, chord, options) + entryTerms(b, options);
}

double transitionScore(const Voicing& a, const AvlChordTraits& chordA, const Voicing& b,
                       const AvlChordTraits& chordB, const AvlOptions& options) {
  return transitionTerms(shapeOf(a), shapeOf(b), transitionRules(options),
                         bassRuleApplies(options, chordA, chordB)) +
         entryTerms(b, options);
}

double pathScore(std::span<const Voicing> path, std::span<const AvlChordTraits> chords,
                 const AvlOptions& options) {
  double score = 0.0;
  for (std::size_t i = 0; i < path.size() && i < chords.size(); ++i) {
    if (i == 0) {
      score = unaryScore(path[0], chords[0], options);
    } else {
      score = score + (transitionScore(path[i - 1], chords[i - 1], path[i], chords[i], options) +
                       unaryScore(path[i], chords[i], options));
    }
  }
  return score;
}

std::vector<Voicing> searchVoicePath(std::span<const AvlSearchChord> chords,
                                     const AvlOptions& options, AvlSearchStats* stats) {
  std::vector<Voicing> result;
  if (chords.empty()) return result;
  const TransitionRules rules = transitionRules(options);
  const double ceiling = transitionTermsCeiling(rules);

  std::vector<ScoredCandidates> scored;   // one per distinct chord
  std::vector<std::size_t> scoredOf(chords.size());
  std::vector<double> unaryScratch;
  TransitionMemo memo;

  // Per chord: each state's best predecessor (its position in the previous chord's kept list).
  std::vector<std::vector<std::int32_t>> predecessor(chords.size());
  std::vector<double> prevScores, scores;
  std::vector<std::uint32_t> beam;
  std::vector<double*> rows;

  for (std::size_t c = 0; c < chords.size(); ++c) {
    const auto& chord = chords[c];
    if (chord.candidates.empty()) throw std::runtime_error("no legal revoicings found");
    scoredOf[c] = scoredIndex(scored, chord, options, unaryScratch);
    const ScoredCandidates& now = scored[scoredOf[c]];
    const std::size_t count = now.kept.size();
    if (stats) stats->candidateCounts.push_back(count);
    scores.assign(count, 0.0);
    predecessor[c].assign(count, -1);

    if (c == 0) {
      for (std::size_t k = 0; k < count; ++k) scores[k] = now.unary[k];
      std::swap(prevScores, scores);
      continue;
    }

    // The predecessors taking part: at most kAvlBeamWidth states, always considered in
    // descending accumulated score, equal scores in candidate order. The first one
    // considered wins a tie.
    const ScoredCandidates& before = scored[scoredOf[c - 1]];
    const std::size_t prevCount = prevScores.size();
    beam.resize(prevCount);
    for (std::size_t k = 0; k < prevCount; ++k) beam[k] = static_cast<std::uint32_t>(k);
    const std::size_t width = std::min(prevCount, kAvlBeamWidth);
    std::partial_sort(beam.begin(), beam.begin() + static_cast<std::ptrdiff_t>(width), beam.end(),
                      [&](std::uint32_t x, std::uint32_t y) {
                        return prevScores[x] > prevScores[y] || (prevScores[x] == prevScores[y] && x < y);
                      });
    beam.resize(width);
    if (stats) stats->beamStates += width;

    const bool bassRule = bassRuleApplies(options, chords[c - 1].traits, chord.traits);
    TransitionMemo::Rows& known = memo.rowsOf(scoredOf[c - 1], scoredOf[c], bassRule, prevCount);
    rows.resize(width);
    for (std::size_t p = 0; p < width; ++p) rows[p] = known.row(beam[p]);

    for (std::size_t k = 0; k < count; ++k) {
      const VoicingShape& into = now.shapes[k];
      const double entry = now.entry[k];
      double bestPartial = -std::numeric_limits<double>::infinity();
      double bestTotal = bestPartial;
      std::int32_t bestFrom = -1;
      for (std::size_t p = 0; p < width; ++p) {
        const std::uint32_t from = beam[p];
        const double score = prevScores[from];
        const VoicingShape& out = before.shapes[from];
        double* row = rows[p];
        double terms = row ? row[k] : kUnknown;
        if (bestFrom >= 0) {
          // Scores only fall along the beam and no transition exceeds the ceiling, so no
          // later predecessor can beat the best one strictly.
          if (score + ceiling <= bestPartial) break;
          // Nor can this one when a bound of its terms does not reach the best total: first
          // a bound read off the outer voices, then one from every note's nearest neighbour.
          if (std::isnan(terms)) {
            const double floor = bestTotal - kBoundMargin * (1.0 + std::abs(bestTotal));
            if (score + outerVoiceBound(out, into, ceiling) + entry < floor) continue;
            if (score + transitionTermsBound(out, before.nearest[from], into, now.nearest[k], rules, bassRule) +
                    entry < floor)
              continue;
          }
        }
        if (std::isnan(terms)) {
          terms = transitionTerms(out, into, rules, bassRule);
          if (stats) ++stats->transitions;
          if (!row) row = rows[p] = known.addRow(from, count, memo);
          if (row) row[k] = terms;
        }
        const double partial = score + terms;
        const double total = partial + entry;
        if (total > bestTotal) {
          bestTotal = total;
          bestPartial = partial;
          bestFrom = static_cast<std::int32_t>(from);
        }
      }
      scores[k] = bestTotal;
      predecessor[c][k] = bestFrom;
    }
    std::swap(prevScores, scores);
  }

  // The highest final score, the first on a tie, then back through the predecessors.
  std::size_t state = 0;
  for (std::size_t k = 1; k < prevScores.size(); ++k)
    if (prevScores[k] > prevScores[state]) state = k;
  result.resize(chords.size());
  for (std::size_t c = chords.size(); c-- > 0;) {
    result[c] = chords[c].candidates[scored[scoredOf[c]].kept[state]];
    if (c > 0) state = static_cast<std::size_t>(std::max(0, predecessor[c][state]));
  }
  return result;
}

}  // namespace tw
