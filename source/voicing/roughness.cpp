#include "voicing/roughness.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <list>
#include <unordered_map>
#include <vector>

namespace tw {

namespace {

constexpr int kPartials = 11;
constexpr double kMergeTolerance = 1e-9;
constexpr double kCurveLimit = 1.2;

// Frequency of partial k (1..11) of every MIDI note, its pitch rounded to 1e-6 semitones.
const std::array<double, 128 * kPartials>& partialFrequencies() {
  static const auto table = [] {
    std::array<double, 128 * kPartials> t{};
    for (int note = 0; note < 128; ++note) {
      for (int k = 1; k <= kPartials; ++k) {
        double pitch = note + 12.0 * std::log2(static_cast<double>(k));
        pitch = std::round(pitch * 1e6) / 1e6;
        t[static_cast<std::size_t>(note * kPartials + k - 1)] =
            440.0 * std::exp2((pitch - 69.0) / 12.0);
      }
    }
    return t;
  }();
  return table;
}

struct Partial {
  double frequency;
  double amplitude;
};

// Every distinct partial frequency of the MIDI range, ascending, and for each one the dissonance
// curve towards the frequencies above it, so that a voicing's roughness needs no power or
// exponential. Equal frequencies (a note's octave partials meeting another note's, or its
// third partial meeting the sixth of the note an octave below) share one entry; their
// amplitudes add up exactly whatever the order (they are sums of at most four powers of two, or
// of two terms), so a voicing's merged partials are the same as when sorted one by one.
struct PartialTable {
  std::vector<double> frequencies;                       // distinct, ascending
  std::array<std::uint16_t, 128 * kPartials> frequencyOf{}; // note * 11 + k - 1 -> entry
  // curve[bandStart[f] + d - 1] for the entry f + d (d >= 1): the curve's value, or -1 where
  // the curve no longer reaches (x > 1.2); past the band the curve reaches nothing either.
  std::vector<double> curve;
  std::vector<std::uint32_t> bandStart;
  std::vector<std::uint16_t> bandLength;
  bool usable = true;  // false if two distinct frequencies were close enough to merge
};

// Exactly as the definition computes it, so that table and definition agree to the last bit.
double dissonanceCurveReach(double fi, double fj) {
  return (fj - fi) / (1.72 * std::pow((fi + fj) / 2.0, 0.65));
}

const PartialTable& partialTable() {
  static const PartialTable table = [] {
    PartialTable t;
    const auto& frequencies = partialFrequencies();
    t.frequencies.assign(frequencies.begin(), frequencies.end());
    std::sort(t.frequencies.begin(), t.frequencies.end());
    t.frequencies.erase(std::unique(t.frequencies.begin(), t.frequencies.end()), t.frequencies.end());
    for (std::size_t i = 0; i < frequencies.size(); ++i)
      t.frequencyOf[i] = static_cast<std::uint16_t>(
          std::lower_bound(t.frequencies.begin(), t.frequencies.end(), frequencies[i]) - t.frequencies.begin());
    const std::size_t n = t.frequencies.size();
    for (std::size_t f = 0; f + 1 < n; ++f)
      if (t.frequencies[f + 1] - t.frequencies[f] < kMergeTolerance) t.usable = false;
    // Each band runs well past the curve's reach (x > 1.5), so that the first entry beyond
    // 1.2 is found in the table even were x not to grow strictly from one entry to the next.
    constexpr double kBandEnd = 1.5;
    for (std::size_t f = 0; f < n; ++f) {
      t.bandStart.push_back(static_cast<std::uint32_t>(t.curve.size()));
      std::size_t g = f + 1;
      for (; g < n; ++g) {
        const double x = dissonanceCurveReach(t.frequencies[f], t.frequencies[g]);
        if (x > kBandEnd) break;
        t.curve.push_back(x > kCurveLimit ? -1.0 : 4.0 * x * std::exp(1.0 - 4.0 * x));
      }
      t.bandLength.push_back(static_cast<std::uint16_t>(g - f - 1));
    }
    return t;
  }();
  return table;
}

// A voicing packed into a key: twelve note bytes and the size.
struct VoicingKey {
  std::array<std::uint8_t, 13> bytes{};
  friend bool operator==(const VoicingKey&, const VoicingKey&) = default;
};

struct VoicingKeyHash {
  std::size_t operator()(const VoicingKey& key) const {
    std::size_t h = 1469598103934665603ull;
    for (std::uint8_t b : key.bytes) h = (h ^ b) * 1099511628211ull;
    return h;
  }
};

VoicingKey keyOf(const Voicing& voicing) {
  VoicingKey key;
  std::size_t i = 0;
  for (std::uint8_t note : voicing) key.bytes[i++] = note;
  key.bytes[12] = static_cast<std::uint8_t>(voicing.size());
  return key;
}

// Most recent entry at the front of the list.
struct RoughnessCache {
  using Entry = std::pair<VoicingKey, double>;
  std::list<Entry> recency;
  std::unordered_map<VoicingKey, std::list<Entry>::iterator, VoicingKeyHash> index;
};

RoughnessCache& cache() {
  static RoughnessCache instance;
  return instance;
}

}  // namespace

// The definition step by step: partials sorted one by one, coincident ones merged.
double roughnessByDefinition(const Voicing& voicing) {
  const auto& frequencies = partialFrequencies();
  std::array<Partial, Voicing::kCapacity * kPartials> partials{};
  std::size_t count = 0;
  for (std::uint8_t note : voicing) {
    for (int k = 1; k <= kPartials; ++k) {
      partials[count++] = {frequencies[static_cast<std::size_t>(note * kPartials + k - 1)],
                           1.0 / k};
    }
  }
  std::sort(partials.begin(), partials.begin() + static_cast<std::ptrdiff_t>(count),
            [](const Partial& a, const Partial& b) { return a.frequency < b.frequency; });

  // Coincident partials sound as one, their amplitudes adding up.
  std::size_t merged = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (merged > 0 && partials[i].frequency - partials[merged - 1].frequency < kMergeTolerance)
      partials[merged - 1].amplitude += partials[i].amplitude;
    else
      partials[merged++] = partials[i];
  }

  double energy = 0.0;
  for (std::size_t i = 0; i < merged; ++i) energy += partials[i].amplitude * partials[i].amplitude;
  if (energy == 0.0) return 0.0;

  double sum = 0.0;
  for (std::size_t i = 0; i < merged; ++i) {
    for (std::size_t j = i + 1; j < merged; ++j) {
      const double fi = partials[i].frequency, fj = partials[j].frequency;
      const double x = dissonanceCurveReach(fi, fj);
      if (x > kCurveLimit) break;  // partials are sorted: every later one is farther away
      const double curve = 4.0 * x * std::exp(1.0 - 4.0 * x);
      sum += partials[i].amplitude * partials[j].amplitude * curve * curve;
    }
  }
  return sum / energy;
}

double computeRoughness(const Voicing& voicing) {
  const PartialTable& table = partialTable();
  if (!table.usable) return roughnessByDefinition(voicing);

  // The voicing's partials as a set of table entries (marked in a bit set, so that reading it
  // back gives them in frequency order) with their summed amplitudes.
  constexpr std::size_t kWords = 32;  // room for 2048 entries
  std::array<std::uint64_t, kWords> present{};
  std::array<double, kWords * 64> amplitude;
  for (std::uint8_t note : voicing) {
    for (int k = 1; k <= kPartials; ++k) {
      const std::uint16_t f = table.frequencyOf[static_cast<std::size_t>(note * kPartials + k - 1)];
      std::uint64_t& word = present[f >> 6];
      const std::uint64_t bit = std::uint64_t{1} << (f & 63);
      if (word & bit) {
        amplitude[f] += 1.0 / k;
      } else {
        word |= bit;
        amplitude[f] = 1.0 / k;
      }
    }
  }
  std::array<std::uint16_t, Voicing::kCapacity * kPartials> entries;
  std::size_t merged = 0;
  for (std::size_t w = 0; w < kWords; ++w) {
    for (std::uint64_t bits = present[w]; bits != 0; bits &= bits - 1)
      entries[merged++] = static_cast<std::uint16_t>(w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits)));
  }

  double energy = 0.0;
  for (std::size_t i = 0; i < merged; ++i) energy += amplitude[entries[i]] * amplitude[entries[i]];
  if (energy == 0.0) return 0.0;

  double sum = 0.0;
  for (std::size_t i = 0; i < merged; ++i) {
    const std::uint16_t fi = entries[i];
    const double* band = table.curve.data() + table.bandStart[fi];
    const std::size_t reach = table.bandLength[fi];
    for (std::size_t j = i + 1; j < merged; ++j) {
      const std::size_t distance = entries[j] - fi;
      if (distance > reach) break;
      const double curve = band[distance - 1];
      if (curve < 0.0) break;
      sum += amplitude[fi] * amplitude[entries[j]] * curve * curve;
    }
  }
  return sum / energy;
}

double roughness(const Voicing& voicing) {
  auto& c = cache();
  const VoicingKey key = keyOf(voicing);
  if (auto it = c.index.find(key); it != c.index.end()) {
    c.recency.splice(c.recency.begin(), c.recency, it->second);
    return it->second->second;
  }
  const double value = computeRoughness(voicing);
  c.recency.emplace_front(key, value);
  c.index.emplace(key, c.recency.begin());
  while (c.index.size() > kRoughnessCacheCapacity) {
    c.index.erase(c.recency.back().first);
    c.recency.pop_back();
  }
  return value;
}

void clearRoughnessCache() {
  cache().index.clear();
  cache().recency.clear();
}

std::size_t roughnessCacheSize() { return cache().index.size(); }

}  // namespace tw
