#pragma once
// The constant catalogue of chord rhythm patterns: how often, and with which part of the
// voicing, a chord is struck within one bar of sixteen steps.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tw {

inline constexpr int kRhythmStepsPerBar = 16;

struct RhythmEvent {
  std::int32_t offset = 0;    // start within the bar, in sixteenth notes (0..15)
  std::int32_t duration = 0;  // length in sixteenth notes
  std::string_view voices;    // "all", "bass", "middle", "top" or "upper"
};

struct RhythmPattern {
  std::string_view id;
  std::string_view name;
  std::string_view description;
  std::string_view category;  // "Basic", "Groove", "Electronic", "Hip Hop & Latin", "Split Voice"
  std::vector<RhythmEvent> events;  // in playing order
};

// The 40 patterns in catalogue order; the position in the list is the pattern's order.
const std::vector<RhythmPattern>& rhythmPatterns();

// The pattern with that exact id, or nothing.
const RhythmPattern* findRhythmPattern(std::string_view id);

}  // namespace tw
