#include "voicing/roughness.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
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
  // The entries the curve reaches from f are f + 1 .. f + reach[f]: the curve's reach grows with
  // the distance, so the band holds its values first and then only -1.
  std::vector<std::uint16_t> reach;
  bool usable = true;  // false if two distinct frequencies were close enough to merge, or a
                       // band were not in that order
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
      std::size_t reached = 0;
      while (reached < t.bandLength[f] && t.curve[t.bandStart[f] + reached] >= 0.0) ++reached;
      for (std::size_t d = reached; d < t.bandLength[f]; ++d)
        if (t.curve[t.bandStart[f] + d] >= 0.0) t.usable = false;
      t.reach.push_back(static_cast<std::uint16_t>(reached));
    }
    return t;
  }();
  return table;
}

// The roughness sum and energy taken apart by pairs of notes. Merging coincident partials
// changes neither in exact arithmetic: the sum runs over every pair of partials at different
// frequencies within the curve's reach (a merged partial's amplitude is the sum of its
// partials' amplitudes), and the energy is every partial's squared amplitude plus twice the
// products of the coincident ones. So per pair of notes x <= y: `pairs` holds the sum's
// terms between a partial of x and one of y (within x itself for x == y), `coincident` the
// products of their partials that coincide.
struct NotePairTable {
  std::vector<double> pairs;       // [x * 128 + y], x <= y
  std::vector<double> coincident;  // [x * 128 + y], x < y
  double noteEnergy = 0.0;         // the squared amplitudes of one note's partials
};

const NotePairTable& notePairTable() {
  static const NotePairTable table = [] {
    NotePairTable t;
    const PartialTable& partials = partialTable();
    t.pairs.assign(128 * 128, 0.0);
    t.coincident.assign(128 * 128, 0.0);
    for (int k = 1; k <= kPartials; ++k) t.noteEnergy += (1.0 / k) * (1.0 / k);
    if (!partials.usable) return t;
    auto entry = [&](int note, int k) -> std::size_t {
      return partials.frequencyOf[static_cast<std::size_t>(note * kPartials + k - 1)];
    };
    // The term of two partials at entries e < f: the curve's value there, when it reaches.
    auto term = [&](std::size_t e, double ae, std::size_t f, double af) {
      if (f - e > partials.reach[e]) return 0.0;
      const double curve = partials.curve[partials.bandStart[e] + (f - e) - 1];
      return ae * af * curve * curve;
    };
    for (int x = 0; x < 128; ++x) {
      for (int y = x; y < 128; ++y) {
        double sum = 0.0, products = 0.0;
        for (int k1 = 1; k1 <= kPartials; ++k1) {
          for (int k2 = x == y ? k1 + 1 : 1; k2 <= kPartials; ++k2) {
            const std::size_t e1 = entry(x, k1), e2 = entry(y, k2);
            const double a1 = 1.0 / k1, a2 = 1.0 / k2;
            if (e1 == e2) products += a1 * a2;
            else if (e1 < e2) sum += term(e1, a1, e2, a2);
            else sum += term(e2, a2, e1, a1);
          }
        }
        t.pairs[static_cast<std::size_t>(x * 128 + y)] = sum;
        t.coincident[static_cast<std::size_t>(x * 128 + y)] = products;
      }
    }
    return t;
  }();
  return table;
}

// A voicing packed into a key: its notes in two words, then its size.
struct VoicingKey {
  std::uint64_t low = 0;   // notes 0..7, a byte each
  std::uint64_t high = 0;  // notes 8..11, then the size
  friend bool operator==(const VoicingKey&, const VoicingKey&) = default;
};

VoicingKey keyOf(const Voicing& voicing) {
  VoicingKey key;
  std::size_t i = 0;
  for (std::uint8_t note : voicing) {
    std::uint64_t& word = i < 8 ? key.low : key.high;
    word |= std::uint64_t{note} << (8 * (i % 8));
    ++i;
  }
  key.high |= std::uint64_t{voicing.size()} << 32;
  return key;
}

// The least-recently-used cache in flat storage: the entries in a fixed array chained from the
// most to the least recent, found through an open-addressed table of twice the capacity
// (linear probing; an entry leaves by moving the entries behind it back).
class RoughnessCache {
 public:
  RoughnessCache() : entries_(kRoughnessCacheCapacity), slots_(kSlots, kEmpty) {}

  // The cached value, made the most recent; false when absent.
  bool find(const VoicingKey& key, double& value) {
    for (std::size_t slot = home(key);; slot = (slot + 1) & kMask) {
      const std::uint16_t e = slots_[slot];
      if (e == kEmpty) return false;
      if (entries_[e].key == key) {
        touch(e);
        value = entries_[e].value;
        return true;
      }
    }
  }

  // Adds an absent key as the most recent, dropping the least recent one when full.
  void insert(const VoicingKey& key, double value) {
    std::uint16_t e;
    if (count_ < entries_.size()) {
      e = static_cast<std::uint16_t>(count_++);
    } else {
      e = oldest_;
      unlink(e);
      erase(e);
    }
    entries_[e].key = key;
    entries_[e].value = value;
    std::size_t slot = home(key);
    while (slots_[slot] != kEmpty) slot = (slot + 1) & kMask;
    slots_[slot] = e;
    pushFront(e);
  }

  void clear() {
    std::fill(slots_.begin(), slots_.end(), kEmpty);
    count_ = 0;
    newest_ = oldest_ = kEmpty;
  }

  std::size_t size() const { return count_; }

 private:
  static constexpr std::size_t kSlots = 2 * 4096;
  static constexpr std::size_t kMask = kSlots - 1;
  static constexpr std::uint16_t kEmpty = 0xffff;
  static_assert(kSlots >= 2 * kRoughnessCacheCapacity && (kSlots & kMask) == 0);

  struct Entry {
    VoicingKey key;
    double value = 0.0;
    std::uint16_t newer = kEmpty, older = kEmpty;
  };

  static std::size_t home(const VoicingKey& key) {
    const std::uint64_t h = (key.low * 0x9e3779b97f4a7c15ull) ^ (key.high * 0xc2b2ae3d27d4eb4full);
    return static_cast<std::size_t>(h >> 51) & kMask;  // the top bits mix best
  }

  void unlink(std::uint16_t e) {
    Entry& entry = entries_[e];
    (entry.newer == kEmpty ? newest_ : entries_[entry.newer].older) = entry.older;
    (entry.older == kEmpty ? oldest_ : entries_[entry.older].newer) = entry.newer;
  }

  void pushFront(std::uint16_t e) {
    entries_[e].newer = kEmpty;
    entries_[e].older = newest_;
    (newest_ == kEmpty ? oldest_ : entries_[newest_].newer) = e;
    newest_ = e;
  }

  void touch(std::uint16_t e) {
    if (newest_ == e) return;
    unlink(e);
    pushFront(e);
  }

  // Takes entry `e` out of the table; the entries probed after it move back to stay reachable.
  void erase(std::uint16_t e) {
    std::size_t hole = home(entries_[e].key);
    while (slots_[hole] != e) hole = (hole + 1) & kMask;
    for (std::size_t next = (hole + 1) & kMask; slots_[next] != kEmpty; next = (next + 1) & kMask) {
      const std::size_t want = home(entries_[slots_[next]].key);
      // The entry at `next` may fill the hole unless its home lies after the hole, up to `next`.
      const bool homeBetween = hole < next ? (want > hole && want <= next) : (want > hole || want <= next);
      if (!homeBetween) {
        slots_[hole] = slots_[next];
        hole = next;
      }
    }
    slots_[hole] = kEmpty;
  }

  std::vector<Entry> entries_;
  std::vector<std::uint16_t> slots_;
  std::size_t count_ = 0;
  std::uint16_t newest_ = kEmpty, oldest_ = kEmpty;
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
  if (!table.usable || voicing.empty()) return roughnessByDefinition(voicing);
  static constexpr std::array<double, kPartials + 1> kAmplitude{0.0,       1.0,       1.0 / 2, 1.0 / 3,
                                                                1.0 / 4,   1.0 / 5,   1.0 / 6, 1.0 / 7,
                                                                1.0 / 8,   1.0 / 9,   1.0 / 10, 1.0 / 11};

  // The voicing's partials as a set of table entries (marked in a bit set, so that reading it
  // back gives them in frequency order) with their summed amplitudes. They lie between the
  // lowest note's fundamental and the highest note's last partial.
  constexpr std::size_t kWords = 32;  // room for 2048 entries
  std::array<std::uint64_t, kWords> present{};
  std::array<double, kWords * 64> amplitude;
  for (std::uint8_t note : voicing) {
    for (int k = 1; k <= kPartials; ++k) {
      const std::uint16_t f = table.frequencyOf[static_cast<std::size_t>(note * kPartials + k - 1)];
      std::uint64_t& word = present[f >> 6];
      const std::uint64_t bit = std::uint64_t{1} << (f & 63);
      if (word & bit) {
        amplitude[f] += kAmplitude[static_cast<std::size_t>(k)];
      } else {
        word |= bit;
        amplitude[f] = kAmplitude[static_cast<std::size_t>(k)];
      }
    }
  }
  const std::size_t firstWord = table.frequencyOf[static_cast<std::size_t>(voicing.front() * kPartials)] >> 6;
  const std::size_t lastWord = table.frequencyOf[static_cast<std::size_t>(voicing.back() * kPartials + kPartials - 1)] >> 6;
  // In frequency order: the entries (ended by one beyond every reach) and their amplitudes.
  std::array<std::uint16_t, Voicing::kCapacity * kPartials + 1> entries;
  std::array<double, Voicing::kCapacity * kPartials> amplitudes;
  std::size_t merged = 0;
  for (std::size_t w = firstWord; w <= lastWord; ++w) {
    for (std::uint64_t bits = present[w]; bits != 0; bits &= bits - 1) {
      const std::size_t f = w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits));
      entries[merged] = static_cast<std::uint16_t>(f);
      amplitudes[merged++] = amplitude[f];
    }
  }
  entries[merged] = 0xffff;

  double energy = 0.0;
  for (std::size_t i = 0; i < merged; ++i) energy += amplitudes[i] * amplitudes[i];
  if (energy == 0.0) return 0.0;

  double sum = 0.0;
  for (std::size_t i = 0; i < merged; ++i) {
    const std::size_t fi = entries[i];
    const double ai = amplitudes[i];
    const double* band = table.curve.data() + table.bandStart[fi];  // band[d - 1]: entry fi + d
    const std::size_t last = fi + table.reach[fi];
    for (std::size_t j = i + 1; entries[j] <= last; ++j) {
      const double curve = band[entries[j] - fi - 1];
      sum += ai * amplitudes[j] * curve * curve;
    }
  }
  return sum / energy;
}

RoughnessRange roughnessRange(const Voicing& voicing) {
  if (!partialTable().usable) return {};
  const NotePairTable& t = notePairTable();
  const std::size_t n = voicing.size();
  double sum = 0.0, products = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t row = static_cast<std::size_t>(voicing[i]) * 128;
    sum += t.pairs[row + static_cast<std::size_t>(voicing[i])];
    for (std::size_t j = i + 1; j < n; ++j) {
      sum += t.pairs[row + static_cast<std::size_t>(voicing[j])];
      products += t.coincident[row + static_cast<std::size_t>(voicing[j])];
    }
  }
  const double energy = static_cast<double>(n) * t.noteEnergy + 2.0 * products;
  if (energy == 0.0) return {0.0, 0.0};
  // Both this and the roughness itself round a few hundred (at most some nine thousand)
  // positive terms: each within about 1e-12 of the exact quotient, so 1e-9 leaves room.
  const double value = sum / energy;
  return {value * (1.0 - 1e-9), value * (1.0 + 1e-9)};
}

double roughness(const Voicing& voicing) {
  RoughnessCache& c = cache();
  const VoicingKey key = keyOf(voicing);
  double value;
  if (c.find(key, value)) return value;
  value = computeRoughness(voicing);
  c.insert(key, value);
  return value;
}

void clearRoughnessCache() { cache().clear(); }

std::size_t roughnessCacheSize() { return cache().size(); }

}  // namespace tw
