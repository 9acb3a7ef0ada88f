#pragma once
// The engine's one host object, "tonalweaver": a JSON request/reply seam for the web view on
// outlet 0, MIDI note lists on outlet 1, and three plain patch messages.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/bridge_transport.hpp"
#include "host/clipboard.hpp"
#include "host/host_layer.hpp"
#include "host/host_timers.hpp"
#include "host/main_thread.hpp"
#include "host/power_notifications.hpp"

namespace tw {

// The registration texts a host may need as compile-time constants (a class description
// declared in the host's own wrapper); the registration below is built from them.
inline constexpr char kObjectClassName[] = "tonalweaver";
inline constexpr char kObjectTags[] = "harmony, chords, midi";
inline constexpr char kObjectDigest[] = "Tonalweaver chord engine";

// What the object registers with the host, kept in one place.
struct PortDescription {
  std::string_view type;    // "anything" or "list"
  std::string_view assist;  // the host's hover text
};

// One message the object answers, as its reference page documents it.
struct MessageDescription {
  std::string_view name;
  std::string_view arguments;    // e.g. "style chord"; empty when it takes none
  std::string description;       // one or two sentences; the first is the digest
};

struct ObjectRegistration {
  std::string_view className;
  PortDescription inlet;
  std::array<PortDescription, 2> outlets;
  std::string_view tags;
  std::string_view digest;
  std::vector<MessageDescription> messages;  // declaration order; "anything" last
};

const ObjectRegistration& tonalweaverRegistration();

// State shared by every object of one process. The host keeps exactly one (see
// processWideState); tests make their own to start from a fresh process.
struct ProcessWideState {
  bool corporaLoaded = false;        // set only when the continuation corpus loaded
  bool wakeNotifierStarted = false;  // the first object created registers, no other
};

ProcessWideState& processWideState();

struct CorpusLoaders {
  bool (*continuation)(std::span<const std::uint8_t>);
  bool (*progression)(std::span<const std::uint8_t>);
};

// The engine's own corpus loaders.
CorpusLoaders engineCorpusLoaders();

// Everything the host offers an object when it creates one.
struct HostServices {
  Clipboard& clipboard;
  HostTimers& timers;
  PowerNotifications& power;
  ProcessWideState& process;
  std::string resourceFolder;  // where "cc.bin" and "pc.bin" live; empty when unknown
  CorpusLoaders loaders = engineCorpusLoaders();
  MainThread* mainThread = nullptr;  // none: every message runs where it arrives
};

// The bundle's resource folder for the path of the loaded executable: the path up to and
// including the first ".mxo" that is followed by "/", plus "/Contents/Resources"; empty
// when the path has no such part.
std::string bundleResourceFolder(std::string_view executablePath);

// The same for the module this code was loaded from; empty when the loader cannot say.
std::string ownBundleResourceFolder();

// Delay between the system powering on and the wake announcement.
inline constexpr std::chrono::milliseconds kWakeAnnouncementDelay{500};

class TonalweaverObject final : public HostObject {
 public:
  explicit TonalweaverObject(HostServices services);
  ~TonalweaverObject() override;

  // True for the one object in the process that listens for power notifications.
  bool announcesWakes() const { return powerRegistration_ != nullptr; }

 private:
  Outlet& createPorts();
  void declareMessages();
  void loadCorpora();
  void startWakeNotifier();
  void onPowerEvent(PowerEvent event, long notificationId);
  void announceWake();

  void bang();
  void parse(std::span<const Atom> arguments);
  void voicing(std::span<const Atom> arguments);

  HostServices services_;
  Outlet& toJweb_;
  BridgeTransport transport_;
  std::unique_ptr<HostTimer> wakeTimer_;
  std::unique_ptr<PowerRegistration> powerRegistration_;
};

}  // namespace tw
