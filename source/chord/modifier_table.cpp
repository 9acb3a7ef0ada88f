#include "chord/modifier_table.hpp"

namespace tw {

const std::array<ModifierRow, kModifierCount>& modifierTable() {
  using S = DegreeSlot;
  static constexpr std::array<ModifierRow, kModifierCount> rows{{
      {"third-major", "3", "third", S::third, 0},
      {"third-minor", "♭3", "third", S::third, 1},
      {"third-sus2", "sus2", "third", S::third, 2},
      {"third-sus4", "sus4", "third", S::third, 3},
      {"fifth-perfect", "5", "fifth", S::fifth, 0},
      {"fifth-flat5", "♭5", "fifth", S::fifth, 1},
      {"fifth-sharp5", "♯5", "fifth", S::fifth, 2},
      {"sixth-6", "6", "sixth", S::thirteenth, 1},
      {"seventh-flat7", "7", "seventh", S::seventh, 1},
      {"seventh-major7", "M7", "seventh", S::seventh, 2},
      {"seventh-dim7", "dim7", "seventh", S::seventh, 3},
      {"ninth-add9", "add9", "ninth", S::ninth, 1},
      {"ninth-flat9", "♭9", "ninth", S::ninth, 2},
      {"ninth-flat9sharp9", "♭9♯9", "ninth", S::ninth, 3},
      {"ninth-9", "9", "ninth", S::ninth, 4},
      {"ninth-sharp9", "♯9", "ninth", S::ninth, 5},
      {"eleventh-add11", "add11", "eleventh", S::eleventh, 1},
      {"eleventh-flat11", "♭11", "eleventh", S::eleventh, 2},
      {"eleventh-11", "11", "eleventh", S::eleventh, 3},
      {"eleventh-sharp11", "♯11", "eleventh", S::eleventh, 4},
      {"thirteenth-add13", "add13", "thirteenth", S::thirteenth, 1},
      {"thirteenth-flat13", "♭13", "thirteenth", S::thirteenth, 2},
      {"thirteenth-13", "13", "thirteenth", S::thirteenth, 3},
      {"slash", "/", "slash", S::none, 0},
  }};
  return rows;
}

}  // namespace tw
