// The requests that list voicing styles: the whole catalogue, and the styles that suit a
// chord.
#include <algorithm>
#include <string>

#include "chord/chord_parser.hpp"
#include "protocol/request_handlers.hpp"
#include "protocol/payload_reading.hpp"
#include "voicing/voicing_plans.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

namespace {

Json buildStyleList() {
  Json styles = Json::array();
  for (int style : listedStyles()) {
    const StyleEntry& entry = styleCatalogue()[static_cast<std::size_t>(style)];
    styles.push_back({{"id", std::string(entry.id)},
                      {"name", std::string(entry.name)},
                      {"description", std::string(entry.description)}});
  }
  return styles;
}

// Every element must be a number (anything else throws the library's type error); values
// are clamped, since only their count decides the relevant styles.
IntervalList readIntervals(const Json& array) {
  IntervalList intervals;
  for (const Json& element : array) {
    if (!element.is_number()) (void)element.get<int>();
    intervals.push_back(static_cast<int>(std::clamp(element.get<double>(), -127.0, 127.0)));
  }
  return intervals;
}

}  // namespace

HandlerReply handleGetVoicingStyles(const Json& payload) {
  if (!payload.is_object()) return {"voicing_styles", invalidPayloadError("get_voicing_styles")};
  static const Json styles = buildStyleList();
  Json reply = {{"styles", styles}};
  copyRequestId(payload, reply);
  return {"voicing_styles", std::move(reply)};
}

HandlerReply handleGetRelevantVoicings(const Json& payload) {
  if (!payload.is_object())
    return {"relevant_voicings", invalidPayloadError("get_relevant_voicings")};
  IntervalList intervals;
  const auto chord = payload.find("chord");
  if (chord != payload.end()) {
    // A chord that does not parse has no intervals; one of another JSON type is a type error.
    if (auto parsed = parseChordSymbol(chord->get<std::string>())) intervals = parsed->intervals;
  } else if (const auto list = payload.find("intervals");
             list != payload.end() && list->is_array()) {
    intervals = readIntervals(*list);
  }
  Json ids = Json::array();
  for (VoicingStyle style : relevantStyles(intervals)) ids.push_back(std::string(styleId(style)));
  Json reply = {{"styles", std::move(ids)}};
  copyRequestId(payload, reply);
  return {"relevant_voicings", std::move(reply)};
}

}  // namespace tw
