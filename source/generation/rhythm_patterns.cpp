#include "generation/rhythm_patterns.hpp"

#include <nlohmann/json.hpp>

#include "protocol/request_handlers.hpp"

namespace tw {

const std::vector<RhythmPattern>& rhythmPatterns() {
  static const std::vector<RhythmPattern> catalogue{
#include "rhythm_patterns.inc"
  };
  return catalogue;
}

const RhythmPattern* findRhythmPattern(std::string_view id) {
  for (const auto& pattern : rhythmPatterns())
    if (pattern.id == id) return &pattern;
  return nullptr;
}

nlohmann::json rhythmPatternsJson() {
  auto patterns = nlohmann::json::object();
  int order = 0;
  for (const auto& pattern : rhythmPatterns()) {
    auto events = nlohmann::json::array();
    for (const auto& event : pattern.events) {
      nlohmann::json entry{{"offset", event.offset}, {"duration", event.duration}};
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
