#include "voicing/voice_leading_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "voicing/roughness.hpp"

namespace tw {

namespace {

constexpr std::size_t kMaxNotes = Voicing::kCapacity;

bool isPerfectInterval(int semitones) {
  const int r = std::abs(semitones) % 12;
  return r == 0 || r == 7;
}

// A voicing laid out for the transition loop: the notes followed by the lowest note again.
struct Shape {
  std::array<std::uint8_t, kMaxNotes + 1> extended{};
  int size = 0;
  int top = 0;
  int low = 0;
};

Shape shapeOf(const Voicing& v) {
  Shape s;
  s.size = static_cast<int>(v.size());
  for (int i = 0; i < s.size; ++i) s.extended[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v[static_cast<std::size_t>(i)]);
  if (s.size > 0) {
    s.extended[static_cast<std::size_t>(s.size)] = static_cast<std::uint8_t>(v.front());
    s.top = v.back();
    s.low = v.front();
  }
  return s;
}

// Dynamic time warping of the two extended lists (lengths n + 1 and m + 1). Among equal
// cells the first one listed wins, both when the end cell is chosen from (n-1, m),
// (n, m-1), (n-1, m-1) and at each step back from (i-1, j), (i, j-1), (i-1, j-1); the
// first row and column have only their row or column predecessor.
void align(const Shape& a, const Shape& b, AvlAlignment& out) {
  const int n = a.size, m = b.size;
  out.count = 0;
  out.distance = 0;
  if (n == 0 || m == 0) return;
  int cost[kMaxNotes + 1][kMaxNotes + 1];
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j <= m; ++j) {
      const int d = std::abs(static_cast<int>(a.extended[static_cast<std::size_t>(i)]) -
                             static_cast<int>(b.extended[static_cast<std::size_t>(j)]));
      int best;
      if (i == 0 && j == 0) best = 0;
      else if (i == 0) best = cost[0][j - 1];
      else if (j == 0) best = cost[i - 1][0];
      else best = std::min({cost[i - 1][j], cost[i][j - 1], cost[i - 1][j - 1]});
      cost[i][j] = d + best;
    }
  }
  int i = n - 1, j = m;
  if (cost[n][m - 1] < cost[i][j]) i = n, j = m - 1;
  if (cost[n - 1][m - 1] < cost[i][j]) i = n - 1, j = m - 1;
  out.distance = cost[i][j];

  // Read back from the end cell to (0, 0), then reverse into ascending path order.
  int count = 0;
  for (;;) {
    out.pairs[static_cast<std::size_t>(count++)] = {a.extended[static_cast<std::size_t>(i)],
                                                    b.extended[static_cast<std::size_t>(j)]};
    if (i == 0 && j == 0) break;
    if (i == 0) { --j; continue; }
    if (j == 0) { --i; continue; }
    int ni = i - 1, nj = j;
    if (cost[i][j - 1] < cost[ni][nj]) ni = i, nj = j - 1;
    if (cost[i - 1][j - 1] < cost[ni][nj]) ni = i - 1, nj = j - 1;
    i = ni;
    j = nj;
  }
  std::reverse(out.pairs.begin(), out.pairs.begin() + count);
  out.count = count;
}

// The transition rules of the style table, summed for the anchor's style.
struct TransitionRules {
  double staticTop = 0.0;
  double staticBass = 0.0;
};

TransitionRules transitionRules(const AvlOptions& options) {
  TransitionRules r;
  for (const auto& rule : options.rules) {
    if (!ruleApplies(rule, options.anchorStyle)) continue;
    if (rule.kind == AvlRuleKind::StaticTop) r.staticTop += rule.weight;
    if (rule.kind == AvlRuleKind::StaticBass) r.staticBass += rule.weight;
  }
  return r;
}

// The terms of a transition that involve both voicings. `bassRule` tells whether the
// static-bass rule may apply (bass changes allowed and neither chord has a written bass).
double pairTerms(const Shape& a, const Shape& b, const TransitionRules& rules, bool bassRule) {
  const double countChange = avlWeight(AvlWeight::NoteCountChange) * std::abs(a.size - b.size);
  if (a.size == 0 || b.size == 0) return countChange;

  AvlAlignment al;
  align(a, b, al);
  double score = avlWeight(AvlWeight::LeadingDistance) * al.distance;
  score += avlWeight(AvlWeight::TopMotion) * std::abs(b.top - a.top);
  score += countChange;

  // Parallel fifths or octaves between any two aligned voices that both move.
  std::array<int, 2 * kMaxNotes + 1> movedA{}, movedB{};
  int moved = 0;
  for (int k = 0; k < al.count; ++k) {
    const auto& p = al.pairs[static_cast<std::size_t>(k)];
    if (p.a != p.b) {
      movedA[static_cast<std::size_t>(moved)] = p.a;
      movedB[static_cast<std::size_t>(moved)] = p.b;
      ++moved;
    }
  }
  bool parallel = false;
  for (int x = 0; x < moved && !parallel; ++x) {
    for (int y = x + 1; y < moved; ++y) {
      const int intervalA = movedA[static_cast<std::size_t>(y)] - movedA[static_cast<std::size_t>(x)];
      if (intervalA == movedB[static_cast<std::size_t>(y)] - movedB[static_cast<std::size_t>(x)] &&
          isPerfectInterval(intervalA)) {
        parallel = true;
        break;
      }
    }
  }
  if (parallel) score += avlWeight(AvlWeight::ParallelPerfect);

  bool overlap = false;
  for (int k = 0; k + 1 < al.count; ++k) {
    const auto& lower = al.pairs[static_cast<std::size_t>(k)];
    const auto& upper = al.pairs[static_cast<std::size_t>(k + 1)];
    if (upper.b < lower.a || lower.b > upper.a) {
      overlap = true;
      break;
    }
  }
  if (overlap) score += avlWeight(AvlWeight::VoiceOverlap);

  if (a.size >= 2 && b.size >= 2) {
    const int outerA = a.top - a.low, outerB = b.top - b.low;
    if (isPerfectInterval(outerA) && b.low != a.low && outerB == outerA)
      score += avlWeight(AvlWeight::OuterParallel);
    const int topMove = b.top - a.top, bassMove = b.low - a.low;
    const bool similar = (topMove > 0 && bassMove > 0) || (topMove < 0 && bassMove < 0);
    if (outerB > 0 && outerB % 12 == 0 && similar && std::abs(topMove) > 2 &&
        std::abs(bassMove) >= 3)
      score += avlWeight(AvlWeight::OuterLeapToOctave);
  }

  if (b.top == a.top) score += rules.staticTop;
  if (bassRule && b.low == a.low) score += rules.staticBass;
  return score;
}

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

// Upper bound of pairTerms, so a predecessor whose score cannot win is skipped; nullopt when
// some term is unbounded above.
std::optional<double> pairTermsBound(const TransitionRules& rules) {
  if (avlWeight(AvlWeight::LeadingDistance) > 0 || avlWeight(AvlWeight::TopMotion) > 0)
    return std::nullopt;
  auto positive = [](double w) { return std::max(0.0, w); };
  return positive(avlWeight(AvlWeight::NoteCountChange)) * static_cast<double>(kMaxNotes) +
         positive(avlWeight(AvlWeight::ParallelPerfect)) +
         positive(avlWeight(AvlWeight::VoiceOverlap)) +
         positive(avlWeight(AvlWeight::OuterParallel)) +
         positive(avlWeight(AvlWeight::OuterLeapToOctave)) + positive(rules.staticTop) +
         positive(rules.staticBass) + 1e-9;
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

AvlAlignment alignVoicings(const Voicing& a, const Voicing& b) {
  AvlAlignment al;
  align(shapeOf(a), shapeOf(b), al);
  return al;
}

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

double transitionScore(const Voicing& a, const AvlChordTraits& chordA, const Voicing& b,
                       const AvlChordTraits& chordB, const AvlOptions& options) {
  return pairTerms(shapeOf(a), shapeOf(b), transitionRules(options),
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
  const std::optional<double> bound = pairTermsBound(rules);

  // Per chord: the kept candidate indices (consideration order) and each state's best
  // predecessor (its position in the previous chord's kept list).
  std::vector<std::vector<std::uint32_t>> kept(chords.size());
  std::vector<std::vector<std::int32_t>> predecessor(chords.size());
  std::vector<Shape> prevShapes, shapes;
  std::vector<double> prevScores, scores, entry, unary;
  std::vector<std::uint32_t> beam;

  for (std::size_t c = 0; c < chords.size(); ++c) {
    const auto& chord = chords[c];
    const std::size_t raw = chord.candidates.size();
    if (raw == 0) throw std::runtime_error("no legal revoicings found");

    unary.resize(raw);
    for (std::size_t k = 0; k < raw; ++k) unary[k] = unaryScore(chord.candidates[k], chord.traits, options);

    // More than kAvlMaxCandidates: keep the best by unary score, highest first (ties in
    // generation order); otherwise generation order.
    auto& keep = kept[c];
    keep.resize(raw);
    for (std::size_t k = 0; k < raw; ++k) keep[k] = static_cast<std::uint32_t>(k);
    if (raw > kAvlMaxCandidates) {
      std::partial_sort(keep.begin(), keep.begin() + kAvlMaxCandidates, keep.end(),
                        [&](std::uint32_t x, std::uint32_t y) {
                          return unary[x] > unary[y] || (unary[x] == unary[y] && x < y);
                        });
      keep.resize(kAvlMaxCandidates);
    }
    if (stats) stats->candidateCounts.push_back(keep.size());

    const std::size_t count = keep.size();
    shapes.resize(count);
    entry.resize(count);
    scores.assign(count, 0.0);
    predecessor[c].assign(count, -1);
    for (std::size_t k = 0; k < count; ++k) {
      const Voicing& v = chord.candidates[keep[k]];
      shapes[k] = shapeOf(v);
      entry[k] = unary[keep[k]] + entryTerms(v, options);
    }

    if (c == 0) {
      for (std::size_t k = 0; k < count; ++k) scores[k] = unary[keep[k]];
    } else {
      // The predecessors taking part: at most kAvlBeamWidth states, always considered in
      // descending accumulated score, equal scores in candidate order. The first one
      // considered wins a tie.
      const std::size_t prevCount = prevScores.size();
      beam.resize(prevCount);
      for (std::size_t k = 0; k < prevCount; ++k) beam[k] = static_cast<std::uint32_t>(k);
      const std::size_t width = std::min(prevCount, kAvlBeamWidth);
      std::partial_sort(beam.begin(), beam.begin() + static_cast<std::ptrdiff_t>(width), beam.end(),
                        [&](std::uint32_t x, std::uint32_t y) {
                          return prevScores[x] > prevScores[y] ||
                                 (prevScores[x] == prevScores[y] && x < y);
                        });
      beam.resize(width);
      if (stats) stats->beamStates += width;

      const bool bassRule = bassRuleApplies(options, chords[c - 1].traits, chord.traits);
      for (std::size_t k = 0; k < count; ++k) {
        double bestPartial = -std::numeric_limits<double>::infinity();
        double bestTotal = bestPartial;
        std::int32_t bestFrom = -1;
        for (std::uint32_t from : beam) {
          // Scores only fall along the beam and no transition exceeds the bound, so no
          // later predecessor can beat the best one strictly.
          if (bound && bestFrom >= 0 && prevScores[from] + *bound <= bestPartial) break;
          const double partial = prevScores[from] + pairTerms(prevShapes[from], shapes[k], rules, bassRule);
          const double total = partial + entry[k];
          if (stats) ++stats->transitions;
          if (total > bestTotal) {
            bestTotal = total;
            bestPartial = partial;
            bestFrom = static_cast<std::int32_t>(from);
          }
        }
        scores[k] = bestTotal;
        predecessor[c][k] = bestFrom;
      }
    }
    std::swap(prevScores, scores);
    std::swap(prevShapes, shapes);
  }

  // The highest final score, the first on a tie, then back through the predecessors.
  std::size_t state = 0;
  for (std::size_t k = 1; k < prevScores.size(); ++k)
    if (prevScores[k] > prevScores[state]) state = k;
  result.resize(chords.size());
  for (std::size_t c = chords.size(); c-- > 0;) {
    result[c] = chords[c].candidates[kept[c][state]];
    if (c > 0) state = static_cast<std::size_t>(std::max(0, predecessor[c][state]));
  }
  return result;
}

}  // namespace tw
