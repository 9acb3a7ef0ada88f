#pragma once
// Display fields of a voiced chord: bass name, note labels, shown symbol and numeral.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"
#include "chord/pitch_class.hpp"

namespace tw {

// {display_bass, display_note_labels, display_symbol, display_roman (with a key)}; an empty
// object for an empty voicing.
nlohmann::json chordDisplayFields(const ParsedChord& chord, const std::optional<KeyContext>& key,
                                  OptionalFlag preferFlats, bool simplify,
                                  const std::vector<int>& notes);

// The chord's name spelled for a key: Bbmaj7/A in F major.
std::string chordNameInKey(PitchClass root, std::string_view quality,
                           std::optional<PitchClass> bass, const KeyContext& key,
                           bool preferFlats, bool simplify);

}  // namespace tw
