#include "generation/suggestion_families.hpp"

#include <algorithm>
#include <bitset>
#include <set>
#include <tuple>
#include <utility>

#include "chord/quality_catalogue.hpp"

namespace tw {

namespace {

constexpr std::size_t kCorpusCandidateLimit = 30;

struct Target {
  PitchClass root;
  std::string quality;
  std::string numeral;
};

std::string numeralOf(const KeyContext& key, PitchClass root, std::string_view quality, RomanFlags flags) {
  return romanForChord(key, AnalysisChord{root, quality.empty() ? std::string("maj") : std::string(quality), 0, false}, flags);
}

// The chords a dominant or its substitute may lead to: the chord at the position when one
// is being replaced, and the key's triads on degrees 2 to 7 that are not diminished.
std::vector<Target> dominantTargets(const SuggestionContext& c, RomanFlags flags) {
  std::vector<Target> targets;
  auto add = [&](PitchClass root, const std::string& quality) {
    if (root == c.key.root) return;
    for (const auto& t : targets)
      if (t.root == root && t.quality == quality) return;
    targets.push_back({root, quality, numeralOf(c.key, root, quality, flags)});
  };
  if (c.current) add(c.current->root, c.current->quality == "maj" ? "" : c.current->quality);
  for (int degree = 2; degree <= 7; ++degree) {
    DiatonicChord d = diatonicChord(c.key, degree, false);
    if (d.quality.find("dim") != std::string::npos) continue;
    add(d.root, d.quality);
  }
  return targets;
}

// Appends a candidate in place: the engine gathers several hundred of them per request.
Suggestion& add(std::vector<Suggestion>& out, PitchClass root, std::string_view quality, int category,
                const std::string& label, double prior, const KeyContext& key,
                const IntervalList* intervals = nullptr) {
  Suggestion& s = out.emplace_back();
  s.root = reducePitchClass(root);
  s.quality = std::string(quality);
  s.category = category;
  s.label = label;
  s.score = prior;
  s.isDiatonic = intervals ? isDiatonicChord(key, s.root, *intervals, std::nullopt)
                           : isDiatonicChord(key, s.root, s.quality, std::nullopt);
  return s;
}

// Priors are small: they order the chords the collections have not shown after this context,
// and the family's usual standing; where a chord has been seen to follow, the probability of
// the move decides. Plainer variants first: each step along a family's list costs a little.
double variantPrior(double base, std::size_t index) { return base - 0.0004 * static_cast<double>(index); }

void dominantFamily(const SuggestionContext& c, RomanFlags flags, int category, int rootShift,
                    std::string_view labelPrefix, double base, std::vector<Suggestion>& out) {
  static const auto kIntervals = [] {
    std::array<const IntervalList*, kDominantQualities.size()> intervals{};
    for (std::size_t i = 0; i < intervals.size(); ++i) intervals[i] = &findQuality(kDominantQualities[i])->intervals;
    return intervals;
  }();
  const auto targets = dominantTargets(c, flags);
  out.reserve(out.size() + targets.size() * kDominantQualities.size());
  std::array<std::bitset<kDominantQualities.size()>, 12> seen{};  // (root, quality) pairs produced
  for (const auto& target : targets) {
    PitchClass root = reducePitchClass(target.root + rootShift);
    const std::string label = std::string(labelPrefix) + target.numeral;
    for (std::size_t i = 0; i < kDominantQualities.size(); ++i) {
      if (seen[static_cast<std::size_t>(root)].test(i)) continue;
      seen[static_cast<std::size_t>(root)].set(i);
      add(out, root, kDominantQualities[i], category, label, variantPrior(base, i), c.key, kIntervals[i]);
    }
  }
}

}  // namespace

void secondaryDominants(const SuggestionContext& c, RomanFlags flags, std::vector<Suggestion>& out) {
  dominantFamily(c, flags, kSecondaryDominant, 7, "V of ", 0.01, out);
}

void tritoneSubstitutes(const SuggestionContext& c, RomanFlags flags, std::vector<Suggestion>& out) {
  dominantFamily(c, flags, kTritoneSub, 1, "\xE2\x86\x92 ", 0.006, out);
}

void borrowedChords(const SuggestionContext& c, RomanFlags, std::vector<Suggestion>& out) {
  // The parallel key's triads that differ from this key's own; the common borrowings weigh
  // more (iv, bVI, bVII in major; V, IV, vii° in minor).
  KeyContext parallel{c.key.root, !c.key.minor, false};
  static constexpr double kMajorKeyBorrowing[] = {0.005, 0.004, 0.007, 0.01, 0.005, 0.009, 0.01};
  static constexpr double kMinorKeyBorrowing[] = {0.005, 0.005, 0.003, 0.008, 0.011, 0.003, 0.008};
  const std::string label = c.key.minor ? "borrowed from major" : "borrowed from minor";
  for (int degree = 1; degree <= 7; ++degree) {
    DiatonicChord own = diatonicChord(c.key, degree, false);
    DiatonicChord borrowed = diatonicChord(parallel, degree, false);
    if (own.root == borrowed.root && own.quality == borrowed.quality) continue;
    double base = (c.key.minor ? kMinorKeyBorrowing : kMajorKeyBorrowing)[degree - 1];
    auto emit = [&](auto qualities) {
      for (std::size_t i = 0; i < qualities.size(); ++i)
        add(out, borrowed.root, qualities[i], kModalInterchange, label, variantPrior(base, i), c.key);
    };
    if (borrowed.quality.find("dim") != std::string::npos) emit(kDiminishedQualities);
    else if (borrowed.quality == "m") emit(kMinorSideQualities);
    else emit(kMajorSideQualities);
  }
}

void diminishedApproaches(const SuggestionContext& c, RomanFlags flags, std::vector<Suggestion>& out) {
  // Common-tone diminished sevenths: the diminished seventh a minor third above a chord's
  // root shares that root and decorates the chord (#ii°7 over I).
  std::vector<Target> decorated;
  if (c.next) decorated.push_back({c.next->root, c.next->quality, numeralOf(c.key, c.next->root, c.next->quality == "maj" ? "" : c.next->quality, flags)});
  for (int degree : {1, 5}) {
    DiatonicChord d = diatonicChord(c.key, degree, false);
    if (c.next && c.next->root == d.root) continue;
    decorated.push_back({d.root, d.quality, numeralOf(c.key, d.root, d.quality, flags)});
  }
  for (const auto& t : decorated)
    add(out, t.root + 3, "dim7", kDiminishedApproach, "CT on " + t.numeral, 0.005, c.key);

  // Chromatic approach chords a semitone below (rising) or above (falling) a target.
  std::vector<Target> targets;
  if (c.next) targets.push_back(decorated.front());
  else
    for (int degree = 2; degree <= 6; ++degree) {
      DiatonicChord d = diatonicChord(c.key, degree, false);
      targets.push_back({d.root, d.quality, numeralOf(c.key, d.root, d.quality, flags)});
    }
  for (const auto& t : targets)
    for (std::size_t i = 0; i < kDiminishedQualities.size(); ++i) {
      add(out, t.root - 1, kDiminishedQualities[i], kDiminishedApproach, "\xE2\x86\x91 " + t.numeral,
          variantPrior(0.007, i), c.key);
      add(out, t.root + 1, kDiminishedQualities[i], kDiminishedApproach, "\xE2\x86\x93 " + t.numeral,
          variantPrior(0.004, i), c.key);
    }
}

void chromaticMediants(const SuggestionContext& c, RomanFlags flags, std::vector<Suggestion>& out) {
  std::vector<PitchClass> references{c.key.root};
  if (!c.previous.empty() && c.previous.back().root != c.key.root) references.push_back(c.previous.back().root);
  std::set<std::pair<PitchClass, std::string_view>> seen;
  for (PitchClass reference : references) {
    std::string label = "mediant of " + romanForPitchClass(c.key, reference, flags);
    for (int shift : {3, 4, 8, 9}) {
      PitchClass root = reducePitchClass(reference + shift);
      bool majorChromatic = !isDiatonicChord(c.key, root, "", std::nullopt);
      bool minorChromatic = !isDiatonicChord(c.key, root, "m", std::nullopt);
      if (majorChromatic && seen.insert({root, ""}).second)
        add(out, root, "", kChromaticMediant, label, 0.006, c.key);
      for (std::size_t i = 0; i < kMediantQualities.size(); ++i) {
        std::string_view q = kMediantQualities[i];
        bool minorSide = q.front() == 'm';
        if (!(minorSide ? minorChromatic : majorChromatic)) continue;
        if (!seen.insert({root, q}).second) continue;
        add(out, root, q, kChromaticMediant, label, variantPrior(minorSide ? 0.004 : 0.005, i), c.key);
      }
    }
  }
}

void corpusCandidates(const SuggestionContext& c, const NextChordModel& model, std::vector<Suggestion>& out) {
  if (c.previous.empty()) return;
  const std::size_t first = out.size();
  KeyContext natural{c.key.root, c.key.minor, false};
  // Chords already offered: root, catalogue entry, bass (-1 for none).
  std::vector<std::tuple<PitchClass, const ChordQuality*, int>> offered;
  for (const auto& continuation : model.ranked()) {
    if (out.size() - first == kCorpusCandidateLimit) break;
    // Pooled continuations are shared by both modes: a tonic of the other mode does not belong.
    if ((continuation.numeral == "I" && c.key.minor) || (continuation.numeral == "i" && !c.key.minor)) continue;
    RomanChord chord = chordFromRoman(natural, continuation.numeral);
    const ChordQuality* quality = chord.valid ? findQuality(chord.quality) : nullptr;
    if (!quality) continue;
    std::optional<PitchClass> bass;
    if (chord.hasBass && chord.bass != chord.root) bass = chord.bass;
    const std::tuple<PitchClass, const ChordQuality*, int> identity{chord.root, quality, bass ? *bass : -1};
    if (std::find(offered.begin(), offered.end(), identity) != offered.end()) continue;
    offered.push_back(identity);
    Suggestion& s = add(out, chord.root, chord.quality, kSmart, continuation.numeral, continuation.probability, c.key,
                        &quality->intervals);
    s.bass = bass;
    if (bass) s.isDiatonic = isDiatonicChord(c.key, s.root, quality->intervals, s.bass);
  }
}

void diatonicCandidates(const SuggestionContext& c, std::vector<Suggestion>& out) {
  for (bool seventh : {false, true})
    for (int degree = 1; degree <= 7; ++degree) {
      DiatonicChord d = diatonicChord(c.key, degree, seventh);
      add(out, d.root, d.quality, kDiatonic, d.roman, seventh ? 0.004 : 0.006, c.key).isDiatonic = true;
    }
}

}  // namespace tw
