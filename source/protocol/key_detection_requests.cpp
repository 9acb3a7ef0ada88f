// "detect_key": the progression's most likely key, named in its own spelling.
#include <string>
#include <vector>

#include "analysis/key_detection.hpp"
#include "analysis/progression_parsing.hpp"
#include "chord/pitch_spelling.hpp"
#include "protocol/spelling_request.hpp"
#include "protocol/payload_reading.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {

HandlerReply handleDetectKey(const Json& payload) {
  const Json& request = payloadObject(payload);
  const std::string progression = request.value("progression", std::string());

  HandlerReply reply{"detect_key_error", Json::object()};
  copyRequestId(request, reply.payload);
  const auto emptyProgression = [&reply]() {
    reply.payload["errors"] = Json::array();
    reply.payload["error"] = "Progression is empty";
    return reply;
  };
  if (progression.empty()) return emptyProgression();

  const ProgressionParse parse = tokenizeProgression(progression);
  if (!parse.errorTokens.empty()) {
    Json errors = Json::array();
    for (const std::string& token : parse.errorTokens) errors.push_back({{"token", token}});
    reply.payload["errors"] = std::move(errors);
    return reply;
  }
  if (parse.chords.empty()) return emptyProgression();

  std::vector<KeyInputChord> chords;
  chords.reserve(parse.chords.size());
  for (const ParsedChord& chord : parse.chords) chords.push_back(keyInputChord(chord));
  const KeyContext key = detectKey(chords);

  const ResolvedSpelling spelling = resolveSpelling(request, key, "");
  reply.type = "detect_key_result";
  reply.payload["root"] = degreeNoteName(key, 1, spelling.options());
  reply.payload["mode"] = key.minor ? "minor" : "major";
  reply.payload["minorScaleType"] = key.minor && key.melodic ? "melodic" : "natural";
  return reply;
}

}  // namespace tw
