#include "datasets/suggestion_evaluation.hpp"

#include <algorithm>
#include <unordered_map>

#include "generation/suggestion_engine.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {

namespace {

// A chord relative to its key, as prediction is judged: the key's mode, the root's distance
// from the tonic and the chord's pitch classes above the root. The bass does not count.
using ChordState = int;

ChordState stateOf(const KeyContext& key, PitchClass root, const IntervalList& intervals) {
  int mask = 0;
  for (int i : intervals) mask |= 1 << (i % 12);
  return (key.minor ? 1 << 16 : 0) | reducePitchClass(root - key.root) << 12 | mask;
}

ChordState stateOf(const AnnotatedChord& c) { return stateOf(c.key, c.chord.root, c.chord.intervals); }

// A piece as runs of chord changes: a run ends where the key changes or a gap comes; a chord
// held on (the same state again) counts once, as its latest form.
std::vector<std::vector<const AnnotatedChord*>> runsOf(const AnnotatedPiece& piece) {
  std::vector<std::vector<const AnnotatedChord*>> runs;
  for (const auto& c : piece.chords) {
    if (runs.empty() || c.afterGap || !(c.key == runs.back().back()->key)) runs.emplace_back();
    auto& run = runs.back();
    if (!run.empty() && stateOf(*run.back()) == stateOf(c)) run.back() = &c;
    else run.push_back(&c);
  }
  return runs;
}

// Which chord follows which in each collection, ranked by count; chords never seen after
// the one given follow in order of how often the collection plays them.
class BigramBaseline {
 public:
  explicit BigramBaseline(const std::vector<CollectionPiece>& training) {
    for (const auto& p : training)
      for (const auto& run : runsOf(p.piece)) {
        auto& counts = collections_[p.genreKey];
        for (std::size_t i = 0; i < run.size(); ++i) {
          ++counts.unigram[stateOf(*run[i])];
          if (i > 0) ++counts.bigram[stateOf(*run[i - 1])][stateOf(*run[i])];
        }
      }
    for (auto& [name, c] : collections_) c.unigramRanked = ranked(c.unigram);
  }

  long rank(const std::string& collection, ChordState previous, ChordState actual) const {
    auto it = collections_.find(collection);
    if (it == collections_.end()) return 0;
    const Counts& c = it->second;
    long rank = 0;
    std::vector<ChordState> listed;
    if (auto b = c.bigram.find(previous); b != c.bigram.end()) {
      for (ChordState s : ranked(b->second)) {
        if (s == previous) continue;
        ++rank;
        if (s == actual) return rank;
        listed.push_back(s);
      }
    }
    for (ChordState s : c.unigramRanked) {
      if (s == previous || std::find(listed.begin(), listed.end(), s) != listed.end()) continue;
      ++rank;
      if (s == actual) return rank;
    }
    return 0;
  }

 private:
  using Table = std::unordered_map<ChordState, long>;
  struct Counts {
    Table unigram;
    std::unordered_map<ChordState, Table> bigram;
    std::vector<ChordState> unigramRanked;
  };

  static std::vector<ChordState> ranked(const Table& table) {
    std::vector<std::pair<long, ChordState>> order;
    for (const auto& [s, n] : table) order.emplace_back(-n, s);
    std::sort(order.begin(), order.end());
    std::vector<ChordState> out;
    for (const auto& [n, s] : order) out.push_back(s);
    return out;
  }

  std::map<std::string, Counts> collections_;
};

void record(PredictionFigures& f, long rank) {
  ++f.cases;
  if (rank == 1) f.hit1 += 1;
  if (rank >= 1 && rank <= 5) f.hit5 += 1;
  if (rank >= 1 && rank <= 10) f.hit10 += 1;
  if (rank >= 1) f.meanReciprocalRank += 1.0 / static_cast<double>(rank);
}

void finish(PredictionFigures& f) {
  if (f.cases == 0) return;
  const double n = static_cast<double>(f.cases);
  f.hit1 /= n;
  f.hit5 /= n;
  f.hit10 /= n;
  f.meanReciprocalRank /= n;
}

// The rank of the played chord in the reply to a "get_suggestions" request that carries the
// chords before it; 0 when the reply does not offer it.
long engineRank(std::span<const AnnotatedChord* const> before, const AnnotatedChord& actual) {
  Json previous = Json::array();
  for (const auto* c : before) previous.push_back(chordSymbolText(c->chord, false));
  Json request{{"root", kSharpNames[static_cast<std::size_t>(actual.key.root)]},
               {"mode", actual.key.minor ? "minor" : "major"},
               {"prevChords", previous}};
  const HandlerReply reply = handleGetSuggestions(request);
  const ChordState wanted = stateOf(actual);
  long rank = 0;
  for (const auto& s : reply.payload["suggestions"]) {
    ++rank;
    auto chord = parseChordSymbol(s["symbol"].get<std::string>());
    if (chord && stateOf(actual.key, chord->root, chord->intervals) == wanted) return rank;
  }
  return 0;
}

struct Case {
  const CollectionPiece* piece;
  std::vector<const AnnotatedChord*> run;
  std::size_t index;  // the chord to predict
};

}  // namespace

std::map<std::string, CollectionPrediction> evaluateNextChordPrediction(const std::vector<CollectionPiece>& heldOut,
                                                                        const std::vector<CollectionPiece>& training,
                                                                        const PredictionOptions& options) {
  const BigramBaseline baseline(training);
  std::map<std::string, std::vector<Case>> cases;
  for (const auto& held : heldOut)
    for (auto& run : runsOf(held.piece))
      for (std::size_t i = 1; i < run.size(); ++i) cases[held.genreKey].push_back({&held, run, i});

  std::map<std::string, CollectionPrediction> out;
  for (auto& [collection, list] : cases) {
    std::size_t step = 1;
    if (options.casesPerCollection > 0 && list.size() > static_cast<std::size_t>(options.casesPerCollection))
      step = list.size() / static_cast<std::size_t>(options.casesPerCollection);
    CollectionPrediction& result = out[collection];
    for (std::size_t n = 0; n < list.size(); n += step) {
      const Case& c = list[n];
      const std::size_t first = c.index > options.context ? c.index - options.context : 0;
      const AnnotatedChord& actual = *c.run[c.index];
      record(result.engine, engineRank(std::span(c.run).subspan(first, c.index - first), actual));
      record(result.baseline, baseline.rank(collection, stateOf(*c.run[c.index - 1]), stateOf(actual)));
      const long total = static_cast<long>((list.size() + step - 1) / step);
      if (options.progress && (result.engine.cases % 500 == 0 || result.engine.cases == total))
        options.progress(collection, result.engine.cases, total);
    }
    finish(result.engine);
    finish(result.baseline);
  }
  return out;
}

}  // namespace tw
