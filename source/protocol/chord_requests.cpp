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

  const bool flats = sentSymbolPrefersFlats(*chord, text);
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
