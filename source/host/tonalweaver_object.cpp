#include "host/tonalweaver_object.hpp"

#include <dlfcn.h>

#include <fstream>
#include <iterator>
#include <optional>

#include "chord/chord_parser.hpp"
#include "chord/pitch_class.hpp"
#include "generation/corpus_loading.hpp"
#include "voicing/voicing_plans.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

namespace {

std::string styleNames() {
  const auto& styles = styleCatalogue();
  std::string names;
  for (std::size_t i = 0; i < styles.size(); ++i)
    names += (i == 0 ? "" : i + 1 == styles.size() ? " or " : ", ") + std::string(styles[i].id);
  return names;
}

// Every declared message, in the order the host lists them, with its reference text.
std::vector<MessageDescription> declaredMessages() {
  std::vector<MessageDescription> messages{
      {"bang", "", "Sends a C major triad, 60 64 67, out of the right outlet."},
      {"parse", "chord",
       "Parses a chord symbol. When it reads, the root name, the quality and, for a slash chord, "
       "the bass name leave the left outlet as one message; otherwise nothing is sent."},
      {"voicing", "style chord",
       "Voices a chord symbol in a voicing style (" + styleNames() +
           "; another name means closed) in octave 4. The MIDI notes leave the right outlet as "
           "one list, lowest first."},
      {"fromJweb", "type json",
       "A request from the web page: the request type and its JSON text. The reply leaves the "
       "left outlet as toJweb type json, cut into __tw_chunk pieces when it is long."},
  };
  for (auto type : requestMessageTypes()) {
    const bool optional = requestMessageMayOmitText(type);
    messages.push_back({type, optional ? "[json]" : "json",
                        "The request " + std::string(type) + " with its JSON text" +
                            (optional ? " (which may be left out)" : "") +
                            ". The reply leaves the left outlet as a toJweb message."});
  }
  messages.push_back({"anything", "",
                      "A message whose selector is the JSON text of a request object with a type "
                      "member is answered like fromJweb; other messages are ignored."});
  return messages;
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace

const ObjectRegistration& tonalweaverRegistration() {
  static const ObjectRegistration registration{
      kObjectClassName,
      {"anything", "(anything) messages from jweb"},
      {{{"anything", "(anything) messages to jweb"}, {"list", "(list) MIDI notes"}}},
      kObjectTags,
      kObjectDigest,
      declaredMessages()};
  return registration;
}

ProcessWideState& processWideState() {
  static ProcessWideState state;  // touched only on the host's main thread
  return state;
}

CorpusLoaders engineCorpusLoaders() { return {loadContinuationCorpus, loadProgressionCorpus}; }

std::string bundleResourceFolder(std::string_view executablePath) {
  const auto bundleEnd = executablePath.find(".mxo/");
  if (bundleEnd == std::string_view::npos) return {};
  return std::string(executablePath.substr(0, bundleEnd + 4)) + "/Contents/Resources";
}

std::string ownBundleResourceFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&ownBundleResourceFolder), &info) == 0 ||
      info.dli_fname == nullptr)
    return {};
  return bundleResourceFolder(info.dli_fname);
}

TonalweaverObject::TonalweaverObject(HostServices services)
    : services_(std::move(services)), toJweb_(createPorts()), transport_(toJweb_, services_.clipboard) {
  setMainThread(services_.mainThread);
  // Host clocks may fire on their own thread; the announcement is sent from the main one.
  wakeTimer_ = services_.timers.createTimer([this] { runOnMainThread([this] { announceWake(); }); });
  declareMessages();
  loadCorpora();
  startWakeNotifier();
}

TonalweaverObject::~TonalweaverObject() {
  // Stop listening first, so no notification reaches an object being torn down.
  powerRegistration_.reset();
  wakeTimer_.reset();
}

Outlet& TonalweaverObject::createPorts() {
  const auto& registration = tonalweaverRegistration();
  addInlet(std::string(registration.inlet.assist));
  for (const auto& port : registration.outlets) addOutlet(std::string(port.type), std::string(port.assist));
  return ownOutlet(0);
}

void TonalweaverObject::declareMessages() {
  declareMessage("bang", [this](std::span<const Atom>) { bang(); });
  declareMessage("parse", [this](std::span<const Atom> arguments) { parse(arguments); });
  declareMessage("voicing", [this](std::span<const Atom> arguments) { voicing(arguments); });
  declareMessage("fromJweb", [this](std::span<const Atom> arguments) { transport_.receiveFromJweb(arguments); });
  for (auto type : requestMessageTypes())
    declareMessage(std::string(type), [this, type](std::span<const Atom> arguments) {
      transport_.receiveRequestMessage(type, arguments);
    });
  declareAnything([this](const Atom& selector, std::span<const Atom>) { transport_.receiveUntyped(selector); });
}

void TonalweaverObject::loadCorpora() {
  if (services_.process.corporaLoaded || services_.resourceFolder.empty()) return;
  // A missing or unreadable file leaves its corpus empty; the next object tries again
  // unless the continuation corpus loaded.
  try {
    if (const auto bytes = readWholeFile(services_.resourceFolder + "/cc.bin"))
      if (services_.loaders.continuation(*bytes)) services_.process.corporaLoaded = true;
    if (const auto bytes = readWholeFile(services_.resourceFolder + "/pc.bin"))
      services_.loaders.progression(*bytes);
  } catch (const std::exception&) {
    // Creation must not fail over a bad corpus file; generation then reports it has nothing.
  }
}

void TonalweaverObject::startWakeNotifier() {
  if (services_.process.wakeNotifierStarted) return;
  services_.process.wakeNotifierStarted = true;
  powerRegistration_ = services_.power.registerForSystemPower(
      [this](PowerEvent event, long notificationId) { onPowerEvent(event, notificationId); });
}

void TonalweaverObject::onPowerEvent(PowerEvent event, long notificationId) {
  switch (event) {
    case PowerEvent::CanSystemSleep:
    case PowerEvent::SystemWillSleep:
      if (powerRegistration_) powerRegistration_->allowPowerChange(notificationId);
      return;
    case PowerEvent::SystemHasPoweredOn:
      if (wakeTimer_) wakeTimer_->delay(kWakeAnnouncementDelay);
      return;
    case PowerEvent::Other:
      return;
  }
}

void TonalweaverObject::announceWake() {
  transport_.sendToBridge("system_wake", "{}");
  try {
    transport_.sendReply("system_wake", Json::object());
  } catch (...) {
    // An empty payload always serialises; nothing may escape a timer callback regardless.
  }
}

void TonalweaverObject::bang() { ownOutlet(1).send({Atom::integer(60), Atom::integer(64), Atom::integer(67)}); }

void TonalweaverObject::parse(std::span<const Atom> arguments) {
  if (arguments.empty()) return;
  std::optional<ParsedChord> chord;
  try {
    chord = parseChordSymbol(atomToText(arguments[0]));
  } catch (...) {
    return;  // treated like a symbol that does not parse
  }
  if (!chord) return;
  // A flat fifth without a perfect fifth reads better on a flat root (Bbdim, not A#dim).
  const bool flatRoot = chord->intervals.contains(6) && !chord->intervals.contains(7);
  const auto root = static_cast<std::size_t>(reducePitchClass(chord->root));
  Atoms list{Atom::symbol(flatRoot ? kFlatNames[root] : kSharpNames[root]), Atom::symbol(chord->quality)};
  if (chord->bass) list.push_back(Atom::symbol(kSharpNames[static_cast<std::size_t>(reducePitchClass(*chord->bass))]));
  ownOutlet(0).send(std::move(list));
}

void TonalweaverObject::voicing(std::span<const Atom> arguments) {
  if (arguments.size() < 2) return;
  std::vector<int> notes;
  try {
    const VoicingStyle style = styleFromId(atomToText(arguments[0])).value_or(0);
    const auto chord = parseChordSymbol(atomToText(arguments[1]));
    if (!chord) return;
    notes = voiceChord(*chord, style, 4, VoicingOptions{});
  } catch (...) {
    return;  // a chord no plan can voice sends nothing, like one that does not parse
  }
  if (notes.empty()) return;
  Atoms list;
  list.reserve(notes.size());
  for (int note : notes) list.push_back(Atom::integer(note));
  ownOutlet(1).send(std::move(list));
}

}  // namespace tw
