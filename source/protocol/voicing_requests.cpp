// The single-chord requests: "generate_voicing" and the register presets.
#include "protocol/request_handlers.hpp"

#include <array>
#include <stdexcept>
#include <string>

#include "chord/chord_parser.hpp"
#include "protocol/request_handlers.hpp"
#include "protocol/payload_reading.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

namespace {

constexpr int kDefaultOctave = 4;
constexpr int kLowestOctave = 0;
constexpr int kHighestOctave = 7;
constexpr int kLowestShift = -3;
constexpr int kHighestShift = 4;
constexpr int kIntMin = -2147483647 - 1;
constexpr int kIntMax = 2147483647;

struct RangePreset {
  const char* id;
  int min;
  int max;
  int center;
  const char* name;
};

constexpr std::array<RangePreset, 4> kRangePresets{{
    {"compact", 46, 70, 58, "Compact (1 oct)"},
    {"medium", 40, 76, 58, "Medium (2 oct)"},
    {"wide", 36, 82, 59, "Wide (3 oct)"},
    {"auto", 36, 84, 60, "Auto"},
}};

HandlerReply voicingError(const char* message) {
  return {"voicing_error", Json{{"message", message}}};
}

Json buildPresets() {
  Json presets = Json::object();
  for (const RangePreset& p : kRangePresets)
    presets[p.id] = {{"min", p.min}, {"max", p.max}, {"center", p.center}, {"name", p.name}};
  return presets;
}

}  // namespace

HandlerReply handleGenerateVoicing(const Json& payload) {
  if (!payload.is_object()) return {"voicing_error", invalidPayloadError("generate_voicing")};
  const auto chordMember = payload.find("chord");
  const auto styleMember = payload.find("style");
  if (chordMember == payload.end() || styleMember == payload.end())
    return voicingError("Missing chord or style");
  // Text of another JSON type, like a wrongly typed option, throws the library's type error.
  const std::string chordText = chordMember->get<std::string>();
  const std::string styleText = styleMember->get<std::string>();

  const int octave = readClampedInt(payload, "octave", kDefaultOctave, kLowestOctave, kHighestOctave);
  VoicingOptions options;
  options.inversion = readClampedInt(payload, "inversion", 0, kIntMin, kIntMax);
  options.dropBass = payload.value("drop_bass", false);
  options.octaveShift = readClampedInt(payload, "octave_shift", 0, kLowestShift, kHighestShift);

  const std::optional<ParsedChord> chord = parseChordSymbol(chordText);
  const std::optional<VoicingStyle> style = styleFromId(styleText);
  if (!chord || !style) return voicingError("Invalid chord or style");

  // A style without a plan for the chord throws; the dispatcher answers it.
  std::vector<int> notes = voiceChord(*chord, *style, octave, options);
  const int maxInversion = maxManualInversion(*chord, *style, octave, options.octaveShift);
  return {"voicing_result", Json{{"chord", chordText},
                                 {"style", styleText},
                                 {"notes", std::move(notes)},
                                 {"max_manual_inversion", maxInversion}}};
}

HandlerReply handleGetRangePresets(const Json& payload) {
  if (!payload.is_object()) return {"range_presets", invalidPayloadError("get_range_presets")};
  static const Json presets = buildPresets();
  Json reply = {{"presets", presets}};
  copyRequestId(payload, reply);
  return {"range_presets", std::move(reply)};
}

}  // namespace tw
