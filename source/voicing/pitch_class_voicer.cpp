// The exhaustive placement search behind the pitch-class-set voicer, and its LRU cache.
#include "voicing/pitch_class_voicer.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <stdexcept>
#include <unordered_map>

namespace tw {

namespace {

constexpr int kMaxVoices = static_cast<int>(Voicing::kCapacity);
constexpr int kLowestMidi = 0;
constexpr int kHighestMidi = 127;
constexpr std::size_t kCacheCapacity = 256;
// Scratch capacity kept between requests (about 3 MB of voicings).
constexpr std::size_t kScratchKeepLimit = 1 << 18;

// The 128-entry table of taken notes, held as two words so that the sorted note list of a
// finished placement falls out of a bit scan instead of a sort.
struct NoteBits {
  std::array<std::uint64_t, 2> words{};

  bool has(int note) const { return (words[note >> 6] >> (note & 63)) & 1U; }
  void toggle(int note) { words[note >> 6] ^= std::uint64_t{1} << (note & 63); }
  bool containsAll(const NoteBits& other) const {
    return (words[0] & other.words[0]) == other.words[0] &&
           (words[1] & other.words[1]) == other.words[1];
  }
  Voicing toVoicing() const {
    Voicing v;
    for (int w = 0; w < 2; ++w) {
      std::uint64_t bits = words[w];
      while (bits != 0) {
        v.push_back(w * 64 + __builtin_ctzll(bits));
        bits &= bits - 1;
      }
    }
    return v;
  }
};

// Conditions every kept voicing must meet once all voices are placed.
struct OutputFilter {
  int minSpan = 0;
  std::optional<int> topNote;
  NoteBits required;
  bool checkBassMask = false;
  std::uint16_t bassMask = 0;

  bool accepts(const NoteBits& notes, int lowest, int highest) const {
    if (highest - lowest < minSpan) return false;
    if (topNote && highest != *topNote) return false;
    if (!notes.containsAll(required)) return false;
    if (checkBassMask && ((bassMask >> (lowest % 12)) & 1U) == 0) return false;
    return true;
  }
};

// One placement search: every voice tries its octave candidates in ascending order, voice 0
// moving slowest. Two voices of one pitch class would produce the same note list in either
// order; only the order that comes first in the enumeration (lower voice on the lower note)
// is followed, which emits each list once, at its first occurrence, without a hash set.
class PlacementSearch {
 public:
  PlacementSearch(const std::vector<PitchClass>& voices, int windowLow, int windowHigh,
                  int maxSpan, const OutputFilter& filter, std::vector<Voicing>& out)
      : voiceCount_(static_cast<int>(voices.size())), maxSpan_(maxSpan), filter_(filter),
        out_(out) {
    for (int v = 0; v < voiceCount_; ++v) {
      const int pc = voices[static_cast<std::size_t>(v)];
      int first = pc;
      while (first < windowLow) first += 12;
      candidateFirst_[v] = first;
      candidateLast_[v] = windowHigh;
      previousSame_[v] = -1;
      for (int u = v - 1; u >= 0; --u) {
        if (voices[static_cast<std::size_t>(u)] == pc) {
          previousSame_[v] = u;
          break;
        }
      }
    }
  }

  // Places the voices above an already sounding bass (the running range starts there).
  void runAbove(int bass) {
    taken_.toggle(bass);
    place(0, bass, bass);
    taken_.toggle(bass);
  }

  void run() { place(0, kHighestMidi, kLowestMidi); }

 private:
  void place(int v, int lowest, int highest) {
    if (v == voiceCount_) {
      if (filter_.accepts(taken_, lowest, highest)) out_.push_back(taken_.toVoicing());
      return;
    }
    // Notes that keep the running span within the bound form one contiguous range.
    int floorNote = highest - maxSpan_;
    if (previousSame_[v] >= 0) floorNote = std::max(floorNote, chosen_[previousSame_[v]] + 1);
    const int ceilNote = std::min(candidateLast_[v], lowest + maxSpan_);
    int note = candidateFirst_[v];
    if (note < floorNote) note += (floorNote - note + 11) / 12 * 12;
    for (; note <= ceilNote; note += 12) {
      if (taken_.has(note)) continue;
      taken_.toggle(note);
      chosen_[v] = note;
      place(v + 1, std::min(lowest, note), std::max(highest, note));
      taken_.toggle(note);
    }
  }

  int voiceCount_;
  int maxSpan_;
  const OutputFilter& filter_;
  std::vector<Voicing>& out_;
  NoteBits taken_;
  std::array<int, kMaxVoices> candidateFirst_{};
  std::array<int, kMaxVoices> candidateLast_{};
  std::array<int, kMaxVoices> previousSame_{};
  std::array<int, kMaxVoices> chosen_{};
};

// Calls visit(list) for every multiset of `count` pitch classes drawn from `from`, as
// non-decreasing index sequences in lexicographic order, appended to `prefix`.
template <typename Visit>
void forEachDoubling(const std::vector<PitchClass>& from, int count,
                     const std::vector<PitchClass>& prefix, Visit&& visit) {
  const int k = static_cast<int>(from.size());
  std::vector<int> index(static_cast<std::size_t>(count), 0);
  std::vector<PitchClass> voices = prefix;
  voices.resize(prefix.size() + static_cast<std::size_t>(count));
  while (true) {
    for (int i = 0; i < count; ++i)
      voices[prefix.size() + static_cast<std::size_t>(i)] =
          from[static_cast<std::size_t>(index[static_cast<std::size_t>(i)])];
    visit(voices);
    int pos = count - 1;
    while (pos >= 0 && index[static_cast<std::size_t>(pos)] == k - 1) --pos;
    if (pos < 0) return;
    const int next = index[static_cast<std::size_t>(pos)] + 1;
    for (int i = pos; i < count; ++i) index[static_cast<std::size_t>(i)] = next;
  }
}

long long clampTo(long long value, long long lo, long long hi) {
  return std::min(std::max(value, lo), hi);
}

// Appends the request's voicings to `out` (empty on entry).
void enumerate(const VoicerRequest& request, std::vector<Voicing>& out) {
  if (request.pitchClasses.empty())
    throw std::runtime_error("empty pitch-class set not permitted");

  std::vector<PitchClass> pcs;
  pcs.reserve(request.pitchClasses.size());
  for (PitchClass pc : request.pitchClasses) pcs.push_back(reducePitchClass(pc));
  std::sort(pcs.begin(), pcs.end());
  pcs.erase(std::unique(pcs.begin(), pcs.end()), pcs.end());
  const int k = static_cast<int>(pcs.size());

  if (request.useNoteCountRange && request.maxNotes < k)
    throw std::runtime_error(
        "cannot voice this pitch-class set with requested maxNotes without omitting pitch "
        "classes");

  std::optional<PitchClass> fixedBass;
  if (request.fixedBass) {
    fixedBass = reducePitchClass(*request.fixedBass);
    if (!std::binary_search(pcs.begin(), pcs.end(), *fixedBass))
      throw std::runtime_error("fixed bass pitch class missing from pitch-class set");
  }


  // Notes outside 0..127 are never produced, so the window is cut to the MIDI range, and a
  // top note, when given, is also the highest note any voice may take.
  long long low = clampTo(request.low, kLowestMidi, kHighestMidi + 1);
  long long high = clampTo(request.high, kLowestMidi - 1, kHighestMidi);
  if (request.topNote) high = std::min<long long>(high, *request.topNote);
  // The octave bases 60 + 12*o contribute notes only while base + 11 >= low and base <= high.
  const long long octaveLow =
      std::max<long long>(request.octaveLow, (low - 11 - 60 + 1200) / 12 - 100);
  const long long octaveHigh =
      std::min<long long>(request.octaveHigh, (high - 60 + 1200) / 12 - 100);
  if (octaveLow > octaveHigh || low > high) return;
  const long long spanMax = std::min<long long>(request.maxSpan, kHighestMidi);
  if (spanMax < 0 || request.minSpan > spanMax) return;
  const int baseLow = static_cast<int>(60 + 12 * octaveLow);
  const int baseHigh = static_cast<int>(60 + 12 * octaveHigh);
  // A voice's note is base + pc; keeping the window inside the base range keeps every
  // candidate on a real base.
  const int windowLow = static_cast<int>(std::max<long long>(low, baseLow));
  const int windowHigh = static_cast<int>(std::min<long long>(high, baseHigh + 11));

  OutputFilter filter;
  filter.minSpan = static_cast<int>(std::max<long long>(request.minSpan, 0));
  filter.topNote = request.topNote;
  for (int note : request.requiredNotes) {
    if (note < kLowestMidi || note > kHighestMidi) return;  // no voicing can hold it
    if (!filter.required.has(note)) filter.required.toggle(note);
  }
  filter.checkBassMask = !fixedBass.has_value();
  filter.bassMask = request.bassMask;
  const int maxSpan = static_cast<int>(spanMax);

  // Note counts to produce: one per pitch class, or the requested range capped at the size
  // a voicing can hold.
  long long countLow = k;
  long long countHigh = k;
  if (request.useNoteCountRange) {
    countLow = std::max<long long>(k, request.minNotes);
    countHigh = std::min<long long>(request.maxNotes, kMaxVoices);
  }

  if (fixedBass) {
    std::vector<PitchClass> upper;
    for (PitchClass pc : pcs)
      if (pc != *fixedBass) upper.push_back(pc);
    std::vector<int> basses;
    for (int base = baseLow; base <= baseHigh; base += 12) {
      const int bass = base + *fixedBass;
      if (bass >= windowLow && bass <= windowHigh) basses.push_back(bass);
    }
    auto voiceOverBasses = [&](const std::vector<PitchClass>& voices) {
      for (int bass : basses) {
        if (voices.empty()) {
          NoteBits alone;
          alone.toggle(bass);
          if (request.minSpan <= 0 && filter.accepts(alone, bass, bass))
            out.push_back(alone.toVoicing());
          continue;
        }
        PlacementSearch search(voices, std::max(bass + 1, windowLow), windowHigh, maxSpan,
                               filter, out);
        search.runAbove(bass);
      }
    };
    if (!request.useNoteCountRange) {
      voiceOverBasses(upper);
    } else {
      for (long long n = countLow; n <= countHigh; ++n) {
        const int doublings = static_cast<int>(n - k);
        if (doublings == 0)
          voiceOverBasses(upper);
        else
          forEachDoubling(pcs, doublings, upper, voiceOverBasses);
      }
    }
  } else {
    auto search = [&](const std::vector<PitchClass>& voices) {
      PlacementSearch(voices, windowLow, windowHigh, maxSpan, filter, out).run();
    };
    if (!request.useNoteCountRange) {
      search(pcs);
    } else {
      for (long long n = countLow; n <= countHigh; ++n) {
        const int doublings = static_cast<int>(n - k);
        if (doublings == 0)
          search(pcs);
        else
          forEachDoubling(pcs, doublings, pcs, search);
      }
    }
  }
}

// ---- The process-wide candidate cache -----------------------------------------------------

// Every request field but the fixed bass, the pitch classes in the caller's order.
struct RequestKeyHash {
  static void mix(std::size_t& h, std::size_t v) {
    h ^= v + 0x9e3779b9 + (h << 6) + (h >> 2);
  }
  static std::size_t of(long long v) { return static_cast<std::size_t>(v); }

  std::size_t operator()(const VoicerRequest& r) const {
    std::size_t h = 0;
    for (PitchClass pc : r.pitchClasses) mix(h, of(pc));
    mix(h, of(r.bassMask));
    mix(h, of(r.octaveLow));
    mix(h, of(r.octaveHigh));
    mix(h, of(r.allowBassChanges));
    mix(h, of(r.useNoteCountRange));
    mix(h, of(r.minSpan));
    mix(h, of(r.maxSpan));
    mix(h, of(r.low));
    mix(h, of(r.high));
    mix(h, of(r.minNotes));
    mix(h, of(r.maxNotes));
    mix(h, of(r.topNote.has_value()));
    if (r.topNote) mix(h, of(*r.topNote));
    for (int note : r.requiredNotes) mix(h, of(note));
    return h;
  }
};

struct RequestKeyEqual {
  bool operator()(const VoicerRequest& a, const VoicerRequest& b) const {
    if (a.topNote.has_value() != b.topNote.has_value()) return false;
    if (a.topNote && *a.topNote != *b.topNote) return false;
    return a.pitchClasses == b.pitchClasses && a.bassMask == b.bassMask &&
           a.octaveLow == b.octaveLow && a.octaveHigh == b.octaveHigh &&
           a.allowBassChanges == b.allowBassChanges &&
           a.useNoteCountRange == b.useNoteCountRange && a.minSpan == b.minSpan &&
           a.maxSpan == b.maxSpan && a.low == b.low && a.high == b.high &&
           a.minNotes == b.minNotes && a.maxNotes == b.maxNotes &&
           a.requiredNotes == b.requiredNotes;
  }
};

class CandidateCache {
 public:
  CandidateCache() { index_.reserve(capacity_); }

  std::optional<VoicingCandidates> find(const VoicerRequest& request) {
    auto it = index_.find(std::cref(request));
    if (it == index_.end()) return std::nullopt;
    recency_.splice(recency_.begin(), recency_, it->second);
    return it->second->candidates;
  }

  void insert(const VoicerRequest& request, VoicingCandidates candidates) {
    if (capacity_ == 0) return;
    recency_.push_front(Entry{request, std::move(candidates)});
    index_[std::cref(recency_.front().key)] = recency_.begin();
    ++count_;
    while (count_ > capacity_) {
      index_.erase(std::cref(recency_.back().key));
      recency_.pop_back();
      --count_;
    }
  }

  void clear() {
    index_.clear();
    recency_.clear();
    count_ = 0;
  }

 private:
  struct Entry {
    VoicerRequest key;
    VoicingCandidates candidates;
  };
  using KeyRef = std::reference_wrapper<const VoicerRequest>;
  struct RefHash {
    std::size_t operator()(KeyRef r) const { return RequestKeyHash{}(r.get()); }
  };
  struct RefEqual {
    bool operator()(KeyRef a, KeyRef b) const { return RequestKeyEqual{}(a.get(), b.get()); }
  };

  std::size_t capacity_ = kCacheCapacity;
  std::list<Entry> recency_;  // most recent first
  std::size_t count_ = 0;
  std::unordered_map<KeyRef, std::list<Entry>::iterator, RefHash, RefEqual> index_;
};

CandidateCache& candidateCache() {
  static CandidateCache cache;
  return cache;
}

}  // namespace

VoicerResult voice(const VoicerRequest& request) {
  CandidateCache& cache = candidateCache();
  if (auto hit = cache.find(request)) return VoicerResult{std::move(*hit), true};
  // Large enumerations grow a scratch list that keeps its capacity between requests, so the
  // shared list is allocated once at its final size.
  static std::vector<Voicing> scratch;
  scratch.clear();
  enumerate(request, scratch);
  auto candidates = std::make_shared<const std::vector<Voicing>>(scratch.begin(), scratch.end());
  if (scratch.capacity() > kScratchKeepLimit) std::vector<Voicing>().swap(scratch);
  cache.insert(request, candidates);
  return VoicerResult{std::move(candidates), false};
}

void clearCandidateCache() { candidateCache().clear(); }

}  // namespace tw
