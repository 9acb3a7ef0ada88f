// "parse_progression": every chord of a typed progression analysed in a key.
#include <string>

#include "analysis/progression_parsing.hpp"
#include "analysis/roman_numerals.hpp"
#include "protocol/analysed_chord_record.hpp"
#include "chord/pitch_spelling.hpp"
#include "protocol/spelling_request.hpp"
#include "protocol/key_object.hpp"
#include "protocol/payload_reading.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {

HandlerReply handleParseProgression(const Json& payload) {
  const Json& request = payloadObject(payload);
  const std::string progression = request.value("progression", std::string());
  const bool includeIntervals = request.value("include_intervals", true);
  const Json key = request.value("key", Json::object());

  HandlerReply reply{"parse_error", Json::object()};
  copyRequestId(request, reply.payload);
  if (progression.empty()) {
    reply.payload["errors"] = Json::array();
    reply.payload["chords"] = Json::array();
    return reply;
  }
  if (!key.is_object() || key.empty()) {
    reply.payload["errors"] = Json::array();
    reply.payload["error"] = "Missing key";
    return reply;
  }
  const KeyObjectReading reading = parseKeyObject(key, {"", true});
  if (!reading.key) {
    reply.payload["errors"] = Json::array();
    reply.payload["error"] = "Invalid key root: " + reading.rootText;
    return reply;
  }
  const KeyContext keyContext = *reading.key;
  const SpellingOptions options = resolveSpelling(request, keyContext, reading.rootText).options();

  const ProgressionParse parse = tokenizeProgression(progression);
  Json records = Json::array();
  for (const ParsedChord& chord : parse.chords) {
    Json record = analysedChordRecord(keyContext, chord, options);
    record["original"] = chord.symbol;
    if (includeIntervals) record["intervals"] = chord.intervals.toVector();
    records.push_back(std::move(record));
  }

  reply.payload["chords"] = std::move(records);
  if (parse.errorTokens.empty()) {
    reply.type = "parse_progression_result";
    return reply;
  }
  Json errors = Json::array();
  for (const std::string& token : parse.errorTokens) errors.push_back({{"token", token}});
  reply.payload["errors"] = std::move(errors);
  return reply;
}

}  // namespace tw
