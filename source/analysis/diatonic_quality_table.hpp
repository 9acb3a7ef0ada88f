#pragma once
// The chord quality on each scale degree, by scale and chord size. The major triad is written
// as the empty quality here (a parsed chord would carry "maj").
#include <array>

namespace tw::diatonic_table {

using QualityRow = std::array<const char*, 7>;

inline constexpr QualityRow kMajorTriads{"", "m", "m", "", "", "m", "dim"};
inline constexpr QualityRow kMajorSevenths{"maj7", "m7", "m7", "maj7", "7", "m7", "m7b5"};
inline constexpr QualityRow kMajorNinths{"maj9", "m9", "m9", "maj9", "9", "m9", "m9b5"};

inline constexpr QualityRow kNaturalMinorTriads{"m", "dim", "", "m", "m", "", ""};
inline constexpr QualityRow kNaturalMinorSevenths{"m7", "m7b5", "maj7", "m7", "m7", "maj7", "7"};
inline constexpr QualityRow kNaturalMinorNinths{"m9", "m9b5", "maj9", "m9", "m9", "maj9", "9"};

inline constexpr QualityRow kMelodicMinorTriads{"m", "m", "+", "", "", "dim", "dim"};
inline constexpr QualityRow kMelodicMinorSevenths{"mM7", "m7", "maj7#5", "7", "7", "m7b5", "m7b5"};
inline constexpr QualityRow kMelodicMinorNinths{"mM9", "m9", "maj9#5", "9", "9", "m9b5", "m9b5"};

}  // namespace tw::diatonic_table
