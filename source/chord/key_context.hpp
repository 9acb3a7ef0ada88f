#pragma once
// A key: tonic, major or minor, and for minor the natural or melodic scale.
#include <array>

#include "chord/pitch_class.hpp"

namespace tw {

struct KeyContext {
  PitchClass root = 0;
  bool minor = false;
  bool melodic = false;  // meaningful only when minor

  friend bool operator==(const KeyContext&, const KeyContext&) = default;
};

using Scale = std::array<int, 7>;

inline constexpr Scale kMajorScale{0, 2, 4, 5, 7, 9, 11};
inline constexpr Scale kMelodicMinorScale{0, 2, 3, 5, 7, 9, 11};
inline constexpr Scale kNaturalMinorScale{0, 2, 3, 5, 7, 8, 10};

// Major for a major key whatever its scale type says.
constexpr const Scale& scaleOf(const KeyContext& key) {
  if (!key.minor) return kMajorScale;
  return key.melodic ? kMelodicMinorScale : kNaturalMinorScale;
}

}  // namespace tw
