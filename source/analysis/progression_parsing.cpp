// Progression text: tokens, repeats and the "parse_progression" request.
#include "analysis/progression_parsing.hpp"

#include "analysis/key_object.hpp"
#include "analysis/request_payload.hpp"
#include "analysis/roman_numerals.hpp"
#include "chord/pitch_spelling.hpp"

namespace tw {

namespace {

// Blank, tab, line feed, vertical tab, form feed, carriage return; bar lines and commas are
// separators too. Bytes of multi-byte characters never are.
bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '|' ||
         c == ',';
}

}  // namespace

ProgressionParse tokenizeProgression(std::string_view text) {
  ProgressionParse parse;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && isSeparator(text[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < text.size() && !isSeparator(text[pos])) ++pos;
    if (pos == start) break;
    const std::string_view token = text.substr(start, pos - start);
    if (token == "%") {
      // A repeat sign with nothing before it repeats nothing and is not an error.
      if (!parse.chords.empty()) parse.chords.push_back(parse.chords.back());
      continue;
    }
    if (auto chord = parseChordSymbol(token)) {
      parse.chords.push_back(std::move(*chord));
    } else {
      parse.errorTokens.emplace_back(token);
    }
  }
  return parse;
}

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
