#pragma once
// The voicing-style catalogue and voiceChord, the one operation that turns a chord into
// MIDI notes in a style.
#include <optional>
#include <string_view>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/interval_list.hpp"

namespace tw {

// Index 0..5: closed, shell, anthem, split, guide-color, velmaro.
using VoicingStyle = int;

// Exact, case-sensitive; "pop" is anthem, "drop24" and "drop2-4" are split.
std::optional<VoicingStyle> styleFromId(std::string_view id);
// "closed" for an index outside 0..5.
std::string_view styleId(VoicingStyle style);

struct VoicingOptions {
  int octaveShift = 0;
  bool dropBass = false;
  int inversion = 0;
};

// Sorted semitone offsets from the root for a style; throws std::runtime_error
// "No descriptor-based voicing plan available for style" when no plan resolves.
std::vector<int> styleOffsets(VoicingStyle style, const IntervalList& intervals);

// Ascending MIDI notes, each 0..127.
std::vector<int> voiceChord(const ParsedChord& chord, VoicingStyle style, int octave,
                            VoicingOptions options);

int maxManualInversion(const ParsedChord& chord, VoicingStyle style, int octave,
                       int octaveShift);

std::vector<VoicingStyle> relevantStyles(const IntervalList& intervals);

}  // namespace tw
