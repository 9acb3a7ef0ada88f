#include "voicing/roughness.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <list>
#include <unordered_map>

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

double computeRoughness(const Voicing& voicing) {
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
      const double x = (fj - fi) / (1.72 * std::pow((fi + fj) / 2.0, 0.65));
      if (x > kCurveLimit) break;  // partials are sorted: every later one is farther away
      const double curve = 4.0 * x * std::exp(1.0 - 4.0 * x);
      sum += partials[i].amplitude * partials[j].amplitude * curve * curve;
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
