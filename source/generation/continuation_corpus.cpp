#include "generation/continuation_corpus.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "generation/corpus_format.hpp"

namespace tw {

namespace {
constexpr std::string_view kMagic = "TWCP";
constexpr std::size_t kMaxContinuations = 255;
constexpr std::size_t kMaxNumerals = std::numeric_limits<std::uint16_t>::max();

std::uint16_t probabilitySteps(float probability) {
  if (!std::isfinite(probability) || probability <= 0.0f) return 0;
  if (probability >= 1.0f) return 65535;
  return static_cast<std::uint16_t>(std::lround(static_cast<double>(probability) * 65535.0));
}

float fromSteps(std::uint16_t steps) { return static_cast<float>(steps / 65535.0); }
}  // namespace

float quantizedProbability(float probability) { return fromSteps(probabilitySteps(probability)); }

void ContinuationCorpus::set(const std::string& numeral, std::vector<Continuation> continuations) {
  std::stable_sort(continuations.begin(), continuations.end(),
                   [](const Continuation& a, const Continuation& b) {
                     return a.probability > b.probability;
                   });
  if (continuations.size() > kMaxContinuations) continuations.resize(kMaxContinuations);
  if (continuations.empty()) {
    entries_.erase(numeral);
    return;
  }
  entries_[numeral] = std::move(continuations);
}

std::span<const Continuation> ContinuationCorpus::continuations(std::string_view numeral,
                                                                std::size_t limit) const {
  auto it = entries_.find(numeral);
  if (it == entries_.end()) return {};
  return std::span<const Continuation>(it->second).first(std::min(limit, it->second.size()));
}

std::vector<std::uint8_t> encodeContinuationCorpus(const ContinuationCorpus& corpus) {
  // The numeral table: every storable source and target, in byte order.
  std::map<std::string, std::uint16_t, std::less<>> index;
  auto enter = [&](const std::string& n) {
    if (isStorableText(n) && index.size() < kMaxNumerals) index.emplace(n, 0);
  };
  for (const auto& [source, list] : corpus.entries()) {
    enter(source);
    for (const auto& c : list) enter(c.numeral);
  }
  std::uint16_t next = 0;
  for (auto& [text, i] : index) i = next++;

  CorpusWriter out;
  out.raw(kMagic);
  out.u16(kContinuationFormatVersion);
  out.u16(static_cast<std::uint16_t>(index.size()));
  for (const auto& [text, i] : index) out.shortText(text);

  struct Record {
    std::uint16_t source;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> targets;
  };
  std::vector<Record> records;
  for (const auto& [source, list] : corpus.entries()) {
    auto s = index.find(source);
    if (s == index.end()) continue;
    Record r{s->second, {}};
    for (const auto& c : list) {
      auto t = index.find(c.numeral);
      if (t == index.end() || r.targets.size() == kMaxContinuations) continue;
      r.targets.emplace_back(t->second, probabilitySteps(c.probability));
    }
    if (!r.targets.empty()) records.push_back(std::move(r));
  }
  out.u16(static_cast<std::uint16_t>(records.size()));
  for (const auto& r : records) {
    out.u16(r.source);
    out.u8(static_cast<std::uint8_t>(r.targets.size()));
    for (const auto& [target, steps] : r.targets) {
      out.u16(target);
      out.u16(steps);
    }
  }
  return std::move(out).finish(CorpusFileKind::continuations);
}

std::optional<ContinuationCorpus> decodeContinuationCorpus(std::span<const std::uint8_t> file) {
  std::vector<std::uint8_t> body;
  if (!unscrambleAndVerify(file, CorpusFileKind::continuations, body)) return std::nullopt;
  CorpusReader in(body);
  if (!in.expect(kMagic)) return std::nullopt;
  if (in.u16() != kContinuationFormatVersion) return std::nullopt;
  std::uint16_t numeralCount = in.u16();
  if (in.failed() || numeralCount == 0 || numeralCount > in.remaining() / 2) return std::nullopt;

  std::vector<std::string> numerals;
  numerals.reserve(numeralCount);
  std::unordered_map<std::string, int> seen;
  for (std::uint16_t i = 0; i < numeralCount; ++i) {
    std::string n = in.shortText();
    if (in.failed() || !isStorableText(n) || !seen.emplace(n, i).second) return std::nullopt;
    numerals.push_back(std::move(n));
  }

  std::uint16_t recordCount = in.u16();
  if (in.failed() || recordCount == 0 || recordCount > numeralCount) return std::nullopt;
  ContinuationCorpus corpus;
  int previousSource = -1;
  for (std::uint16_t r = 0; r < recordCount; ++r) {
    std::uint16_t source = in.u16();
    std::uint8_t count = in.u8();
    if (in.failed() || source >= numeralCount || static_cast<int>(source) <= previousSource ||
        count == 0 || static_cast<std::size_t>(count) * 4 > in.remaining())
      return std::nullopt;
    previousSource = source;
    std::vector<Continuation> list;
    list.reserve(count);
    std::uint16_t previousSteps = 65535;
    for (std::uint8_t c = 0; c < count; ++c) {
      std::uint16_t target = in.u16();
      std::uint16_t steps = in.u16();
      if (in.failed() || target >= numeralCount || steps > previousSteps) return std::nullopt;
      previousSteps = steps;
      list.push_back({numerals[target], fromSteps(steps)});
    }
    corpus.set(numerals[source], std::move(list));
  }
  if (!in.atEnd()) return std::nullopt;
  return corpus;
}

}  // namespace tw
