// "transpose_progression" and "recalculate_romans": one analysed record per chord entry.
#include "protocol/request_handlers.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/key_object.hpp"
#include "protocol/payload_reading.hpp"
#include "analysis/roman_numerals.hpp"
#include "protocol/analysed_chord_record.hpp"
#include "chord/chord_parser.hpp"
#include "chord/pitch_spelling.hpp"
#include "protocol/spelling_request.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {

namespace {

constexpr const char* kInvalidEntry = "Invalid chord entry: expected string or {symbol}";

struct ChordEntry {
  std::string text;
  std::optional<ParsedChord> chord;
};

// Every element must be a string or an object with a string "symbol"; the first one that is
// neither fails the whole request, so nothing is read until all are known good.
std::optional<std::vector<ChordEntry>> readChordEntries(const Json& array) {
  std::vector<ChordEntry> entries;
  entries.reserve(array.size());
  for (const Json& element : array) {
    const Json* text = nullptr;
    if (element.is_string()) {
      text = &element;
    } else if (element.is_object()) {
      const auto symbol = element.find("symbol");
      if (symbol != element.end() && symbol->is_string()) text = &*symbol;
    }
    if (!text) return std::nullopt;
    ChordEntry entry;
    entry.text = text->get<std::string>();
    entry.chord = parseChordSymbol(entry.text);
    entries.push_back(std::move(entry));
  }
  return entries;
}

Json failureRecord(const std::string& text) {
  return Json{{"category", ""}, {"degree", 0},  {"quality", ""},
              {"roman", ""},    {"root", ""},   {"symbol", text}};
}

// The request key: C major when "key" is absent or not an object.
KeyObjectReading readRequestKey(const Json& request) {
  const auto key = request.find("key");
  if (key != request.end() && key->is_object()) return parseKeyObject(*key, {"C", false});
  KeyObjectReading reading;
  reading.key = KeyContext{0, false, false};
  reading.rootText = "C";
  reading.modeText = "major";
  return reading;
}

HandlerReply errorReply(const char* type, const Json& request, const char* message) {
  HandlerReply reply{type, Json::object()};
  copyRequestId(request, reply.payload);
  reply.payload["error"] = message;
  return reply;
}

// A semitone count of any size: its class mod 12 and whether it is zero, read without
// overflow (unsigned counts beyond the signed range included).
struct Shift {
  int pitchClassShift = 0;
  bool zero = true;
  Json asWritten = 0;
};

Shift readShift(const Json& request) {
  Shift shift;
  const auto it = request.find("semitones");
  if (it == request.end()) return shift;
  if (it->is_number_unsigned()) {
    const auto value = it->get<std::uint64_t>();
    shift.pitchClassShift = static_cast<int>(value % 12);
    shift.zero = value == 0;
    shift.asWritten = value;
    return shift;
  }
  const std::int64_t value = readInteger(request, "semitones", 0);
  shift.pitchClassShift = reducePitchClass(value);
  shift.zero = value == 0;
  shift.asWritten = value;
  return shift;
}

// Whether a chord has a seventh, the diminished one (minor third, diminished fifth and
// diminished seventh, as in dim7 and dim11) included; triads and sixth chords move onto the
// triad of the new mode, not onto its seventh chord.
bool hasSeventh(const ParsedChord& chord) {
  const IntervalList& i = chord.intervals;
  return i.contains(10) || i.contains(11) || (i.contains(3) && i.contains(6) && i.contains(9));
}

// The diatonic tables write the major triad "" and the augmented triad "+"; records carry
// catalogue symbols.
std::string canonicalQuality(const std::string& quality) {
  if (auto resolved = resolveQuality(quality)) return resolved->symbol;
  return quality;
}

}  // namespace

HandlerReply handleTransposeProgression(const Json& payload) {
  constexpr const char* kType = "transpose_result";
  const Json& request = payloadObject(payload);
  const auto chordsMember = request.find("chords");
  if (chordsMember == request.end() || !chordsMember->is_array())
    return errorReply(kType, request, "Missing chords array");

  const KeyObjectReading reading = readRequestKey(request);
  const bool keyLinked = request.value("keyLinked", true);
  if (!reading.key) return errorReply(kType, request, "Invalid key root");
  const KeyContext key = *reading.key;

  Shift shift = readShift(request);
  if (request.contains("targetRoot")) {
    const auto target = parseNoteName(request.at("targetRoot").get<std::string>());
    if (!target) return errorReply(kType, request, "Invalid targetRoot");
    shift.pitchClassShift = reducePitchClass(*target - key.root);
    shift.zero = shift.pitchClassShift == 0;
    shift.asWritten = shift.pitchClassShift;
  }

  const auto entries = readChordEntries(*chordsMember);
  if (!entries) return errorReply(kType, request, kInvalidEntry);

  const SpellingOptions options = resolveSpelling(request, key, reading.rootText).options();
  KeyContext target = key;
  if (!shift.zero && keyLinked) target.root = reducePitchClass(key.root + shift.pitchClassShift);

  Json records = Json::array();
  for (const ChordEntry& entry : *entries) {
    if (!entry.chord) {
      records.push_back(failureRecord(entry.text));
      continue;
    }
    ParsedChord moved = *entry.chord;
    moved.root = reducePitchClass(moved.root + shift.pitchClassShift);
    if (moved.bass) moved.bass = reducePitchClass(*moved.bass + shift.pitchClassShift);
    Json record = analysedChordRecord(target, moved, options);
    if (shift.zero) record["symbol"] = entry.text;
    records.push_back(std::move(record));
  }

  HandlerReply reply{kType, Json::object()};
  copyRequestId(request, reply.payload);
  reply.payload["chords"] = std::move(records);
  if (!shift.zero && keyLinked) {
    reply.payload["key"] = Json{{"minorScaleType", reading.melodicRequested ? "melodic" : "natural"},
                                {"mode", reading.modeText},
                                {"root", degreeNoteName(target, 1, options)}};
  } else {
    reply.payload["key"] = request.value("key", Json::object());
  }
  reply.payload["semitones"] = shift.zero ? Json(0) : shift.asWritten;
  return reply;
}

HandlerReply handleRecalculateRomans(const Json& payload) {
  constexpr const char* kType = "recalculate_romans_result";
  const Json& request = payloadObject(payload);
  const auto chordsMember = request.find("chords");
  if (chordsMember == request.end() || !chordsMember->is_array())
    return errorReply(kType, request, "Missing chords array");

  const KeyObjectReading reading = readRequestKey(request);
  if (!reading.key) return errorReply(kType, request, "Invalid key root");
  const KeyContext key = *reading.key;
  const SpellingOptions options = resolveSpelling(request, key, reading.rootText).options();

  // A linked key whose mode flipped moves each diatonic chord to the same degree of the new
  // mode; a change of minor scale type alone moves nothing.
  bool modeSwitch = false;
  Scale oldScale = kMajorScale;
  const auto linked = request.find("keyLinked");
  if (request.contains("oldMode") && linked != request.end() && linked->is_boolean() &&
      linked->get<bool>()) {
    const bool oldMinor = request.at("oldMode").get<std::string>() == "minor";
    if (oldMinor != key.minor) {
      modeSwitch = true;
      if (oldMinor) {
        const bool oldMelodic =
            request.value("oldMinorScaleType", std::string("natural")) == "melodic";
        oldScale = oldMelodic ? kMelodicMinorScale : kNaturalMinorScale;
      }
    }
  }

  const auto entries = readChordEntries(*chordsMember);
  if (!entries) return errorReply(kType, request, kInvalidEntry);

  const Scale& newScale = scaleOf(key);
  const auto oldDegreeIndex = [&](PitchClass pc) -> int {
    const int interval = reducePitchClass(pc - key.root);
    for (int d = 0; d < 7; ++d)
      if (oldScale[d] == interval) return d;
    return -1;
  };

  Json records = Json::array();
  for (const ChordEntry& entry : *entries) {
    if (!entry.chord) {
      records.push_back(failureRecord(entry.text));
      continue;
    }
    ParsedChord chord = *entry.chord;
    if (modeSwitch) {
      const int d = oldDegreeIndex(chord.root);
      if (d >= 0) {
        const std::string templateQuality =
            diatonicChord(key, d + 1, hasSeventh(chord)).quality;
        chord.root = reducePitchClass(chord.root + newScale[d] - oldScale[d]);
        chord.quality = canonicalQuality(combineQuality(chord.quality, templateQuality));
        chord.intervals = qualityIntervals(chord.quality);
      }
      if (chord.bass) {
        const int bassDegree = oldDegreeIndex(*chord.bass);
        if (bassDegree >= 0)
          chord.bass = reducePitchClass(*chord.bass + newScale[bassDegree] - oldScale[bassDegree]);
      }
    }
    records.push_back(analysedChordRecord(key, chord, options));
  }

  HandlerReply reply{kType, Json::object()};
  copyRequestId(request, reply.payload);
  reply.payload["chords"] = std::move(records);
  return reply;
}

}  // namespace tw
