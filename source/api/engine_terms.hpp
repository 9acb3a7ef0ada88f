#pragma once
// The library's values read into the engine's terms; input the engine cannot use fails with
// the text the caller sees.
#include <string>
#include <string_view>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"
#include "chord/pitch_spelling.hpp"
#include "tonalweaver/key.hpp"
#include "tonalweaver/voicing.hpp"
#include "voicing/voicing_styles.hpp"

namespace tonalweaver::internal {

// "Invalid chord: TEXT" when the symbol does not parse.
tw::ParsedChord readChord(std::string_view symbol);

// "Invalid style: TEXT" for an id outside the catalogue.
tw::VoicingStyle readStyle(std::string_view id);

// "Invalid key root: TEXT" when the tonic is not a note name.
tw::KeyContext readKey(const Key& key);

tw::SpellingRequest spellingRequestOf(const Spelling& spelling);

// The octave and the shift clamped into the ranges the voicing styles are made for.
int clampedOctave(int octave);
tw::VoicingOptions voicingOptionsOf(const VoicingOptions& options);

}  // namespace tonalweaver::internal
