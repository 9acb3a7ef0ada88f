// The seven chords of a key, as a table of roots, qualities and degrees.
#include "analysis/diatonic_chords.hpp"

#include "analysis/roman_numerals.hpp"
#include "chord/chord_parser.hpp"
#include "chord/pitch_spelling.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {

std::array<DiatonicSetEntry, 7> diatonicSet(const KeyContext& key, int size) {
  const auto& row = diatonicQualityRow(key, size);
  const Scale& scale = scaleOf(key);
  std::array<DiatonicSetEntry, 7> set;
  for (int d = 1; d <= 7; ++d)
    set[d - 1] = {reducePitchClass(key.root + scale[d - 1]), row[d - 1], d};
  return set;
}

}  // namespace tw
