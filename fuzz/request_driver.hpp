#pragma once
// Driver for a request text through the dispatcher, with the bridge transport carrying the
// replies out of an outlet, where the outlet checks read them.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "api/corpus_files.hpp"
#include "entry_drivers.hpp"
#include "host/bridge_transport.hpp"
#include "host/clipboard.hpp"
#include "host/host_layer.hpp"
#include "outlet_traffic.hpp"

namespace tw::fuzzing {

// ---------------------------------------------------------------------------------------
// Requests through the dispatcher. The first byte picks the path: ('A' + i) sends the rest
// as the JSON text of request type i of the table below, typed; ('A' + 21) sends it untyped,
// as the selector of a message. Other bytes wrap around, so every input is a request.

struct RequestRoute {
  std::string_view type;
  std::array<std::string_view, 2> replyTypes;  // besides the generic "error"
};

inline constexpr std::array<RequestRoute, 21> kRequestRoutes{{
    {"generate_voicing", {"voicing_result", "voicing_error"}},
    {"generate_progression", {"progression_voicings", "progression_error"}},
    {"generate_local_progression", {"local_progression_result", "local_progression_error"}},
    {"parse_chord", {"parse_result", "parse_error"}},
    {"parse_progression", {"parse_progression_result", "parse_error"}},
    {"detect_key", {"detect_key_result", "detect_key_error"}},
    {"get_diatonic_chords", {"diatonic_chords", ""}},
    {"get_voicing_styles", {"voicing_styles", ""}},
    {"get_relevant_voicings", {"relevant_voicings", ""}},
    {"get_range_presets", {"range_presets", ""}},
    {"get_rhythm_patterns", {"rhythm_patterns", ""}},
    {"get_supported_qualities", {"supported_qualities", ""}},
    {"transpose_progression", {"transpose_result", ""}},
    {"recalculate_romans", {"recalculate_romans_result", ""}},
    {"get_available_modifiers", {"available_modifiers", ""}},
    {"apply_modifiers", {"modified_chord", ""}},
    {"get_suggestions", {"suggestions_result", ""}},
    {"get_version", {"version", ""}},
    {"read_clipboard", {"clipboard_text", ""}},
    {"write_clipboard", {"", ""}},
    {"ready", {"ready_ack", ""}},
}};
inline constexpr std::size_t kUntypedRoute = kRequestRoutes.size();

// Generation and shuffled suggestions draw on a random source; everything else answers the
// same request with the same text, caches or not.
inline bool isRandomReply(std::string_view type) {
  return type.starts_with("local_progression") || type == "suggestions_result";
}

// The solver's debug lines say whether its cache held a chord ("cache=hit"), so they are the
// one part of a reply that may differ when the same request comes again.
inline Json withoutSolverDiagnostics(Json envelope) {
  if (envelope.is_object() && envelope.contains("payload") && envelope["payload"].is_object())
    envelope["payload"].erase("avl_debug");
  return envelope;
}

// The shipped corpora, so that generation and suggestions run on real data.
inline void ensureShippedCorpora() {
  if (continuationCorpus().empty() || progressionCorpus().empty())
    loadCorpusFolder(std::string(TONALWEAVER_SOURCE_DIR) + "/data");
}

// A bare object with one outlet and the bridge on it, as the host object wires it, with a
// clipboard that lives in memory (the fuzzer must not touch the desktop).
class BridgeRig final : public HostObject {
 public:
  explicit BridgeRig(Violations& found)
      : checker_(found), clipboard_("  Dm7 G7 | Cmaj7 \n"), transport_(addOutlet("anything", "replies"), clipboard_) {
    addInlet("requests");
    setOutletSink([this](int outlet, const Atoms& message) { checker_.accept(outlet, message); });
  }
  BridgeTransport& transport() { return transport_; }
  OutletTrafficChecker& checker() { return checker_; }

 private:
  OutletTrafficChecker checker_;
  InMemoryClipboard clipboard_;
  BridgeTransport transport_;
};

inline std::vector<DeliveredReply> sendRequest(std::size_t route, std::string_view text, Violations& found) {
  BridgeRig rig(found);
  guarded("request dispatch", found, [&] {
    if (route == kUntypedRoute)
      rig.transport().receiveUntyped(Atom::symbol(std::string(text)));
    else
      rig.transport().dispatcher().handleTypedRequest(kRequestRoutes[route].type, text);
  });
  rig.checker().finish();
  return rig.checker().replies();
}

inline void runRequestInput(Bytes bytes, Violations& found) {
  if (bytes.empty()) return;
  ensureShippedCorpora();
  const std::size_t route = static_cast<std::uint8_t>(bytes[0] - 'A') % (kRequestRoutes.size() + 1);
  const std::string_view text = asText(bytes.subspan(1));
  const auto replies = sendRequest(route, text, found);
  if (replies.size() > 1) found.add("one request was answered " + std::to_string(replies.size()) + " times");
  if (route != kUntypedRoute) {
    const RequestRoute& row = kRequestRoutes[route];
    if (row.type != "write_clipboard" && replies.size() != 1)
      found.add(std::string(row.type) + " request was not answered");
    for (const auto& reply : replies) {
      if (reply.type != "error" && reply.type != row.replyTypes[0] && reply.type != row.replyTypes[1])
        found.add(std::string(row.type) + " request answered with reply type " + excerpt(reply.type));
    }
  }
  // The same request again gives the same reply (caches must not change an answer); only the
  // solver's debug lines, which report timings and cache hits, may differ.
  if (replies.size() == 1 && !isRandomReply(replies[0].type)) {
    const auto again = sendRequest(route, text, found);
    if (again.size() != 1 || withoutSolverDiagnostics(again[0].envelope) != withoutSolverDiagnostics(replies[0].envelope))
      found.add("the same request answered differently the second time: " + excerpt(text));
  }
}

}  // namespace tw::fuzzing
