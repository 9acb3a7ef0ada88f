#include "voicing/voice_leading_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <functional>
#include <map>
#include <queue>
#include <set>
#include <tuple>
#include <stdexcept>

#include "voicing/roughness.hpp"
#include "voicing/voice_leading_beam.hpp"
#include "voicing/voice_leading_transition.hpp"

namespace tw {

namespace {

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

// Roughness counts from five notes.
bool hasRoughness(const Voicing& v) { return v.size() > 4; }

double unaryTerms(const Voicing& v, const AvlChordTraits& chord, const AvlOptions& options,
                  std::optional<double> roughnessOfV);

bool bassRuleApplies(const AvlOptions& options, const AvlChordTraits& a, const AvlChordTraits& b) {
  return options.allowBassChanges && !a.writtenBass && !b.writtenBass;
}

// A chord's candidates as the search weighs them: the kept ones in consideration order with
// their scores and shapes. Built once per distinct chord of a search, since tunes keep coming
// back to the same chords.
struct ScoredCandidates {
  const Voicing* list = nullptr;  // identity: the candidate list and the chord's traits
  std::size_t listSize = 0;
  AvlChordTraits traits;
  std::vector<std::uint32_t> kept;  // indices into the list
  // Per kept candidate: the unary score, and with it the terms of entering the candidate.
  // Where the roughness counts, both are NaN until asked for; the entry bound takes the
  // roughness from its range instead, a hair above the entry score.
  std::vector<double> unary;
  std::vector<double> entry;
  std::vector<double> entryBound;
  std::vector<VoicingShape> shapes;
  std::vector<NearestNotes> nearest;
  std::vector<std::uint32_t> entryOrder;  // kept positions by descending entry score, ties in order
  std::uint16_t pitchClasses = 0;          // every pitch class a kept candidate sounds

  double exactEntry(std::size_t k, const AvlOptions& options) {
    if (std::isnan(entry[k])) {
      const Voicing& v = list[kept[k]];
      unary[k] = unaryScore(v, traits, options);
      entry[k] = unary[k] + entryTerms(v, options);
    }
    return entry[k];
  }
};

constexpr double kPending = std::numeric_limits<double>::quiet_NaN();

bool sameTraits(const AvlChordTraits& a, const AvlChordTraits& b) {
  return a.root == b.root && a.writtenBass == b.writtenBass && a.hasFifth == b.hasFifth &&
         a.tensionMask == b.tensionMask;
}

// A candidate's unary score as far as it is known: exactly, or between two bounds a hair apart
// (from the range of its roughness).
struct UnaryRange {
  double low = 0.0;
  double high = 0.0;
  bool exact = false;
};

UnaryRange unaryRange(const Voicing& v, const AvlChordTraits& traits, const AvlOptions& options) {
  if (!hasRoughness(v)) {
    const double value = unaryTerms(v, traits, options, 0.0);
    return {value, value, true};
  }
  const RoughnessRange roughnessRange = tw::roughnessRange(v);
  return {unaryTerms(v, traits, options, roughnessRange.high), unaryTerms(v, traits, options, roughnessRange.low), false};
}

// Among `which`, works out exactly every unary score whose range meets another one's, so that
// any two of them compare as the exact scores do.
void settleMeetingRanges(std::vector<std::uint32_t> which, std::vector<UnaryRange>& ranges,
                         std::span<const Voicing> candidates, const AvlChordTraits& traits, const AvlOptions& options) {
  std::sort(which.begin(), which.end(), [&](std::uint32_t x, std::uint32_t y) { return ranges[x].low < ranges[y].low; });
  std::vector<bool> meets(which.size(), false);
  double highest = -std::numeric_limits<double>::infinity();  // of the ranges lower down
  for (std::size_t i = 0; i < which.size(); ++i) {
    if (ranges[which[i]].low <= highest) meets[i] = true;
    highest = std::max(highest, ranges[which[i]].high);
  }
  double lowest = std::numeric_limits<double>::infinity();  // of the ranges higher up
  for (std::size_t i = which.size(); i-- > 0;) {
    if (lowest <= ranges[which[i]].high) meets[i] = true;
    lowest = std::min(lowest, ranges[which[i]].low);
  }
  for (std::size_t i = 0; i < which.size(); ++i) {
    UnaryRange& r = ranges[which[i]];
    if (!meets[i] || r.exact) continue;
    r.low = r.high = unaryScore(candidates[which[i]], traits, options);
    r.exact = true;
  }
}

ScoredCandidates scoreCandidates(const AvlSearchChord& chord, const AvlOptions& options,
                                 std::vector<UnaryRange>& ranges) {
  ScoredCandidates s;
  s.list = chord.candidates.data();
  s.listSize = chord.candidates.size();
  s.traits = chord.traits;
  const std::size_t raw = chord.candidates.size();
  auto& keep = s.kept;
  keep.resize(raw);
  for (std::size_t k = 0; k < raw; ++k) keep[k] = static_cast<std::uint32_t>(k);
  ranges.resize(raw);
  if (raw <= kAvlMaxCandidates) {
    for (std::size_t k = 0; k < raw; ++k) ranges[k] = unaryRange(chord.candidates[k], chord.traits, options);
  } else {
    // Keep the best kAvlMaxCandidates by unary score, highest first (ties in generation
    // order). Roughness only lowers a score, so candidates are taken in the order of their
    // score without it, until that bound falls below the last place; their scores are known
    // to a hair from the range of their roughness, and worked out exactly only where two
    // ranges meet.
    std::vector<double> bound(raw);
    for (std::size_t k = 0; k < raw; ++k) bound[k] = unaryTerms(chord.candidates[k], chord.traits, options, std::nullopt);
    const auto byBound = [&](std::uint32_t x, std::uint32_t y) {
      return bound[x] > bound[y] || (bound[x] == bound[y] && x < y);
    };
    // Put in order only as far as the scoring gets: a first stretch a little past the places,
    // then more when needed.
    std::size_t ordered = 0;
    auto orderUpTo = [&](std::size_t count) {
      const auto from = keep.begin() + static_cast<std::ptrdiff_t>(ordered);
      const auto to = keep.begin() + static_cast<std::ptrdiff_t>(std::min(count, raw));
      if (to != keep.end()) std::nth_element(from, to, keep.end(), byBound);
      std::sort(from, to, byBound);
      ordered = static_cast<std::size_t>(to - keep.begin());
    };
    std::priority_queue<double, std::vector<double>, std::greater<double>> places;  // the lowest bounds of the best so far
    std::size_t scored = 0;
    for (; scored < raw; ++scored) {
      if (scored == ordered) orderUpTo(ordered == 0 ? kAvlMaxCandidates + kAvlMaxCandidates / 4 : 2 * ordered);
      const std::uint32_t k = keep[scored];
      if (places.size() == kAvlMaxCandidates && bound[k] < places.top() - 1e-9 * (1.0 + std::abs(places.top())))
        break;  // neither this one nor any after it can take a place
      ranges[k] = unaryRange(chord.candidates[k], chord.traits, options);
      places.push(ranges[k].low);
      if (places.size() > kAvlMaxCandidates) places.pop();
    }
    keep.resize(scored);
    settleMeetingRanges(keep, ranges, chord.candidates, chord.traits, options);
    // Ranges now meet only when both are exact, so the highest bound orders them.
    std::partial_sort(keep.begin(), keep.begin() + kAvlMaxCandidates, keep.end(),
                      [&](std::uint32_t x, std::uint32_t y) {
                        return ranges[x].high > ranges[y].high || (ranges[x].high == ranges[y].high && x < y);
                      });
    keep.resize(kAvlMaxCandidates);
  }
  s.unary.reserve(keep.size());
  s.entry.reserve(keep.size());
  s.entryBound.reserve(keep.size());
  s.shapes.reserve(keep.size());
  s.nearest.reserve(keep.size());
  for (std::uint32_t k : keep) {
    const Voicing& v = chord.candidates[k];
    const double terms = entryTerms(v, options);
    s.unary.push_back(ranges[k].exact ? ranges[k].high : kPending);
    s.entry.push_back(ranges[k].exact ? ranges[k].high + terms : kPending);
    s.entryBound.push_back(ranges[k].high + terms);
    s.shapes.push_back(shapeOf(v));
    s.nearest.push_back(nearestNotes(s.shapes.back()));
    s.pitchClasses = static_cast<std::uint16_t>(s.pitchClasses | pitchClassesOf(s.shapes.back()));
  }
  s.entryOrder.resize(s.entry.size());
  for (std::size_t k = 0; k < s.entryOrder.size(); ++k) s.entryOrder[k] = static_cast<std::uint32_t>(k);
  std::sort(s.entryOrder.begin(), s.entryOrder.end(), [&](std::uint32_t x, std::uint32_t y) {
    return s.entryBound[x] > s.entryBound[y] || (s.entryBound[x] == s.entryBound[y] && x < y);
  });
  return s;
}

// The scored candidates of each chord, scored once unless an earlier chord of the search had
// the same list and traits.
// At most kWhole scored lists are held whole (each up to ~90 KB); past that, all but the one
// in use are released down to their kept indices (which the path is read back through) and
// scored again, to the same values, if their chord comes back.
class ScoredChords {
 public:
  static constexpr std::size_t kWhole = 256;

  std::size_t indexOf(const AvlSearchChord& chord, const AvlOptions& options) {
    for (std::size_t i = 0; i < scored_.size(); ++i) {
      ScoredCandidates& s = scored_[i];
      if (s.list != chord.candidates.data() || s.listSize != chord.candidates.size() ||
          !sameTraits(s.traits, chord.traits))
        continue;
      if (s.shapes.empty()) {  // released
        s = scoreCandidates(chord, options, scratch_);
        ++whole_;
      }
      return i;
    }
    scored_.push_back(scoreCandidates(chord, options, scratch_));
    ++whole_;
    return scored_.size() - 1;
  }

  ScoredCandidates& operator[](std::size_t i) { return scored_[i]; }

  // Keeps at most kWhole lists whole; `inUse` stays whole.
  void trim(std::size_t inUse) {
    if (whole_ <= kWhole) return;
    for (std::size_t i = 0; i < scored_.size(); ++i) {
      ScoredCandidates& s = scored_[i];
      if (i == inUse || s.shapes.empty()) continue;
      std::vector<double>().swap(s.unary);
      std::vector<double>().swap(s.entry);
      std::vector<double>().swap(s.entryBound);
      std::vector<VoicingShape>().swap(s.shapes);
      std::vector<NearestNotes>().swap(s.nearest);
      std::vector<std::uint32_t>().swap(s.entryOrder);
      --whole_;
    }
  }

 private:
  std::vector<ScoredCandidates> scored_;
  std::vector<UnaryRange> scratch_;
  std::size_t whole_ = 0;
};

// For each chord, whether the move into it from the chord before comes again later in the
// search (the same two chords, the same bass rule): only then are its priced terms worth
// remembering.
std::vector<bool> pairsThatComeAgain(std::span<const AvlSearchChord> chords, const AvlOptions& options) {
  using Identity = std::tuple<const Voicing*, std::size_t, int, int, bool, std::uint16_t>;
  std::map<Identity, std::size_t> first;
  std::vector<std::size_t> identity(chords.size());
  for (std::size_t c = 0; c < chords.size(); ++c) {
    const AvlChordTraits& t = chords[c].traits;
    const Identity key{chords[c].candidates.data(), chords[c].candidates.size(), t.root,
                       t.writtenBass ? *t.writtenBass : -1, t.hasFifth, t.tensionMask};
    identity[c] = first.try_emplace(key, c).first->second;
  }
  std::vector<bool> again(chords.size(), false);
  std::set<std::tuple<std::size_t, std::size_t, bool>> later;
  for (std::size_t c = chords.size(); c-- > 1;) {
    const auto pair = std::make_tuple(identity[c - 1], identity[c],
                                      bassRuleApplies(options, chords[c - 1].traits, chords[c].traits));
    again[c] = !later.insert(pair).second;
  }
  return again;
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
  return unaryTerms(v, chord, options, hasRoughness(v) ? roughness(v) : 0.0);
}

namespace {

static_assert(avlWeight(AvlWeight::Roughness) <= 0, "roughness is a penalty");

// The unary score with the voicing's roughness, or without one a bound of it.
double unaryTerms(const Voicing& v, const AvlChordTraits& chord, const AvlOptions& options,
                  std::optional<double> roughnessOfV) {
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
  if (hasRoughness(v) && roughnessOfV) score += avlWeight(AvlWeight::Roughness) * *roughnessOfV;

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

}  // namespace

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

  ScoredChords scored;  // one per distinct chord
  std::vector<std::size_t> scoredOf(chords.size());
  TransitionMemo memo;
  const std::vector<bool> pairComesAgain = pairsThatComeAgain(chords, options);

  // Per chord: each state's best predecessor (its position in the previous chord's kept list).
  std::vector<std::vector<std::int32_t>> predecessor(chords.size());
  std::vector<double> prevScores, scores;
  std::vector<std::uint32_t> order;
  std::vector<BeamState> beam;
  std::priority_queue<double, std::vector<double>, std::greater<double>> places;  // the beam's scores so far

  for (std::size_t c = 0; c < chords.size(); ++c) {
    const auto& chord = chords[c];
    if (chord.candidates.empty()) throw std::runtime_error("no legal revoicings found");
    scoredOf[c] = scored.indexOf(chord, options);
    ScoredCandidates& now = scored[scoredOf[c]];
    const std::size_t count = now.kept.size();
    if (stats) stats->candidateCounts.push_back(count);
    scores.assign(count, 0.0);
    predecessor[c].assign(count, -1);

    if (c == 0) {
      for (std::size_t k = 0; k < count; ++k) {
        now.exactEntry(k, options);
        scores[k] = now.unary[k];
      }
      std::swap(prevScores, scores);
      scored.trim(scoredOf[c]);
      continue;
    }

    // The predecessors taking part: at most kAvlBeamWidth states, in descending accumulated
    // score, equal scores in candidate order. The first one in this order wins a tie.
    const ScoredCandidates& before = scored[scoredOf[c - 1]];
    const std::size_t prevCount = prevScores.size();
    // Candidates left without a score (they could not reach this beam) are never among them.
    order.clear();
    for (std::size_t k = 0; k < prevCount; ++k)
      if (prevScores[k] > -std::numeric_limits<double>::infinity()) order.push_back(static_cast<std::uint32_t>(k));
    if (order.empty()) order.push_back(0);
    const std::size_t width = std::min(order.size(), kAvlBeamWidth);
    const auto beamOrder = [&](std::uint32_t x, std::uint32_t y) {
      return prevScores[x] > prevScores[y] || (prevScores[x] == prevScores[y] && x < y);
    };
    const auto cut = order.begin() + static_cast<std::ptrdiff_t>(width);
    if (width < order.size()) std::nth_element(order.begin(), cut, order.end(), beamOrder);
    std::sort(order.begin(), cut, beamOrder);
    beam.resize(width);
    for (std::size_t p = 0; p < width; ++p)
      beam[p] = {prevScores[order[p]], order[p], &before.shapes[order[p]], &before.nearest[order[p]]};
    if (stats) stats->beamStates += width;

    const bool bassRule = bassRuleApplies(options, chords[c - 1].traits, chord.traits);
    BeamPredecessors predecessors(beam, rules, bassRule, memo,
                                  memo.rowsOf(scoredOf[c - 1], scoredOf[c], bassRule, count, prevCount),
                                  pairComesAgain[c], before.pitchClasses, now.pitchClasses);
    // Only the scores that can reach the next beam (or, after the last chord, the best one)
    // are needed exactly. Candidates are led into in descending entry score, so that the bar
    // they must clear rises early; one that cannot clear it keeps no score.
    const bool last = c + 1 == chords.size();
    const bool beamCut = !last && count > kAvlBeamWidth;
    places = {};
    double bar = -std::numeric_limits<double>::infinity();
    struct Entries {  // the exact entry scores, worked out when first asked for
      ScoredCandidates& scored;
      const AvlOptions& options;
      static double exact(void* source, std::size_t k) {
        auto* self = static_cast<Entries*>(source);
        return self->scored.exactEntry(k, self->options);
      }
    } entries{now, options};
    for (std::uint32_t k : now.entryOrder) {
      const BeamTarget target{k, &now.shapes[k], &now.nearest[k], now.entryBound[k], &Entries::exact, &entries};
      const auto choice = predecessors.best(target, bar, stats ? &stats->transitions : nullptr);
      scores[k] = choice.total;
      predecessor[c][k] = choice.from;
      if (choice.from < 0) continue;
      if (last) {
        bar = std::max(bar, choice.total);
      } else if (beamCut) {
        places.push(choice.total);
        if (places.size() > kAvlBeamWidth) places.pop();
        if (places.size() == kAvlBeamWidth) bar = places.top();
      }
    }
    std::swap(prevScores, scores);
    scored.trim(scoredOf[c]);
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
