#include "generation/suggestion_engine.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <span>
#include <tuple>
#include <unordered_map>
#include <stdexcept>

#include "chord/quality_catalogue.hpp"
#include "generation/candidate_facts.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/corpus_numerals.hpp"
#include "generation/next_chord_model.hpp"
#include "generation/random_source.hpp"
#include "generation/suggestion_families.hpp"

namespace tw {

namespace {

// The smoothness of a move only settles near ties: the probability of the move decides.
constexpr double kSmartSmoothness = 0.5;

// Facts about one chord that scoring asks for: its naming in the key (kept across requests)
// and how likely it is to come next here.
struct ChordFacts {
  const CandidateFacts& named;
  double probability = 0.0;  // slash bass aside
};

// What every candidate is scored against, worked out once per request.
struct ScoringContext {
  const SuggestionContext& context;
  KeyContext natural;
  NextChordModel model;
  std::vector<int> lastTones;  // pitch classes of the last previous chord
  std::optional<PitchClass> lastRoot;
  double expectedTones = 4.0;
  std::string nextNumeral;
};

std::vector<int> pitchClassesOf(PitchClass root, const IntervalList& intervals) {
  std::vector<int> pcs;
  for (int i : intervals) {
    int pc = reducePitchClass(root + i);
    if (std::find(pcs.begin(), pcs.end(), pc) == pcs.end()) pcs.push_back(pc);
  }
  return pcs;
}

double probabilityIn(std::span<const Continuation> list, std::string_view numeral) {
  for (const auto& c : list)
    if (c.numeral == numeral) return c.probability;
  return 0.0;
}

ChordFacts factsOf(const ScoringContext& s, const Suggestion& x) {
  const CandidateFacts& named = candidateFacts(s.natural, x.root, x.quality, x.bass);
  return {named, s.model.probabilityOfNumeral(s.model.fromHabits() ? named.habitNumeral : named.continuationNumeral)};
}

ScoringContext prepare(const SuggestionContext& c) {
  trimCandidateFacts();
  ScoringContext s{c, {c.key.root, c.key.minor, false}, predictNextChords(continuationCorpus(), c.key, c.previous),
                   {}, {}, 4.0, {}};
  double tones = 0;
  int counted = 0;
  for (const auto& p : c.previous) {
    tones += static_cast<double>(p.intervals.size());
    ++counted;
  }
  if (c.next) {
    tones += static_cast<double>(c.next->intervals.size());
    ++counted;
  }
  if (counted > 0) s.expectedTones = tones / counted;
  if (!c.previous.empty()) {
    const auto& last = c.previous.back();
    s.lastTones = pitchClassesOf(last.root, last.intervals);
    s.lastRoot = last.root;
  }
  if (c.next) s.nextNumeral = continuationNumeral(s.natural, *c.next);
  return s;
}

// Shared tones with the chord before, and a strong (fourth or fifth) or stepwise root move.
double smoothness(const ScoringContext& s, PitchClass root, const IntervalList& intervals) {
  if (!s.lastRoot) return 0.0;
  auto tones = pitchClassesOf(root, intervals);
  int shared = 0;
  for (int pc : tones) shared += std::count(s.lastTones.begin(), s.lastTones.end(), pc) > 0 ? 1 : 0;
  double fraction = static_cast<double>(shared) / static_cast<double>(std::max(tones.size(), s.lastTones.size()));
  int motion = reducePitchClass(root - *s.lastRoot);
  double rootMove = (motion == 5 || motion == 7) ? 0.02 : (motion == 1 || motion == 2 || motion == 10 || motion == 11) ? 0.01 : 0.0;
  return 0.03 * fraction + rootMove;
}

double sizeTerm(const ScoringContext& s, std::size_t toneCount) {
  double d = static_cast<double>(toneCount) - s.expectedTones;
  if (d >= -0.5 && d <= 0.5) return 0.02;
  if (d > 0.5) return 0.01;
  return std::max(0.02 * d, -0.03);
}

double countTerm(const ScoringContext& s, std::size_t toneCount) {
  double diff = std::abs(static_cast<double>(toneCount) - std::round(s.expectedTones));
  if (diff <= 1.0) return 0.026;
  return -std::min(0.16, 0.08 * (diff - 1.0));
}

bool isAltered(std::string_view q) {
  for (std::string_view mark : {"b9", "#9", "#5", "b13", "alt", "#11", "b5"})
    if (q.find(mark) != std::string_view::npos) return true;
  return false;
}

// How well a colour chord leads into the chord after the position.
double nextFit(const ScoringContext& s, const Suggestion& x, const ChordFacts& facts) {
  const auto& next = *s.context.next;
  double fit = 0.0;
  int toNext = reducePitchClass(next.root - x.root);
  if ((x.category == kSecondaryDominant || x.category == kDiatonic || x.category == kModalInterchange) &&
      toNext == 5 && qualityFamily(x.quality) == "dominant")
    fit += 0.25;
  if (x.category == kTritoneSub && toNext == 11) fit += 0.2;
  if (x.category == kDiminishedApproach) {
    if (toNext == 1) fit += 0.2;
    else if (toNext == 11) fit += 0.12;
    else if (x.root == reducePitchClass(next.root + 3) && x.quality == "dim7") fit += 0.15;
  }
  if (!s.nextNumeral.empty()) fit += 0.3 * probabilityIn(facts.named.followers, s.nextNumeral);
  return fit;
}

void score(const ScoringContext& s, Suggestion& x) {
  const ChordFacts facts = factsOf(s, x);
  const IntervalList& intervals = *facts.named.intervals;
  if (x.category == kSmart) {
    x.score = std::clamp(x.score + kSmartSmoothness * smoothness(s, x.root, intervals) + sizeTerm(s, intervals.size()), 0.0, 1.0);
    return;
  }
  // The model names chords without a bass: a slash chord counts at 0.8.
  double p = facts.probability;
  if (x.bass && *x.bass != x.root) p *= 0.8;
  // Colour chords are judged on the same scale as corpus candidates: the probability of the
  // move dominates, the family prior and the shape terms only order what is left.
  double value = x.score + p + countTerm(s, intervals.size());
  if (isAltered(x.quality)) value -= 0.02;
  if (s.context.next) value += nextFit(s, x, facts);
  x.score = value;
}

// Of two diminished-approach chords naming the same chord, the better scored stays; on a tie
// the one produced first (common-tone chords come before approach chords).
void removeDiminishedDuplicates(std::vector<Suggestion>& list) {
  std::vector<Suggestion> kept;
  kept.reserve(list.size());
  std::map<std::tuple<PitchClass, std::string, int>, std::size_t> seen;
  for (auto& x : list) {
    if (x.category != kDiminishedApproach) {
      kept.push_back(std::move(x));
      continue;
    }
    auto [it, fresh] = seen.emplace(std::tuple{x.root, x.quality, x.bass.value_or(-1)}, kept.size());
    if (fresh) kept.push_back(std::move(x));
    else if (x.score > kept[it->second].score) kept[it->second] = std::move(x);
  }
  list = std::move(kept);
}

std::size_t mixHash(std::size_t seed, std::size_t value) {
  return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

// The same chord offered by two families is offered once: as a corpus candidate when it is
// one (that is why it is offered), otherwise by the better scored.
void removeCrossFamilyDuplicates(std::vector<Suggestion>& list, const ScoringContext& s) {
  using Chord = std::tuple<PitchClass, const ChordQuality*, int>;
  struct ChordHash {
    std::size_t operator()(const Chord& c) const {
      return mixHash(std::hash<const void*>{}(std::get<1>(c)), static_cast<std::size_t>(std::get<0>(c) * 13 + std::get<2>(c)));
    }
  };
  std::vector<Suggestion> kept;
  kept.reserve(list.size());
  std::unordered_map<Chord, std::size_t, ChordHash> seen;
  seen.reserve(list.size());
  auto replaces = [](const Suggestion& x, const Suggestion& held) {
    if (x.category == held.category || held.category == kSmart) return false;
    return x.category == kSmart || x.score > held.score;
  };
  for (auto& x : list) {
    const int bass = x.bass && *x.bass != x.root ? *x.bass : -1;  // a bass on the root is no bass
    auto [it, fresh] = seen.emplace(Chord{x.root, candidateFacts(s.natural, x.root, x.quality, x.bass).quality, bass}, kept.size());
    if (fresh) kept.push_back(std::move(x));
    else if (replaces(x, kept[it->second]))
      kept[it->second] = std::move(x);
    else if (kept[it->second].category == x.category)
      kept.push_back(std::move(x));  // within a family, variants are merged later, not here
  }
  list = std::move(kept);
}

std::string_view colourOf(std::string_view quality) {
  std::string_view c = qualityCategory(quality);
  return c == "sixth" ? std::string_view("major") : c;
}

// Keeps, of each group of colour-chord variants, the best scored (the first produced on a
// tie). Merging before the sort keeps the sort short and orders the survivors exactly as
// sorting first and keeping each group's first would.
void mergeVariants(std::vector<Suggestion>& list) {
  using Group = std::tuple<int, PitchClass, int, std::string_view, std::string_view>;
  struct GroupHash {
    std::size_t operator()(const Group& g) const {
      std::size_t h = std::hash<std::string_view>{}(std::get<3>(g));
      h = mixHash(h, std::hash<std::string_view>{}(std::get<4>(g)));
      return mixHash(h, static_cast<std::size_t>((std::get<0>(g) * 12 + std::get<1>(g)) * 13 + std::get<2>(g) + 1));
    }
  };
  std::unordered_map<Group, std::size_t, GroupHash> best;
  best.reserve(list.size());
  std::vector<bool> keep(list.size(), true);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Suggestion& x = list[i];
    if (x.category < kSecondaryDominant || x.category > kChromaticMediant) continue;
    auto [it, fresh] = best.emplace(Group{x.category, x.root, x.bass.value_or(-1), x.label, qualityFamily(x.quality)}, i);
    if (fresh) continue;
    if (x.score > list[it->second].score) {
      keep[it->second] = false;
      it->second = i;
    } else {
      keep[i] = false;
    }
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (keep[i]) {
      if (kept != i) list[kept] = std::move(list[i]);
      ++kept;
    }
  list.resize(kept);
}

// Highest score first; ties keep the order the families produced them in, so a request
// always gives the same list.
void sortByScore(std::vector<Suggestion>& list) {
  std::vector<std::size_t> order(list.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return list[a].score > list[b].score; });
  std::vector<Suggestion> sorted;
  sorted.reserve(list.size());
  for (std::size_t i : order) sorted.push_back(std::move(list[i]));
  list = std::move(sorted);
}

void normalise(std::vector<Suggestion>& list) {
  std::map<int, double> highest;
  for (const auto& x : list) highest[x.category] = std::max(highest[x.category], x.score);
  for (auto& x : list) {
    if (x.category == kSmart) {
      x.score = std::clamp(x.score, 0.0, 1.0);
      continue;
    }
    double scaled = x.score / std::max(highest[x.category], 1.0);
    x.score = std::clamp(scaled, 0.05, 1.0);
  }
}

void capPerCategory(std::vector<Suggestion>& list) {
  std::map<int, std::size_t> counts;
  std::vector<Suggestion> kept;
  for (auto& x : list) {
    std::size_t cap = x.category == kSmart ? kSmartCap : kCategoryCap;
    if (counts[x.category]++ < cap) kept.push_back(std::move(x));
  }
  list = std::move(kept);
}

std::vector<Suggestion> familyCandidates(const SuggestionContext& context, const ScoringContext& scoring,
                                         RomanFlags flags) {
  std::vector<Suggestion> all;
  all.reserve(512);
  secondaryDominants(context, flags, all);
  borrowedChords(context, flags, all);
  tritoneSubstitutes(context, flags, all);
  diminishedApproaches(context, flags, all);
  chromaticMediants(context, flags, all);
  corpusCandidates(context, scoring.model, all);
  diatonicCandidates(context, all);
  return all;
}

}  // namespace

std::vector<Suggestion> scoredCandidates(const SuggestionContext& context, RomanFlags flags) {
  ScoringContext s = prepare(context);
  std::vector<Suggestion> all = familyCandidates(context, s, flags);
  for (auto& x : all) score(s, x);
  return all;
}

void shuffleSelection(std::vector<Suggestion>& list, std::mt19937& engine) {
  std::erase_if(list, [](const Suggestion& x) { return x.category == kSmart && x.score < 0.001; });
  std::stable_partition(list.begin(), list.end(), [](const Suggestion& x) { return x.category == kSmart; });
  std::vector<Suggestion> diatonic, others;
  for (auto& x : list) (x.isDiatonic ? diatonic : others).push_back(std::move(x));
  std::shuffle(diatonic.begin(), diatonic.end(), engine);
  std::shuffle(others.begin(), others.end(), engine);
  // The diatonic suggestions come first and all of them stay (up to thirty); the others
  // fill the list up to thirty. (Keeping only max(8, 30 - others) diatonic ones would drop
  // diatonic suggestions while chromatic ones remain, against the intent of the mode.)
  const std::size_t total = 30;
  std::size_t keepDiatonic = std::min(diatonic.size(), total);
  std::size_t keepOthers = std::min(others.size(), total - keepDiatonic);
  list.clear();
  for (std::size_t i = 0; i < keepDiatonic; ++i) list.push_back(std::move(diatonic[i]));
  for (std::size_t i = 0; i < keepOthers; ++i) list.push_back(std::move(others[i]));
}

std::vector<Suggestion> suggestChords(const SuggestionContext& context, const SuggestionOptions& options) {
  ScoringContext scoring = prepare(context);
  std::vector<Suggestion> list = familyCandidates(context, scoring, options.flags);
  for (auto& x : list) score(scoring, x);
  removeDiminishedDuplicates(list);
  if (!context.previous.empty()) {
    const ParsedChord& last = context.previous.back();
    std::erase_if(list, [&](const Suggestion& x) { return sameChord(x, last); });
    if (!options.shuffle) {
      std::string_view lastColour = colourOf(last.quality);
      std::erase_if(list, [&](const Suggestion& x) {
        return x.category == kSmart && x.root == last.root && colourOf(x.quality.empty() ? "maj" : x.quality) == lastColour;
      });
    }
  }
  // After the removals, so that a chord another family also offers survives them there.
  removeCrossFamilyDuplicates(list, scoring);
  if (options.mergeVariants) mergeVariants(list);
  sortByScore(list);
  if (options.shuffle) {
    std::mt19937 engine = freshEngine();
    shuffleSelection(list, engine);
  }
  normalise(list);
  capPerCategory(list);
  for (auto& x : list) {
    if (context.current) x.isCurrent = sameChord(x, *context.current);
    if (options.voice) {
      try {
        x.notes = voiceChord(suggestionChord(x), options.style, options.octave, {0, options.dropBass, 0});
      } catch (const std::exception&) {
        x.notes.clear();  // a style without a plan for this chord leaves it unvoiced
      }
    }
  }
  return list;
}

}  // namespace tw
