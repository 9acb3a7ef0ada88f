// "get_rhythm_patterns": the rhythm catalogue as the reply lists it.
#include "protocol/rhythm_requests.hpp"

#include <string>

#include "generation/rhythm_patterns.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {

Json rhythmPatternsJson() {
  auto patterns = Json::object();
  int order = 0;
  for (const auto& pattern : rhythmPatterns()) {
    auto events = Json::array();
    for (const auto& event : pattern.events) {
      Json entry{{"offset", event.offset}, {"duration", event.duration}};
      // The whole chord is the default; only the split-voice events name their part.
      if (!event.voices.empty() && event.voices != "all") entry["voices"] = event.voices;
      events.push_back(std::move(entry));
    }
    patterns[std::string(pattern.id)] = {{"name", pattern.name},
                                         {"description", pattern.description},
                                         {"category", pattern.category},
                                         {"order", order},
                                         {"pattern", std::move(events)}};
    ++order;
  }
  return patterns;
}

HandlerReply handleGetRhythmPatterns(const Json& payload) {
  Json reply{{"patterns", rhythmPatternsJson()}};
  // Any string correlation id is echoed; nothing else in the payload is read.
  if (payload.is_object()) {
    auto it = payload.find("request_id");
    if (it != payload.end() && it->is_string()) reply["request_id"] = *it;
  }
  return {"rhythm_patterns", std::move(reply)};
}

}  // namespace tw
