#pragma once
// The fixed rows of chord modifiers the interface offers, and the qualities whose degree
// content is read from their symbol text rather than from their intervals.
#include <array>
#include <cstdint>
#include <string_view>

namespace tw {

// The degree slot a modifier writes; the slash bass has none.
enum class DegreeSlot : std::uint8_t { third, fifth, seventh, ninth, eleventh, thirteenth, none };

struct ModifierRow {
  std::string_view id;        // "ninth-flat9"
  std::string_view label;     // "♭9" (display text, may hold Unicode signs)
  std::string_view category;  // degree group of the id; "slash" for the slash bass
  DegreeSlot slot;
  std::uint8_t value;         // what the id writes into its slot
};

inline constexpr std::size_t kModifierCount = 24;

// In interface order.
const std::array<ModifierRow, kModifierCount>& modifierTable();

// Qualities whose intervals do not describe their degrees one-to-one (no fifth, both 11 and
// #11, an added b6 ...); their selections come from the symbol text.
inline constexpr std::array<std::string_view, 17> kQualitiesWithoutDescriptor{
    "11#11",   "5",          "7#11no5",  "7alt",      "7no5",     "add#11",
    "add9#11", "add9#5#11",  "dim#5",    "dim11",     "dimb9",    "m6b9b11b13",
    "madd#11", "madd11b13",  "madd9#11", "maj11#11",  "mb6"};

}  // namespace tw
