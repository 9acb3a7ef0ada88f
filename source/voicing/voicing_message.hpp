#pragma once
// The single-chord voicing behind the host's "voicing" message: a style id and a chord
// symbol in, MIDI notes out.
#include <optional>
#include <string_view>
#include <vector>

namespace tw {

// Voices the chord at octave 4 without shift, drop or inversion; nothing when the style id is
// not in the catalogue, the chord does not parse, or the style has no plan for the chord.
std::optional<std::vector<int>> voicingMessageNotes(std::string_view styleText,
                                                    std::string_view chordText);

}  // namespace tw
