#pragma once
// The UTF-8 signs roman numerals and quality texts are written with.
#include <string_view>

namespace tw::signs {

inline constexpr std::string_view kFlat = "\u266D";            // ♭
inline constexpr std::string_view kSharp = "\u266F";           // ♯
inline constexpr std::string_view kDiminished = "\u00B0";      // °
inline constexpr std::string_view kHalfDiminished = "\u00F8";  // ø
inline constexpr std::string_view kDelta = "\u0394";           // Δ

}  // namespace tw::signs
