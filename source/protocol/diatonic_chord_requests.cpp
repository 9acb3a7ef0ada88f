// "get_diatonic_chords": the key's seven chords voiced, with names and numerals for every pitch class.
#include <algorithm>
#include <string>

#include "analysis/diatonic_chords.hpp"
#include "analysis/roman_numerals.hpp"
#include "chord/chord_parser.hpp"
#include "chord/pitch_spelling.hpp"
#include "protocol/spelling_request.hpp"
#include "chord/quality_catalogue.hpp"
#include "protocol/key_object.hpp"
#include "protocol/payload_reading.hpp"
#include "protocol/request_handlers.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

namespace {

// The diatonic table writes the augmented triad "+" and the major triad "", which are not
// catalogue symbols; the voicing needs the quality they name.
ChordQuality voicedQuality(const std::string& tableQuality) {
  if (auto resolved = resolveQuality(tableQuality)) return *resolved;
  return {tableQuality, qualityIntervals(tableQuality)};
}

std::string lowerAsciiLetters(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

HandlerReply handleGetDiatonicChords(const Json& payload) {
  const Json& request = payloadObject(payload);
  HandlerReply reply{"diatonic_chords", Json::object()};
  copyRequestId(request, reply.payload);

  const KeyObjectReading reading = parseKeyObject(request, {"C", false});
  if (!reading.key) {
    reply.payload["chords"] = Json::array();
    reply.payload["error"] = "Invalid key root: " + reading.rootText;
    return reply;
  }
  const KeyContext paletteKey = *reading.key;

  std::int64_t size = readInteger(request, "diatonicExtension", 7);
  if (size != 3 && size != 9) size = 7;

  const ResolvedSpelling spelling = resolveSpelling(request, paletteKey, reading.rootText);
  const SpellingOptions options = spelling.options();
  const RomanFlags flags{true, spelling.preferFlats};

  KeyContext labelKey = paletteKey;
  if (request.contains("relativeToRoot")) {
    const std::string relativeRoot = request.value("relativeToRoot", std::string());
    const std::string relativeMode = request.value("relativeToMode", std::string("major"));
    if (const auto root = parseNoteName(relativeRoot)) {
      const bool minor = relativeMode == "minor";
      labelKey = KeyContext{*root, minor, minor && reading.melodicRequested};
    }
  }

  const std::string styleText = request.value("voicingStyle", std::string("closed"));
  const VoicingStyle style = styleFromId(styleText).value_or(0);
  const int octave = static_cast<int>(std::clamp<std::int64_t>(readInteger(request, "octave", 4), 0, 7));
  VoicingOptions voicingOptions;
  voicingOptions.dropBass = request.value("drop_bass", false);

  Json chords = Json::array();
  for (const DiatonicSetEntry& entry : diatonicSet(paletteKey, static_cast<int>(size))) {
    const NoteName rootName = spellPitchInKey(paletteKey, entry.root, options);
    const ParsedChord chord =
        makeParsedChord(entry.root, voicedQuality(entry.quality), std::nullopt, rootName + entry.quality);
    Json object = Json::object();
    object["colorCategory"] = std::string(qualityCategory(entry.quality));
    object["degree"] = entry.degree;
    object["notes"] = voiceChord(chord, style, octave, voicingOptions);
    object["quality"] = entry.quality;
    object["roman"] = romanForChord(labelKey, AnalysisChord{entry.root, entry.quality, 0, false}, flags);
    object["root"] = rootName;
    object["symbol"] = rootName + entry.quality;
    chords.push_back(std::move(object));
  }

  Json keyNames = Json::array();
  Json keyRomans = Json::object();
  for (PitchClass pc = 0; pc < 12; ++pc) {
    const NoteName name = spellPitchInKey(labelKey, pc, options);
    std::string numeral = romanForPitchClass(labelKey, pc, flags);
    if (labelKey.minor) numeral = lowerAsciiLetters(std::move(numeral));
    keyRomans[name] = std::move(numeral);
    keyNames.push_back(name);
  }

  reply.payload["chords"] = std::move(chords);
  reply.payload["keyNames"] = std::move(keyNames);
  reply.payload["keyRomans"] = std::move(keyRomans);
  return reply;
}

}  // namespace tw
