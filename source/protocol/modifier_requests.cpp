// The two modifier requests: which modifiers a chord offers, and the chord a list of
// modifiers makes.
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "chord/chord_modifiers.hpp"
#include "chord/chord_parser.hpp"
#include "chord/pitch_spelling.hpp"
#include "chord/quality_catalogue.hpp"
#include "protocol/request_handlers.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

namespace {

constexpr const char* kAvailableModifiers = "available_modifiers";
constexpr const char* kModifiedChord = "modified_chord";

HandlerReply errorReply(const char* type, const Json& request, const std::string& message) {
  Json payload{{"error", message}};
  copyRequestId(request, payload);
  return {type, std::move(payload)};
}

// Reads an integer option, clamped into [low, high]. Numbers of any size or sign are
// clamped rather than converted, so an absurd value can never overflow; a member of another
// JSON type is the JSON library's type error, as for every typed read.
int readClampedInt(const Json& payload, const char* key, int fallback, int low, int high) {
  const auto it = payload.find(key);
  if (it == payload.end()) return fallback;
  const Json& value = *it;
  if (value.is_number_unsigned()) {
    const auto v = value.get<std::uint64_t>();
    return v > static_cast<std::uint64_t>(high) ? high : std::max(low, static_cast<int>(v));
  }
  if (value.is_number_integer()) {
    const auto v = value.get<std::int64_t>();
    return static_cast<int>(std::clamp<std::int64_t>(v, low, high));
  }
  if (value.is_number_float()) {
    const double v = value.get<double>();
    if (std::isnan(v)) return fallback;
    return static_cast<int>(std::clamp(std::trunc(v), double(low), double(high)));
  }
  return std::clamp(value.get<int>(), low, high);
}

// The texts of an array member; any other JSON type gives the empty list.
std::vector<std::string> readIdList(const Json& payload, const char* key) {
  std::vector<std::string> ids;
  const auto it = payload.find(key);
  if (it == payload.end() || !it->is_array()) return ids;
  for (const auto& element : *it) ids.push_back(element.get<std::string>());
  return ids;
}

// The style a text member names; a member of another type names none.
std::optional<VoicingStyle> styleNamedBy(const Json& payload, const char* key) {
  const auto it = payload.find(key);
  if (it == payload.end() || !it->is_string()) return std::nullopt;
  return styleFromId(it->get_ref<const std::string&>());
}

// Ids that, toggled into the current list, give a quality the requested style cannot voice.
std::vector<std::string> voicingChangingIds(const ParsedChord& chord,
                                            const std::vector<std::string>& current,
                                            const std::vector<std::string>& disabled,
                                            VoicingStyle style) {
  std::vector<std::string> ids;
  auto listed = [](const std::vector<std::string>& list, std::string_view id) {
    return std::find(list.begin(), list.end(), id) != list.end();
  };
  for (const auto& row : modifierTable()) {
    if (row.id == "slash" || listed(disabled, row.id) || listed(current, row.id)) continue;
    const auto quality = applyModifiers(chord, toggleModifier(current, row.id));
    if (quality.empty()) continue;
    const auto resolved = resolveQuality(quality);
    if (!resolved) continue;
    const auto styles = relevantStyles(resolved->intervals);
    if (std::find(styles.begin(), styles.end(), style) == styles.end())
      ids.emplace_back(row.id);
  }
  return ids;
}

}  // namespace

HandlerReply handleGetAvailableModifiers(const Json& payload) {
  if (!payload.is_object() || !payload.contains("chord"))
    return errorReply(kAvailableModifiers, payload, "Missing chord");
  const auto chordText = payload.at("chord").get<std::string>();
  const auto chord = parseChordSymbol(chordText);
  if (!chord) return errorReply(kAvailableModifiers, payload, "Invalid chord: " + chordText);

  Json reply;
  try {
    const auto selected = readIdList(payload, "selected");

    auto availability = modifierAvailability(*chord, selected);
    const auto& current = selected.empty() ? availability.active : selected;

    std::vector<std::string> voicingChanges;
    if (const auto style = styleNamedBy(payload, "voicingStyle"))
      voicingChanges = voicingChangingIds(*chord, current, availability.disabled, *style);

    auto modifiers = Json::array();
    for (const auto& row : modifierTable())
      modifiers.push_back({{"id", row.id}, {"label", row.label}, {"category", row.category}});
    reply = Json{{"modifiers", std::move(modifiers)},
                 {"active", availability.active},
                 {"disabled", availability.disabled},
                 {"causesVoicingChange", voicingChanges}};
  } catch (const std::exception& e) {
    return errorReply(kAvailableModifiers, payload, std::string("Exception: ") + e.what());
  }
  copyRequestId(payload, reply);
  return {kAvailableModifiers, std::move(reply)};
}

HandlerReply handleApplyModifiers(const Json& payload) {
  if (!payload.is_object() || !payload.contains("chord"))
    return errorReply(kModifiedChord, payload, "Missing chord");
  const auto chordText = payload.at("chord").get<std::string>();
  const auto chord = parseChordSymbol(chordText);
  if (!chord) return errorReply(kModifiedChord, payload, "Invalid chord: " + chordText);

  // Ids the table does not know are passed on: applying them leaves their degree group
  // with no recognised choice, which switches that degree off.
  const auto ids = readIdList(payload, "modifiers");
  const auto quality = applyModifiers(*chord, ids);
  if (quality.empty())
    return errorReply(kModifiedChord, payload, "Unable to apply modifiers to chord quality");
  const auto resolved = resolveQuality(quality);
  if (!resolved) {
    auto reply = errorReply(kModifiedChord, payload, "Modified chord quality is invalid");
    reply.payload["quality"] = quality;
    return reply;
  }

  const bool flats = chordText.find('b') != std::string::npos;
  std::optional<PitchClass> bass = chord->bass;
  std::string bassText;
  const auto bassMember = payload.find("bass");
  if (bassMember != payload.end() && bassMember->is_string() &&
      !bassMember->get_ref<const std::string&>().empty()) {
    const auto& requested = bassMember->get_ref<const std::string&>();
    const auto pitch = parseNoteName(requested);
    if (!pitch) return errorReply(kModifiedChord, payload, "Invalid bass: " + requested);
    bass = *pitch;
    bassText = "/" + requested;
  } else if (bass) {
    bassText = "/" + noteName(*bass, flats);
  }
  const auto symbol = noteName(chord->root, flats) + quality + bassText;

  Json reply{{"chord", symbol}};
  if (const auto style = styleNamedBy(payload, "style")) {
    const int octave = readClampedInt(payload, "octave", 4, 0, 7);
    VoicingOptions options;
    options.inversion = readClampedInt(payload, "inversion", 0, std::numeric_limits<int>::min(),
                                       std::numeric_limits<int>::max());
    options.dropBass = payload.value("drop_bass", false);
    options.octaveShift = readClampedInt(payload, "octave_shift", 0, -3, 4);
    const auto modified = makeParsedChord(chord->root, *resolved, bass, symbol);
    try {
      reply["notes"] = voiceChord(modified, *style, octave, options);
    } catch (const std::runtime_error& e) {
      // The voicing engine words its own failures for the user.
      return errorReply(kModifiedChord, payload, e.what());
    }
  }
  copyRequestId(payload, reply);
  return {kModifiedChord, std::move(reply)};
}

}  // namespace tw
