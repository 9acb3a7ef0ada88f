#include "protocol/request_table.hpp"

#include "protocol/request_handlers.hpp"

namespace tw {

namespace {

constexpr std::array<RequestTableRow, 21> kRequestTable{{
    {"generate_voicing", handleGenerateVoicing, BuiltInRequest::None,
     {"voicing_result", "voicing_error"}, ShapeTest::HasChordAndStyle},
    {"generate_progression", handleGenerateProgression, BuiltInRequest::None,
     {"progression_voicings", "progression_error"}, ShapeTest::HasSlotsArray},
    {"generate_local_progression", handleGenerateLocalProgression, BuiltInRequest::None,
     {"local_progression_result", "local_progression_error"}, ShapeTest::HasGenreAndLength},
    {"parse_chord", handleParseChord, BuiltInRequest::None, {"parse_result", "parse_error"},
     ShapeTest::Never},
    {"parse_progression", handleParseProgression, BuiltInRequest::None,
     {"parse_progression_result", "parse_error"}, ShapeTest::HasProgression},
    {"detect_key", handleDetectKey, BuiltInRequest::None, {"detect_key_result", "detect_key_error"},
     ShapeTest::Never},
    {"get_diatonic_chords", handleGetDiatonicChords, BuiltInRequest::None, {"diatonic_chords", ""},
     ShapeTest::Never},
    {"get_voicing_styles", handleGetVoicingStyles, BuiltInRequest::None, {"voicing_styles", ""},
     ShapeTest::Never},
    {"get_relevant_voicings", handleGetRelevantVoicings, BuiltInRequest::None,
     {"relevant_voicings", ""}, ShapeTest::HasIntervalsArray},
    {"get_range_presets", handleGetRangePresets, BuiltInRequest::None, {"range_presets", ""},
     ShapeTest::Never},
    {"get_rhythm_patterns", handleGetRhythmPatterns, BuiltInRequest::None, {"rhythm_patterns", ""},
     ShapeTest::Never},
    {"get_supported_qualities", handleGetSupportedQualities, BuiltInRequest::None,
     {"supported_qualities", ""}, ShapeTest::Never},
    {"transpose_progression", handleTransposeProgression, BuiltInRequest::None,
     {"transpose_result", ""}, ShapeTest::Never},
    {"recalculate_romans", handleRecalculateRomans, BuiltInRequest::None,
     {"recalculate_romans_result", ""}, ShapeTest::Never},
    {"get_available_modifiers", handleGetAvailableModifiers, BuiltInRequest::None,
     {"available_modifiers", ""}, ShapeTest::Never},
    {"apply_modifiers", handleApplyModifiers, BuiltInRequest::None, {"modified_chord", ""},
     ShapeTest::Never},
    {"get_suggestions", handleGetSuggestions, BuiltInRequest::None, {"suggestions_result", ""},
     ShapeTest::Never},
    {"get_version", nullptr, BuiltInRequest::Version, {"version", ""}, ShapeTest::Never},
    {"read_clipboard", nullptr, BuiltInRequest::ReadClipboard, {"clipboard_text", ""},
     ShapeTest::Never},
    {"write_clipboard", nullptr, BuiltInRequest::WriteClipboard, {"", ""}, ShapeTest::Never},
    {"ready", nullptr, BuiltInRequest::Ready, {"ready_ack", ""}, ShapeTest::Never},
}};

bool hasKey(const Json& object, const char* key) { return object.contains(key); }

bool hasArray(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_array();
}

}  // namespace

std::span<const RequestTableRow> requestTable() { return kRequestTable; }

const RequestTableRow* findRequestRow(std::span<const RequestTableRow> table, std::string_view type) {
  for (const auto& row : table)
    if (row.type == type) return &row;
  return nullptr;
}

bool matchesShape(ShapeTest test, const Json& document) {
  if (!document.is_object()) return false;
  switch (test) {
    case ShapeTest::Never:
      return false;
    case ShapeTest::HasChordAndStyle:
      return hasKey(document, "chord") && hasKey(document, "style");
    case ShapeTest::HasSlotsArray:
      return hasArray(document, "slots");
    case ShapeTest::HasGenreAndLength:
      return hasKey(document, "genre") && hasKey(document, "length");
    case ShapeTest::HasProgression:
      return hasKey(document, "progression");
    case ShapeTest::HasIntervalsArray:
      return hasArray(document, "intervals");
  }
  return false;
}

}  // namespace tw
