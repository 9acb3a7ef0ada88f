#pragma once
// The pitch-class-set voicer: every legal voicing of a set of pitch classes inside a
// register window, under span and note-count limits, with a process-wide LRU cache.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "chord/pitch_class.hpp"

namespace tw {

// An ascending list of distinct MIDI notes 0..127, at most 12, held inline.
class Voicing {
 public:
  static constexpr std::size_t kCapacity = 12;

  Voicing() = default;
  Voicing(std::initializer_list<int> notes) {
    for (int n : notes) push_back(n);
  }
  explicit Voicing(const std::vector<int>& notes) {
    for (int n : notes) push_back(n);
  }

  void push_back(int note) {
    if (size_ < kCapacity) notes_[size_++] = static_cast<std::uint8_t>(note);
  }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  int operator[](std::size_t i) const { return notes_[i]; }
  int front() const { return notes_[0]; }
  int back() const { return notes_[size_ - 1]; }
  const std::uint8_t* begin() const { return notes_.data(); }
  const std::uint8_t* end() const { return notes_.data() + size_; }
  std::vector<int> toVector() const { return std::vector<int>(begin(), end()); }

  friend bool operator==(const Voicing& a, const Voicing& b) {
    if (a.size_ != b.size_) return false;
    for (std::size_t i = 0; i < a.size_; ++i)
      if (a.notes_[i] != b.notes_[i]) return false;
    return true;
  }

 private:
  std::array<std::uint8_t, kCapacity> notes_{};
  std::uint8_t size_ = 0;
};

struct VoicerRequest {
  std::vector<PitchClass> pitchClasses;  // any order, duplicates allowed, not empty
  std::uint16_t bassMask = 0x0FFF;       // lowest-note pitch classes allowed (no fixed bass)
  int octaveLow = 0;                     // octave bases 60 + 12*o for o in [low, high]
  int octaveHigh = 0;
  bool allowBassChanges = false;         // carried for the caller; part of the key only
  bool useNoteCountRange = false;
  int minSpan = 0;
  int maxSpan = 127;
  int low = 0;                           // MIDI window, inclusive
  int high = 127;
  int minNotes = 1;
  int maxNotes = 12;
  std::optional<int> topNote;
  std::vector<int> requiredNotes;
  std::optional<PitchClass> fixedBass;   // not part of the cache key
};

using VoicingCandidates = std::shared_ptr<const std::vector<Voicing>>;

struct VoicerResult {
  VoicingCandidates candidates;
  bool cacheHit = false;
};

// Throws std::runtime_error with the voicer's messages.
VoicerResult voice(const VoicerRequest& request);

// Empties the process-wide cache (benchmarks measure cold requests with it).
void clearCandidateCache();

}  // namespace tw
