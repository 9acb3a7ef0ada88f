#include "datasets/corpus_builder.hpp"

#include <algorithm>
#include <set>

#include "generation/collection_habits.hpp"
#include "generation/corpus_numerals.hpp"
#include "generation/mode_judgment.hpp"

namespace tw {

namespace {

// One chord of a piece as the corpora see it, after repeated chords are merged.
struct NumeralStep {
  std::string progression;  // the numeral progressions store
  std::string target;       // the numeral a continuation names (seventh level, no bass)
  std::vector<std::string> sources;  // the numerals a continuation is looked up by
  KeyContext key;
  bool phraseStart = false;
  bool afterGap = false;
};

std::vector<NumeralStep> numeralSteps(const AnnotatedPiece& piece, bool keepBass, long& unnamed) {
  std::vector<NumeralStep> steps;
  bool gap = false;
  for (const auto& c : piece.chords) {
    KeyContext key = c.key;
    key.melodic = false;
    std::optional<PitchClass> bass = c.chord.bass;
    auto seventh = reducedQuality(c.chord, QualityLevel::seventh);
    auto target = realisableNumeral(key, c.chord.root, seventh, std::nullopt);
    auto progression = keepBass ? realisableNumeral(key, c.chord.root, seventh, bass) : target;
    if (!target || !progression) {
      ++unnamed;
      gap = true;
      continue;
    }
    NumeralStep step;
    step.progression = *progression;
    step.target = *target;
    step.key = key;
    step.phraseStart = c.phraseStart;
    step.afterGap = c.afterGap || gap;
    gap = false;
    auto addSource = [&](const std::optional<std::string>& n) {
      if (n && std::find(step.sources.begin(), step.sources.end(), *n) == step.sources.end())
        step.sources.push_back(*n);
    };
    addSource(realisableNumeral(key, c.chord.root, reducedQuality(c.chord, QualityLevel::full), bass));
    addSource(realisableNumeral(key, c.chord.root, reducedQuality(c.chord, QualityLevel::full), std::nullopt));
    addSource(target);
    addSource(realisableNumeral(key, c.chord.root, reducedQuality(c.chord, QualityLevel::triad), std::nullopt));

    if (!steps.empty() && !step.afterGap && steps.back().key == key &&
        steps.back().progression == step.progression) {
      continue;  // the same chord held on
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

bool linked(const NumeralStep& a, const NumeralStep& b) { return !b.afterGap && a.key == b.key; }

struct WindowStats {
  std::set<std::size_t> pieces;
  std::set<std::size_t> openingPieces;
  long occurrences = 0;
};

using WindowKey = std::pair<bool, std::vector<std::string>>;  // (minor, numerals)

bool isTonic(const std::string& numeral) {
  auto head = numeral.substr(0, numeral.find('/'));
  return head == "I" || head == "i" || head == "Imaj7" || head == "im7" || head == "I7" ||
         head == "I6" || head == "im6";
}

// A window worth offering: not a two-chord oscillation (I IV I IV), and enough different
// chords to be a progression rather than a vamp.
bool isProgressionLike(const std::vector<std::string>& numerals) {
  bool periodTwo = true;
  for (std::size_t i = 2; i < numerals.size() && periodTwo; ++i) periodTwo = numerals[i] == numerals[i - 2];
  if (periodTwo) return false;
  std::set<std::string> distinct(numerals.begin(), numerals.end());
  return distinct.size() >= (numerals.size() >= 8 ? 4u : 3u);
}

// Pieces that play it count most, then phrase openings; a progression that sets out from
// the tonic is worth half as much again, as it stands on its own.
double windowScore(const WindowKey& key, const WindowStats& s) {
  double score = 4.0 * static_cast<double>(s.pieces.size()) +
                 2.0 * static_cast<double>(s.openingPieces.size()) +
                 0.05 * static_cast<double>(std::min<long>(s.occurrences, 100));
  return isTonic(key.second.front()) ? score * 1.5 : score;
}

void collectWindows(const std::vector<NumeralStep>& steps, std::size_t pieceIndex, int length,
                    std::map<WindowKey, WindowStats>& windows) {
  const std::size_t n = static_cast<std::size_t>(length);
  for (std::size_t i = 0; i + n <= steps.size(); ++i) {
    bool ok = true;
    for (std::size_t j = i + 1; j < i + n && ok; ++j) ok = linked(steps[j - 1], steps[j]);
    if (!ok) continue;
    WindowKey key{steps[i].key.minor, {}};
    for (std::size_t j = i; j < i + n; ++j) key.second.push_back(steps[j].progression);
    auto& stats = windows[key];
    stats.pieces.insert(pieceIndex);
    if (steps[i].phraseStart || i == 0) stats.openingPieces.insert(pieceIndex);
    ++stats.occurrences;
  }
}

std::vector<StoredProgression> rankWindows(const std::map<WindowKey, WindowStats>& windows) {
  struct Ranked {
    double score;
    const WindowKey* key;
    const WindowStats* stats;
  };
  std::vector<Ranked> major, minor;
  for (const auto& [key, stats] : windows) {
    if (stats.pieces.size() < 2 && stats.occurrences < 2) continue;
    if (!isProgressionLike(key.second)) continue;
    // Keep only what the numerals themselves say is in the mode they were written in.
    if (judgeModeOfNumerals(key.second).minor != key.first) continue;
    (key.first ? minor : major).push_back({windowScore(key, stats), &key, &stats});
  }
  auto better = [](const Ranked& a, const Ranked& b) {
    if (a.score != b.score) return a.score > b.score;
    return a.key->second < b.key->second;
  };
  std::sort(major.begin(), major.end(), better);
  std::sort(minor.begin(), minor.end(), better);
  if (major.size() > kMajorProgressionsPerGroup) major.resize(kMajorProgressionsPerGroup);
  if (minor.size() > kMinorProgressionsPerGroup) minor.resize(kMinorProgressionsPerGroup);
  std::vector<Ranked> all = major;
  all.insert(all.end(), minor.begin(), minor.end());
  std::sort(all.begin(), all.end(), [&](const Ranked& a, const Ranked& b) {
    if (a.score != b.score) return a.score > b.score;
    if (a.key->first != b.key->first) return !a.key->first;
    return a.key->second < b.key->second;
  });
  std::vector<StoredProgression> out;
  for (const auto& r : all)
    out.push_back({r.key->second, {r.key->first, false},
                   static_cast<std::uint16_t>(std::min<long>(r.stats->occurrences, 65535))});
  return out;
}

struct DatasetPlan {
  DatasetReading (*read)(const std::string&);
  const char* genreKey;
  bool keepBass;  // inversions belong to the style's progressions
};

}  // namespace

BuiltCorpora buildCorpora(const std::string& datasetsFolder, const CorpusBuildOptions& options) {
  static const DatasetPlan kPlans[] = {
      {readBillboard, "popedm", false},
      {readWhenInRome, "classical", true},
      {readRockCorpus, "rock", false},
      {[](const std::string& folder) { return readJazzCorpus(folder); }, "jazzneosoul", false},
  };
  BuiltCorpora built;
  // Continuation weights: each data set brings the same total mass, so no set drowns another.
  std::map<std::string, std::map<std::string, double>, std::less<>> continuationMass;
  std::map<std::string, long, std::less<>> sourceCounts;
  HabitCounter habits;

  std::size_t pieceIndex = 0;
  for (const auto& plan : kPlans) {
    DatasetReading reading = plan.read(datasetsFolder);
    DatasetSummary summary;
    summary.name = reading.name;
    summary.genreKey = plan.genreKey;
    summary.found = reading.found;
    summary.chordsRead = reading.chordsRead;
    summary.noChord = reading.noChord;
    summary.rejectedCount = reading.rejectedCount;
    summary.rejected = reading.rejected;
    summary.rewrittenCount = reading.rewrittenCount;
    summary.rewritten = reading.rewritten;
    auto heldOut = holdOutTenth(reading.pieces);
    if (options.validation) heldOut = holdOutTenth(reading.pieces);  // the first tenth is dropped
    summary.piecesHeldOut = heldOut.size();
    summary.piecesUsed = reading.pieces.size();
    for (auto& p : heldOut) built.heldOut.push_back({plan.genreKey, reading.name, std::move(p)});

    std::map<int, std::map<WindowKey, WindowStats>> windows;
    std::vector<std::vector<NumeralStep>> allSteps;
    allSteps.reserve(reading.pieces.size());
    for (const auto& piece : reading.pieces) {
      allSteps.push_back(numeralSteps(piece, plan.keepBass, summary.unnamedChords));
      const auto& steps = allSteps.back();
      for (int length : kProgressionLengths) collectWindows(steps, pieceIndex, length, windows[length]);
      for (const auto& run : habitRuns(piece)) habits.add(plan.genreKey, run);
      for (std::size_t i = 1; i < steps.size(); ++i)
        if (linked(steps[i - 1], steps[i])) ++summary.transitions;
      ++pieceIndex;
    }
    for (const auto& [length, stats] : windows)
      for (auto& p : rankWindows(stats)) built.progressions.add(plan.genreKey, std::move(p));

    if (summary.transitions > 0) {
      double weight = 1.0 / static_cast<double>(summary.transitions);
      for (const auto& steps : allSteps)
        for (std::size_t i = 1; i < steps.size(); ++i) {
          if (!linked(steps[i - 1], steps[i])) continue;
          for (const auto& source : steps[i - 1].sources) {
            continuationMass[source][steps[i].target] += weight;
            ++sourceCounts[source];
          }
        }
    }
    built.datasets.push_back(std::move(summary));
    if (options.keepTraining)
      for (auto& p : reading.pieces) built.training.push_back({plan.genreKey, reading.name, std::move(p)});
  }

  for (const auto& [source, targets] : continuationMass) {
    if (sourceCounts[source] < 3) continue;
    double total = 0;
    for (const auto& [t, m] : targets) total += m;
    std::vector<Continuation> list;
    for (const auto& [t, m] : targets) {
      float p = quantizedProbability(static_cast<float>(m / total));
      if (p >= 0.01f) list.push_back({t, p});
    }
    std::stable_sort(list.begin(), list.end(), [](const Continuation& a, const Continuation& b) {
      return a.probability > b.probability;
    });
    if (list.size() > kContinuationsPerNumeral) list.resize(kContinuationsPerNumeral);
    if (!list.empty()) built.continuations.set(source, std::move(list));
  }
  habits.storeInto(built.continuations);
  return built;
}

}  // namespace tw
