#include "voicing/voicing_message.hpp"

#include <stdexcept>

#include "chord/chord_parser.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

namespace {

constexpr int kDefaultOctave = 4;

}  // namespace

std::optional<std::vector<int>> voicingMessageNotes(std::string_view styleText,
                                                    std::string_view chordText) {
  const std::optional<VoicingStyle> style = styleFromId(styleText);
  if (!style) return std::nullopt;
  const std::optional<ParsedChord> chord = parseChordSymbol(chordText);
  if (!chord) return std::nullopt;
  try {
    return voiceChord(*chord, *style, kDefaultOctave, {});
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

}  // namespace tw
