#pragma once
// Display fields of a voiced chord: bass name, note labels, shown symbol and numeral.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"
#include "chord/pitch_class.hpp"

namespace tw {

// How a voiced chord is shown: the name of its sounding bass, a label per note, the symbol
// (over the sounding bass when that is not the root) and, in a key, its numeral.
struct ChordDisplay {
  std::string bass;
  std::vector<std::string> noteLabels;
  std::string symbol;
  std::optional<std::string> roman;  // only with a key
};

// Nothing for an empty voicing.
std::optional<ChordDisplay> chordDisplay(const ParsedChord& chord, const std::optional<KeyContext>& key,
                                         OptionalFlag preferFlats, bool simplify,
                                         const std::vector<int>& notes);

// The chord's name spelled for a key: Bbmaj7/A in F major.
std::string chordNameInKey(PitchClass root, std::string_view quality,
                           std::optional<PitchClass> bass, const KeyContext& key,
                           bool preferFlats, bool simplify);

}  // namespace tw
