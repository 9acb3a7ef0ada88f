#include "generation/collection_habits.hpp"

#include <algorithm>
#include <unordered_map>

#include "generation/corpus_numerals.hpp"

namespace tw {

namespace {

// Absolute discounting: every seen continuation gives up this much of its count to the
// shorter context, which spreads it over what this context has not shown.
constexpr double kDiscount = 0.75;
// Contexts seen fewer times than this say little beyond their shorter context; they are not
// stored and the shorter one answers for them.
constexpr long kMinimumContextCount = 5;
constexpr std::size_t kListLength = 24;
constexpr double kSmallestProbability = 0.001;

std::string header(std::string_view collection, bool minor) {
  std::string key = "@";
  key += collection;
  key += minor ? ".min" : ".maj";
  return key;
}

long total(const std::map<std::string, long>& counts) {
  long n = 0;
  for (const auto& [numeral, count] : counts) n += count;
  return n;
}

std::string bassKey(std::string_view collection, bool minor) { return header(collection, minor) + "/bass"; }

constexpr std::string_view kBassMembers[] = {"root", "third", "fifth", "seventh", "other"};

}  // namespace

std::string_view bassMember(const ParsedChord& chord) {
  if (!chord.bass || *chord.bass == chord.root) return "root";
  const int interval = reducePitchClass(*chord.bass - chord.root);
  bool inChord = false;
  for (int i : chord.intervals) inChord |= i % 12 == interval;
  if (!inChord) return "other";
  if (interval == 3 || interval == 4) return "third";
  if (interval >= 6 && interval <= 8) return "fifth";
  if (interval >= 9) return "seventh";
  return "other";  // a second or fourth in the bass
}

std::string habitKey(std::string_view collection, bool minor, std::span<const std::string> before) {
  std::string key = header(collection, minor);
  for (const auto& numeral : before) {
    key += '>';
    key += numeral;
  }
  return key;
}

std::vector<HabitRun> habitRuns(const AnnotatedPiece& piece) {
  std::vector<HabitRun> runs;
  HabitRun run;
  KeyContext runKey;
  auto close = [&] {
    if (!run.numerals.empty()) runs.push_back(std::move(run));
    run = HabitRun{};
  };
  for (const auto& c : piece.chords) {
    if (c.afterGap || !(c.key == runKey)) close();
    std::string numeral = habitNumeral(c.key, c.chord);
    if (numeral.empty()) {
      close();
      continue;
    }
    runKey = c.key;
    run.minor = c.key.minor;
    run.basses.push_back(bassMember(c.chord));
    if (run.numerals.empty() || run.numerals.back() != numeral) run.numerals.push_back(std::move(numeral));
  }
  close();
  return runs;
}

void HabitCounter::add(std::string_view collection, const HabitRun& run) {
  for (std::string_view member : run.basses) ++counts_[bassKey(collection, run.minor)][std::string(member)];
  const auto& n = run.numerals;
  for (std::size_t i = 0; i < n.size(); ++i)
    for (std::size_t before = 0; before <= kHabitContext && before <= i; ++before)
      ++counts_[habitKey(collection, run.minor, std::span(n).subspan(i - before, before))][n[i]];
}

void HabitCounter::storeInto(ContinuationCorpus& corpus) const {
  for (std::string_view collection : kCollections)
    for (bool minor : {false, true}) {
      const std::string head = header(collection, minor);
      auto unigram = counts_.find(head);
      if (unigram == counts_.end()) continue;

      // Every member keeps a share, however rare in the collection.
      if (auto basses = counts_.find(bassKey(collection, minor)); basses != counts_.end()) {
        const double n = static_cast<double>(total(basses->second));
        std::vector<Continuation> shares;
        for (std::string_view member : kBassMembers) {
          auto it = basses->second.find(std::string(member));
          const double count = it == basses->second.end() ? 0.0 : static_cast<double>(it->second);
          shares.push_back({std::string(member), quantizedProbability(static_cast<float>((count + 1.0) / (n + 5.0)))});
        }
        corpus.set(basses->first, std::move(shares));
      }

      // Dense distributions over the numerals the collection plays in this mode.
      std::vector<std::string> vocabulary;
      std::unordered_map<std::string, std::size_t> index;
      for (const auto& [numeral, count] : unigram->second) {
        index.emplace(numeral, vocabulary.size());
        vocabulary.push_back(numeral);
      }
      using Dense = std::vector<double>;
      auto smoothed = [&](const std::map<std::string, long>& counts, const Dense* shorter) {
        const double n = static_cast<double>(total(counts));
        Dense p(vocabulary.size(), 0.0);
        double spread = 1.0;
        if (shorter) {
          spread = kDiscount * static_cast<double>(counts.size()) / n;
          for (std::size_t i = 0; i < p.size(); ++i) p[i] = spread * (*shorter)[i];
        }
        const double keep = shorter ? kDiscount : 0.0;
        for (const auto& [numeral, count] : counts)
          p[index.at(numeral)] += (static_cast<double>(count) - keep) / n;
        return p;
      };
      auto store = [&](const std::string& key, const Dense& p) {
        std::vector<std::size_t> order(p.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        const std::size_t kept = std::min(kListLength, order.size());
        std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(kept), order.end(),
                          [&](std::size_t a, std::size_t b) {
                            return p[a] != p[b] ? p[a] > p[b] : vocabulary[a] < vocabulary[b];
                          });
        order.resize(kept);
        std::vector<Continuation> list;
        for (std::size_t i : order) {
          if (list.size() == kListLength || p[i] < kSmallestProbability) break;
          list.push_back({vocabulary[i], quantizedProbability(static_cast<float>(p[i]))});
        }
        corpus.set(key, std::move(list));
      };

      const Dense base = smoothed(unigram->second, nullptr);
      store(head, base);
      // One chord before, then two; a longer context is only stored where its shorter one is,
      // as it is seen at most as often.
      std::map<std::string, Dense, std::less<>> oneBefore;
      const std::string prefix = head + ">";
      for (auto it = counts_.lower_bound(prefix); it != counts_.end() && it->first.starts_with(prefix); ++it) {
        std::string_view rest = std::string_view(it->first).substr(prefix.size());
        if (rest.find('>') != std::string_view::npos || total(it->second) < kMinimumContextCount) continue;
        Dense p = smoothed(it->second, &base);
        store(it->first, p);
        oneBefore.emplace(std::string(rest), std::move(p));
      }
      for (auto it = counts_.lower_bound(prefix); it != counts_.end() && it->first.starts_with(prefix); ++it) {
        std::string_view rest = std::string_view(it->first).substr(prefix.size());
        auto split = rest.find('>');
        if (split == std::string_view::npos || total(it->second) < kMinimumContextCount) continue;
        auto shorter = oneBefore.find(rest.substr(split + 1));
        if (shorter == oneBefore.end()) continue;
        store(it->first, smoothed(it->second, &shorter->second));
      }
    }
}

std::span<const Continuation> bassMemberShares(const ContinuationCorpus& corpus, std::string_view collection,
                                               bool minor) {
  return corpus.continuations(bassKey(collection, minor), 255);
}

std::span<const Continuation> habitContinuations(const ContinuationCorpus& corpus, std::string_view collection,
                                                 bool minor, std::span<const std::string> before) {
  // Keys are put together in one buffer, shortest context last: a request asks for a hundred.
  const std::size_t longest = std::min(before.size(), kHabitContext);
  std::string key;
  key.reserve(96);
  key += '@';
  key += collection;
  key += minor ? ".min" : ".maj";
  const std::size_t headLength = key.size();
  for (std::size_t n = longest + 1; n-- > 0;) {
    key.resize(headLength);
    for (const auto& numeral : before.subspan(before.size() - n, n)) {
      key += '>';
      key += numeral;
    }
    auto list = corpus.continuations(key, 255);
    if (!list.empty()) return list;
  }
  return {};
}

}  // namespace tw
