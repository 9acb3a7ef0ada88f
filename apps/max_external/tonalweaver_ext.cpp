// The tonalweaver object for the host application. A thin adapter: every message goes to the
// engine's host object unchanged, and what that object's outlets carry leaves the host's
// outlets. The registration texts, the message list and all behaviour live in the host layer.
#include "c74_min.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/bridge_transport.hpp"
#include "host/clipboard.hpp"
#include "host/main_thread.hpp"
#include "host/power_notifications.hpp"
#include "host/tonalweaver_object.hpp"

namespace tw::max_external {

// What an object takes from its surroundings when it is created. The defaults are the
// desktop's clipboard and power notifications, the process's own state, the bundle's
// resource folder and the host's main thread; the tests put their own in place before
// creating objects.
struct Surroundings {
  Clipboard* clipboard;
  PowerNotifications* power;
  ProcessWideState* process;
  std::function<std::string()> resourceFolder;
  CorpusLoaders loaders;
  std::function<bool()> onMainThread;
};

inline Surroundings& surroundings() {
  static const std::unique_ptr<Clipboard> clipboard = makeSystemClipboard();
  static const std::unique_ptr<PowerNotifications> power = makeSystemPowerNotifications();
  static Surroundings current{clipboard.get(),
                              power.get(),
                              &processWideState(),
                              ownBundleResourceFolder,
                              engineCorpusLoaders(),
                              [] { return c74::max::systhread_ismainthread() != 0; }};
  return current;
}

inline Atom fromHostAtom(const c74::max::t_atom& atom) {
  using namespace c74::max;
  switch (atom.a_type) {
    case A_SYM:
      return Atom::symbol(atom.a_w.w_sym != nullptr ? atom.a_w.w_sym->s_name : "");
    case A_LONG:
      return Atom::integer(atom.a_w.w_long);
    case A_FLOAT:
      return Atom::real(atom.a_w.w_float);
    case A_OBJ: {
      auto* object = static_cast<t_object*>(atom.a_w.w_obj);
      if (object == nullptr) return Atom::object(std::nullopt);
      const t_symbol* name = object_classname(object);
      return Atom::object(std::string(name != nullptr ? name->s_name : ""));
    }
    case A_SEMI:
      return Atom::semicolon();
    case A_COMMA:
      return Atom::comma();
    default:
      return Atom::other();
  }
}

inline c74::min::atoms toHostAtoms(const Atoms& message) {
  c74::min::atoms atoms;
  atoms.reserve(message.size());
  for (const Atom& atom : message) {
    switch (atom.kind()) {
      case AtomKind::Int:
        atoms.emplace_back(static_cast<c74::max::t_atom_long>(atom.intValue()));
        break;
      case AtomKind::Float:
        atoms.emplace_back(atom.floatValue());
        break;
      case AtomKind::Symbol:
        atoms.emplace_back(c74::min::symbol(atom.name()));
        break;
      default:  // the engine sends only symbols and numbers
        atoms.emplace_back(c74::min::symbol(atomToText(atom)));
        break;
    }
  }
  return atoms;
}

// A host clock. It may fire on the scheduler thread; the object moves its work to the main
// thread itself.
class SdkTimer final : public HostTimer {
 public:
  SdkTimer(c74::min::object_base& owner, std::function<void()> task)
      : task_(std::move(task)), timer_(&owner, [this](const c74::min::atoms&, int) -> c74::min::atoms {
          fire();
          return {};
        }) {}
  SdkTimer(const SdkTimer&) = delete;
  SdkTimer& operator=(const SdkTimer&) = delete;
  ~SdkTimer() override {
    // Twice: a clock whose unset empties its waiting and scheduled queues one after the other
    // (the SDK's test kernel does) can move an event between the two; the second stop takes it.
    timer_.stop();
    timer_.stop();
  }

  void delay(std::chrono::milliseconds delay) override {
    timer_.stop();  // a new setting replaces the old one
    timer_.delay(static_cast<double>(delay.count()));
  }
  void cancel() override { timer_.stop(); }

 private:
  void fire() {
    try {
      task_();
    } catch (...) {
      // Nothing may unwind into the host's scheduler.
    }
  }

  std::function<void()> task_;
  c74::min::timer<> timer_;
};

class SdkTimers final : public HostTimers {
 public:
  explicit SdkTimers(c74::min::object_base& owner) : owner_(owner) {}
  std::unique_ptr<HostTimer> createTimer(std::function<void()> task) override {
    return std::make_unique<SdkTimer>(owner_, std::move(task));
  }

 private:
  c74::min::object_base& owner_;
};

}  // namespace tw::max_external

class tonalweaver_ext : public c74::min::object<tonalweaver_ext> {
 public:
  MIN_DESCRIPTION{tw::kObjectDigest};
  MIN_TAGS{tw::kObjectTags};
  MIN_AUTHOR{"tonalweaver"};

  c74::min::inlet<> input{this, std::string(registration().inlet.assist)};
  c74::min::outlet<> toJweb{this, std::string(registration().outlets[0].assist), hostOutletType(0)};
  c74::min::outlet<> notes{this, std::string(registration().outlets[1].assist), hostOutletType(1)};

  explicit tonalweaver_ext(const c74::min::atoms& = {}) {
    // The SDK builds one instance only to read the class: it loads and registers nothing.
    if (c74::min::dummy()) return;
    try {
      auto& surroundings = tw::max_external::surroundings();
      engine_ = std::make_unique<tw::TonalweaverObject>(
          tw::HostServices{*surroundings.clipboard, timers_, *surroundings.power, *surroundings.process,
                           surroundings.resourceFolder ? surroundings.resourceFolder() : std::string(),
                           surroundings.loaders, &mainThread_});
      engine_->setOutletSink([this](int outlet, const tw::Atoms& message) { send(outlet, message); });
    } catch (const std::exception& failure) {
      cerr << "tonalweaver could not start: " << failure.what() << c74::min::endl;
    }
  }

  ~tonalweaver_ext() {
    // The engine stops its timer and power registration first, so nothing posts afterwards;
    // then whatever still waits for the main thread is dropped with it.
    engine_.reset();
    mainThread_.discard();
  }

  tonalweaver_ext(const tonalweaver_ext&) = delete;
  tonalweaver_ext& operator=(const tonalweaver_ext&) = delete;

  // Messages arriving off the main thread wait here until the host's main thread drains them.
  tw::DeferredTasks& mainThreadTasks() { return mainThread_; }

 private:
  static const tw::ObjectRegistration& registration() { return tw::tonalweaverRegistration(); }

  // The host's untyped outlet carries any message; a typed one only its type.
  static std::string hostOutletType(std::size_t outlet) {
    const auto type = registration().outlets[outlet].type;
    return type == "anything" ? std::string() : std::string(type);
  }

  using Message = c74::min::message<c74::min::threadsafe::yes>;  // deferral is the engine's

  std::vector<std::unique_ptr<Message>> declareMessages() {
    std::vector<std::unique_ptr<Message>> messages;
    for (const auto& described : registration().messages) {
      const std::string name(described.name);
      const c74::min::description text(described.description.data(), described.description.size());
      messages.push_back(std::make_unique<Message>(
          this, name, text, c74::min::function([this, name](const c74::min::atoms& arguments, int) -> c74::min::atoms {
            receive(name, arguments);
            return {};
          })));
    }
    return messages;
  }

  void receive(const std::string& name, const c74::min::atoms& arguments) noexcept {
    if (!engine_) return;
    try {
      tw::Atoms message;
      message.reserve(arguments.size() + 1);
      // The host hands "anything" its selector as the first argument.
      if (name != "anything") message.push_back(tw::Atom::symbol(name));
      for (const auto& argument : arguments) message.push_back(tw::max_external::fromHostAtom(argument));
      engine_->receive(message);
    } catch (...) {
      // The engine answers its own failures; nothing else may reach the host.
    }
  }

  void send(int outlet, const tw::Atoms& message) {
    auto atoms = tw::max_external::toHostAtoms(message);
    (outlet == 0 ? toJweb : notes).send(atoms);
  }

  tw::max_external::SdkTimers timers_{*this};
  c74::min::queue<> drainRequest_{this, [this](const c74::min::atoms&, int) -> c74::min::atoms {
                                    mainThread_.drain();
                                    return {};
                                  }};
  tw::DeferredTasks mainThread_{tw::max_external::surroundings().onMainThread, [this] { drainRequest_.set(); }};
  std::vector<std::unique_ptr<Message>> messages_ = declareMessages();
  std::unique_ptr<tw::TonalweaverObject> engine_;
};

// The package ships its reference page, written from the same registration; the SDK's own
// writer would put a second copy beside it when the object first loads.
template <>
void c74::min::doc_update<tonalweaver_ext>(const tonalweaver_ext&, const std::string&, const std::string&) {}

MIN_EXTERNAL_CUSTOM(tonalweaver_ext, tonalweaver);
