#pragma once
// Sensory roughness of a voicing (Hutchinson-Knopoff over eleven harmonic partials per
// note), with a process-wide least-recently-used cache of 4096 voicings.
#include <cstddef>
#include <limits>

#include "voicing/pitch_class_voicer.hpp"

namespace tw {

// Cached; main thread only (the cache has no lock).
double roughness(const Voicing& voicing);

// Bounds of roughness(voicing), a hair apart, worked out from a table of pairs of notes
// without the voicing's partials: low <= roughness(voicing) <= high.
struct RoughnessRange {
  double low = 0.0;
  double high = std::numeric_limits<double>::infinity();
};
RoughnessRange roughnessRange(const Voicing& voicing);

// The same value, always computed afresh.
double computeRoughness(const Voicing& voicing);

// The same value again, by the definition's own steps (every partial sorted one by one); much
// slower, kept so that the fast computation can be checked against it bit for bit.
double roughnessByDefinition(const Voicing& voicing);

inline constexpr std::size_t kRoughnessCacheCapacity = 4096;

void clearRoughnessCache();
std::size_t roughnessCacheSize();

}  // namespace tw
