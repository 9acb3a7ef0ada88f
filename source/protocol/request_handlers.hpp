#pragma once
// The handlers of the request table, one per request type that has its own handler.
#include "protocol/handler_contract.hpp"

namespace tw {

HandlerReply handleGenerateVoicing(const Json& payload);
HandlerReply handleGenerateProgression(const Json& payload);
HandlerReply handleGenerateLocalProgression(const Json& payload);
HandlerReply handleParseChord(const Json& payload);
HandlerReply handleParseProgression(const Json& payload);
HandlerReply handleDetectKey(const Json& payload);
HandlerReply handleGetDiatonicChords(const Json& payload);
HandlerReply handleGetVoicingStyles(const Json& payload);
HandlerReply handleGetRelevantVoicings(const Json& payload);
HandlerReply handleGetRangePresets(const Json& payload);
HandlerReply handleGetRhythmPatterns(const Json& payload);
HandlerReply handleGetSupportedQualities(const Json& payload);
HandlerReply handleTransposeProgression(const Json& payload);
HandlerReply handleRecalculateRomans(const Json& payload);
HandlerReply handleGetAvailableModifiers(const Json& payload);
HandlerReply handleApplyModifiers(const Json& payload);
HandlerReply handleGetSuggestions(const Json& payload);

}  // namespace tw
