#pragma once
// Display fields of a voiced chord: bass name, note labels, shown symbol and numeral.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"
#include "chord/pitch_class.hpp"
#include "chord/pitch_spelling.hpp"

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

// How the chords of a progression are shown: in a key or in none, the flat preference (absent
// when neither a key nor the request decides it, so each chord's own spelling does) and
// whether awkward accidentals are simplified.
struct DisplaySpelling {
  std::optional<KeyContext> key;
  OptionalFlag preferFlats;
  bool simplify = true;
};

// `keyName` is the key's root as written, which may decide between flats and sharps.
DisplaySpelling displaySpelling(const std::optional<KeyContext>& key, std::string_view keyName,
                                const SpellingRequest& request);

// The chord's name spelled for a key: Bbmaj7/A in F major.
std::string chordNameInKey(PitchClass root, std::string_view quality,
                           std::optional<PitchClass> bass, const KeyContext& key,
                           bool preferFlats, bool simplify);

}  // namespace tw
