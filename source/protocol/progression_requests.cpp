// The generate_progression request: slots in, one voicing and its display fields per slot out.
#include "voicing/progression_voicing.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <optional>
#include <string>

#include "analysis/chord_rendering.hpp"
#include "chord/pitch_spelling.hpp"
#include "protocol/spelling_request.hpp"
#include "protocol/request_handlers.hpp"
#include "voicing/voice_leading_solver.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

namespace {

constexpr const char* kReplyType = "progression_voicings";
constexpr const char* kErrorType = "progression_error";
constexpr const char* kParseFailed = "auto_voice_lead could not parse one or more slots";
// Octaves, shifts and inversions are clamped far beyond anything audible before any
// arithmetic, so huge request values cannot overflow.
constexpr long long kIntegerLimit = 1000;

// An integer member read the way the JSON library converts numbers (fractions truncated,
// booleans 0 or 1, other types raise its type error), saturating instead of overflowing.
long long readInteger(const Json& object, const char* key, long long fallback) {
  const auto it = object.find(key);
  if (it == object.end()) return fallback;
  constexpr auto kMax = std::numeric_limits<long long>::max();
  constexpr auto kMin = std::numeric_limits<long long>::min();
  if (it->is_number_unsigned()) {
    const auto value = it->get<std::uint64_t>();
    return value > static_cast<std::uint64_t>(kMax) ? kMax : static_cast<long long>(value);
  }
  if (it->is_number_float()) {
    const double value = it->get<double>();
    if (std::isnan(value)) return 0;
    if (value >= 9.2e18) return kMax;
    if (value <= -9.2e18) return kMin;
    return static_cast<long long>(value);
  }
  return it->get<long long>();
}

int readBounded(const Json& object, const char* key, long long fallback) {
  return static_cast<int>(std::clamp(readInteger(object, key, fallback), -kIntegerLimit, kIntegerLimit));
}

// A boolean member; another JSON type raises the library's type error.
bool readBool(const Json& object, const char* key, bool fallback) {
  const auto it = object.find(key);
  return it == object.end() ? fallback : it->get<bool>();
}

std::string readText(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() ? std::string() : it->get<std::string>();
}

// Manual notes: integers 0..127 are kept in the order sent; anything else (fractions, other
// types, notes outside the MIDI range) cannot be a note and is ignored.
std::vector<int> readManualNotes(const Json& slot) {
  const Json* source = nullptr;
  if (auto it = slot.find("manual_midi"); it != slot.end() && it->is_array()) source = &*it;
  else if (auto it2 = slot.find("notes"); it2 != slot.end() && it2->is_array()) source = &*it2;
  std::vector<int> notes;
  if (!source) return notes;
  for (const Json& value : *source) {
    if (value.is_number_unsigned()) {
      if (value.get<std::uint64_t>() <= 127) notes.push_back(static_cast<int>(value.get<std::uint64_t>()));
    } else if (value.is_number_integer()) {
      const auto n = value.get<std::int64_t>();
      if (n >= 0 && n <= 127) notes.push_back(static_cast<int>(n));
    }
  }
  return notes;
}

// A slot as sent: an unreadable chord or style is empty.
struct SlotRequest {
  std::optional<ParsedChord> chord;
  std::optional<VoicingStyle> style;
  AvlSlot voicing;  // the rest of the slot; chord and style are filled once both are known

  bool readable() const { return chord && style; }
  const AvlSlot& voicingSlot() {
    voicing.chord = *chord;
    voicing.style = *style;
    return voicing;
  }
};

// A slot that is not an object is a malformed request, as a member of the wrong JSON type is.
SlotRequest readSlot(const Json& slot, bool solverPath) {
  (void)slot.get_ref<const Json::object_t&>();  // raises the library's type error otherwise
  SlotRequest s;
  s.chord = parseChordSymbol(readText(slot, "chord"));
  s.style = styleFromId(readText(slot, "style"));
  s.voicing.octave = readBounded(slot, "octave", 4);
  s.voicing.inversion = readBounded(slot, "inversion", 0);
  s.voicing.dropBass = readBool(slot, "drop_bass", false);
  s.voicing.octaveShift = readBounded(slot, "octave_shift", 0);
  if (solverPath) {
    s.voicing.manualNotes = readManualNotes(slot);
    s.voicing.autoVoiced = readBool(slot, "auto_voiced", true);
  }
  return s;
}

DisplaySpelling readDisplaySpelling(const Json& payload) {
  std::optional<KeyContext> key;
  std::string keyName;
  if (auto it = payload.find("key"); it != payload.end() && it->is_object()) {
    const Json& k = *it;
    auto text = [&](const char* member, const char* fallback) {
      auto m = k.find(member);
      return m != k.end() && m->is_string() ? m->get<std::string>() : std::string(fallback);
    };
    keyName = text("root", "");
    if (auto root = parseNoteName(keyName)) {
      const bool minor = text("mode", "major") == "minor";
      key = KeyContext{*root, minor, minor && text("minorScaleType", "natural") == "melodic"};
    }
  }
  return displaySpelling(key, keyName, readSpellingRequest(payload));
}

struct ReplyArrays {
  Json voicings = Json::array();
  Json maxInversions = Json::array();
  Json symbols = Json::array();
  Json romans = Json::array();
  Json labels = Json::array();

  void appendEmpty() {
    voicings.push_back(Json::array());
    maxInversions.push_back(1);
    symbols.push_back("");
    romans.push_back(nullptr);
    labels.push_back(Json::array());
  }

  // Display values describe the chord as the user sent it, sounding as `displayNotes`.
  void appendDisplay(const ParsedChord& chord, const DisplaySpelling& context,
                     const std::vector<int>& displayNotes) {
    const auto display = chordDisplay(chord, context.key, context.preferFlats, context.simplify, displayNotes);
    symbols.push_back(display ? Json(display->symbol) : Json(""));
    romans.push_back(context.key && display && display->roman ? Json(*display->roman) : Json(nullptr));
    labels.push_back(display ? Json(display->noteLabels) : Json::array());
  }

  Json payload() && {
    return Json{{"voicings", std::move(voicings)},
                {"max_manual_inversions", std::move(maxInversions)},
                {"display_symbols", std::move(symbols)},
                {"display_romans", std::move(romans)},
                {"display_note_labels", std::move(labels)}};
  }
};

struct Echo {
  std::string source;
  Json requestId;
  Json fingerprint;

  void into(Json& reply) const {
    if (!source.empty()) reply["source"] = source;
    if (requestId.is_string() && !requestId.get_ref<const std::string&>().empty())
      reply["request_id"] = requestId;
    if (fingerprint.is_string() && !fingerprint.get_ref<const std::string&>().empty())
      reply["fingerprint"] = fingerprint;
  }
};

Echo readEcho(const Json& payload) {
  Echo e;
  e.source = readText(payload, "source");
  e.requestId = payload.value("request_id", Json());
  e.fingerprint = payload.value("fingerprint", Json());
  return e;
}

HandlerReply voiceDirectly(const Json& slots, const ProgressionTransposition& shift,
                           const DisplaySpelling& display, const Echo& echo) {
  ReplyArrays arrays;
  for (const Json& slotJson : slots) {
    SlotRequest slot = readSlot(slotJson, false);
    if (!slot.readable()) {
      arrays.appendEmpty();
      continue;
    }
    arrays.maxInversions.push_back(slotMaxInversion(slot.voicingSlot(), shift));
    PlacedVoicing placed = voiceSlotDirectly(slot.voicingSlot(), shift);
    arrays.appendDisplay(*slot.chord, display, placed.displayNotes);
    arrays.voicings.push_back(std::move(placed.notes));
  }
  Json reply = std::move(arrays).payload();
  echo.into(reply);
  return {kReplyType, std::move(reply)};
}

HandlerReply solverError(const char* error, const std::string& message, const char* code,
                         const std::vector<std::string>& debug, const Echo& echo) {
  Json reply{{"error", error}, {"message", message}, {"code", code}, {"voicings", Json::array()}};
  if (!debug.empty()) reply["avl_debug"] = debug;
  echo.into(reply);
  return {kErrorType, std::move(reply)};
}

struct SolverOptions {
  bool allowBassChanges = false;
  bool includeDebug = false;
};

HandlerReply voiceWithSolver(const SolverOptions& options, const Json& slots,
                             const ProgressionTransposition& shift, const DisplaySpelling& display,
                             const Echo& echo) {
  std::vector<SlotRequest> requests;
  requests.reserve(slots.size());
  for (const Json& slotJson : slots) {
    requests.push_back(readSlot(slotJson, true));
    if (!requests.back().readable())
      return solverError(kParseFailed, kParseFailed, "auto_voice_lead_parse_failed", {}, echo);
  }
  if (requests.empty())
    return solverError(kParseFailed, kParseFailed, "auto_voice_lead_parse_failed", {}, echo);

  ReplyArrays arrays;
  std::vector<AvlSlot> avlSlots;
  avlSlots.reserve(requests.size());
  for (SlotRequest& r : requests) {
    avlSlots.push_back(r.voicingSlot());
    arrays.maxInversions.push_back(slotMaxInversion(avlSlots.back(), shift));
  }

  takeAvlDebugLines();  // nothing left over from an earlier solve
  std::vector<PlacedVoicing> placed;
  try {
    placed = leadProgression(avlSlots, shift, options.allowBassChanges, options.includeDebug);
  } catch (const std::exception& failure) {
    return solverError("auto_voice_lead failed", failure.what(), "auto_voice_lead_failed",
                       takeAvlDebugLines(), echo);
  }
  const std::vector<std::string> debug = takeAvlDebugLines();

  for (std::size_t i = 0; i < requests.size(); ++i) {
    arrays.appendDisplay(*requests[i].chord, display, placed[i].displayNotes);
    arrays.voicings.push_back(std::move(placed[i].notes));
  }
  Json reply = std::move(arrays).payload();
  if (options.includeDebug && !debug.empty()) reply["avl_debug"] = debug;
  echo.into(reply);
  return {kReplyType, std::move(reply)};
}

}  // namespace

HandlerReply handleGenerateProgression(const Json& payload) {
  if (!payload.is_object()) {
    Json reply{{"message", "Request handling failed"},
               {"error", "Request handling failed"},
               {"code", "invalid_payload"},
               {"requested_type", "generate_progression"}};
    return {kErrorType, std::move(reply)};
  }
  const auto slots = payload.find("slots");
  if (slots == payload.end() || !slots->is_array()) {
    // Nothing of the request is echoed before its slots are known to be there.
    return {kErrorType, Json{{"message", "Missing slots array"}}};
  }
  const Echo echo = readEcho(payload);
  const bool autoVoiceLead = readBool(payload, "auto_voice_lead", false);
  // The solver's options are checked on both paths: a malformed one is an error even where
  // it would not be used.
  const SolverOptions solverOptions{readBool(payload, "allow_bass_changes", false),
                                    readBool(payload, "include_avl_debug", false)};
  const ProgressionTransposition shift =
      progressionTransposition(readInteger(payload, "semitone_transpose", 0));
  const DisplaySpelling display = readDisplaySpelling(payload);
  if (autoVoiceLead) return voiceWithSolver(solverOptions, *slots, shift, display, echo);
  return voiceDirectly(*slots, shift, display, echo);
}

}  // namespace tw
