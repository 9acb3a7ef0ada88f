#include "host/bridge_transport.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

namespace tw {

namespace {

constexpr std::array<std::string_view, 7> kTypedPageEvents{
    "onloadstart", "onloadend", "onload", "url", "title", "loading", "loaded"};

constexpr std::array<std::string_view, 8> kUntypedPageEvents{
    "{}", "url", "title", "onload", "loaded", "loading", "onloadend", "onloadstart"};

constexpr std::array<std::string_view, 18> kRequestMessageTypes{
    "generate_progression", "generate_local_progression", "generate_voicing",
    "parse_chord",          "parse_progression",          "detect_key",
    "get_supported_qualities", "get_diatonic_chords",     "get_voicing_styles",
    "get_relevant_voicings",   "get_range_presets",       "get_rhythm_patterns",
    "transpose_progression",   "recalculate_romans",      "get_available_modifiers",
    "apply_modifiers",         "get_suggestions",         "get_version"};

constexpr std::array<std::string_view, 6> kTextOptional{
    "get_supported_qualities", "get_voicing_styles", "get_relevant_voicings",
    "get_range_presets",       "get_rhythm_patterns", "get_version"};

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& list, std::string_view value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

std::string atomToText(const Atom& atom) {
  switch (atom.kind()) {
    case AtomKind::Symbol:
      return atom.name();
    case AtomKind::Int:
      return std::to_string(atom.intValue());
    case AtomKind::Float:
      return std::to_string(atom.floatValue());  // "%f": six digits after the point
    case AtomKind::ObjectReference:
      return atom.isNullObject() ? std::string("NULL") : atom.name();
    case AtomKind::Semicolon:
      return ";";
    case AtomKind::Comma:
      return ",";
    case AtomKind::Other:
      break;
  }
  return "?";
}

bool isTypedPageEvent(std::string_view type) { return contains(kTypedPageEvents, type); }

bool isUntypedPageEvent(std::string_view selector) {
  return selector.empty() || contains(kUntypedPageEvents, selector);
}

std::span<const std::string_view> requestMessageTypes() { return kRequestMessageTypes; }

bool requestMessageMayOmitText(std::string_view type) { return contains(kTextOptional, type); }

std::uint64_t nextChunkCounter() {
  static std::uint64_t counter = 0;  // shared by every object; only the main thread touches it
  return ++counter;
}

void BridgeTransport::sendReply(std::string_view type, Json payload) {
  // Serialised completely before anything is sent: a failure leaves no partial output.
  const std::string text = serialiseReply(type, std::move(payload));
  if (text.size() <= kReplyChunkBytes) {
    outlet_.send({Atom::symbol("toJweb"), Atom::symbol(std::string(type)), Atom::symbol(text)});
    return;
  }
  for (auto& record : chunkRecords(type, text, nextChunkCounter()))
    outlet_.send({Atom::symbol("toJweb"), Atom::symbol("__tw_chunk"), Atom::symbol(std::move(record))});
}

void BridgeTransport::sendToBridge(std::string_view name, std::string_view text) {
  outlet_.send({Atom::symbol("toBridge"), Atom::symbol(std::string(name)), Atom::symbol(std::string(text))});
}

void BridgeTransport::handleTyped(const std::string& type, const std::string& text) {
  if (isTypedPageEvent(type)) return;
  dispatcher_.handleTypedRequest(type, text);
}

void BridgeTransport::receiveFromJweb(std::span<const Atom> arguments) {
  if (arguments.size() < 2) return;
  handleTyped(atomToText(arguments[0]), atomToText(arguments[1]));
}

void BridgeTransport::receiveRequestMessage(std::string_view type, std::span<const Atom> arguments) {
  if (arguments.empty()) {
    if (requestMessageMayOmitText(type)) handleTyped(std::string(type), std::string());
    return;
  }
  handleTyped(std::string(type), atomToText(arguments[0]));
}

void BridgeTransport::receiveUntyped(const Atom& selector) {
  std::string text = atomToText(selector);
  if (isUntypedPageEvent(text)) return;
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  if (text.empty() || text.front() != '{') return;
  dispatcher_.handleUntypedRequest(text);
}

}  // namespace tw
