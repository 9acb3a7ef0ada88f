// The chord model's requests: reading one chord symbol and listing the quality catalogue.
#include <string>
#include <string_view>

#include "chord/chord_parser.hpp"
#include "chord/pitch_spelling.hpp"
#include "chord/quality_catalogue.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {

namespace {

HandlerReply parseError(const char* message) {
  return {"parse_error", Json{{"message", message}}};
}

// The text's first character and the run of '#' or 'b' right after it. Read from the text
// as sent, not trimmed: a root behind leading white space carries no written accidental, and
// its name then follows the chord's fifth as an unwritten one does.
std::string_view leadingAccidentalRun(std::string_view text) {
  std::size_t length = text.empty() ? 0 : 1;
  if (text.size() > 1 && (text[1] == 'b' || text[1] == '#'))
    while (length < text.size() && text[length] == text[1]) ++length;
  return text.substr(0, length);
}

// A written flat or sharp on the root decides the table; otherwise a diminished fifth
// without a perfect fifth reads better with flats (Cdim/Eb, not Cdim/D#).
bool replyPrefersFlats(const ParsedChord& chord, std::string_view sentText) {
  const std::string_view token = leadingAccidentalRun(sentText);
  if (token.find('b') != std::string_view::npos) return true;
  if (token.find('#') != std::string_view::npos) return false;
  return chord.intervals.contains(6) && !chord.intervals.contains(7);
}

Json buildQualityList() {
  Json qualities = Json::array();
  for (const ChordQuality& quality : supportedQualities())
    qualities.push_back({{"symbol", quality.symbol}, {"intervals", quality.intervals.toVector()}});
  return qualities;
}

}  // namespace

HandlerReply handleParseChord(const Json& payload) {
  if (!payload.is_object()) return parseError("Missing chord");
  const auto member = payload.find("chord");
  if (member == payload.end()) return parseError("Missing chord");
  // A chord of another JSON type throws the library's type error; the dispatcher answers it.
  const std::string text = member->get<std::string>();

  const std::optional<ParsedChord> chord = parseChordSymbol(text);
  if (!chord) return parseError("Invalid chord");

  const bool flats = replyPrefersFlats(*chord, text);
  Json reply = {{"root", noteName(chord->root, flats)},
                {"quality", chord->quality},
                {"symbol", chord->symbol},
                {"category", std::string(qualityCategory(chord->quality))}};
  if (chord->bass) reply["bass"] = noteName(*chord->bass, flats);
  return {"parse_result", std::move(reply)};
}

HandlerReply handleGetSupportedQualities(const Json& payload) {
  static const Json qualities = buildQualityList();
  Json reply = {{"qualities", qualities}};
  copyRequestId(payload, reply);
  return {"supported_qualities", std::move(reply)};
}

}  // namespace tw
