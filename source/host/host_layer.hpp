#pragma once
// A small stand-in for the host's object wrapper: atoms, messages, an object with inlets and
// outlets, and message dispatch by selector. The engine's object is written against this
// layer, so it runs the same inside the headless host and the tests.
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/main_thread.hpp"

namespace tw {

enum class AtomKind { Symbol, Int, Float, ObjectReference, Semicolon, Comma, Other };

// One element of a host message.
class Atom {
 public:
  static Atom symbol(std::string name) { return Atom(AtomKind::Symbol, std::move(name)); }
  static Atom integer(long long value) {
    Atom atom(AtomKind::Int, {});
    atom.int_ = value;
    return atom;
  }
  static Atom real(double value) {
    Atom atom(AtomKind::Float, {});
    atom.float_ = value;
    return atom;
  }
  // A reference to another host object; no class name stands for a null reference.
  static Atom object(std::optional<std::string> className) {
    Atom atom(AtomKind::ObjectReference, className.value_or(std::string()));
    atom.nullObject_ = !className.has_value();
    return atom;
  }
  static Atom semicolon() { return Atom(AtomKind::Semicolon, {}); }
  static Atom comma() { return Atom(AtomKind::Comma, {}); }
  static Atom other() { return Atom(AtomKind::Other, {}); }

  AtomKind kind() const { return kind_; }
  bool isSymbol() const { return kind_ == AtomKind::Symbol; }
  // The symbol's name, or the referenced object's class name.
  const std::string& name() const { return text_; }
  long long intValue() const { return int_; }
  double floatValue() const { return float_; }
  bool isNullObject() const { return kind_ == AtomKind::ObjectReference && nullObject_; }

  friend bool operator==(const Atom&, const Atom&) = default;

 private:
  Atom(AtomKind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

  AtomKind kind_;
  std::string text_;
  long long int_ = 0;
  double float_ = 0.0;
  bool nullObject_ = false;
};

using Atoms = std::vector<Atom>;

// Where an object's outlets deliver: the host installs one per object.
using OutletSink = std::function<void(int outletIndex, const Atoms& message)>;

class HostObject;

class Outlet {
 public:
  Outlet(HostObject& owner, int index, std::string type, std::string assist)
      : owner_(owner), index_(index), type_(std::move(type)), assist_(std::move(assist)) {}

  // Sends one message (its first atom acts as the selector).
  void send(Atoms message);

  int index() const { return index_; }
  const std::string& type() const { return type_; }
  const std::string& assist() const { return assist_; }

 private:
  HostObject& owner_;
  int index_;
  std::string type_;
  std::string assist_;
  Atoms buffer_;  // cleared after every message
};

// An object as the host sees it: inlets and outlets with assist texts, and messages
// dispatched by selector. A selector without a declared message goes to the "anything"
// handler.
class HostObject {
 public:
  using MessageHandler = std::function<void(std::span<const Atom> arguments)>;
  using AnythingHandler =
      std::function<void(const Atom& selector, std::span<const Atom> arguments)>;

  HostObject() = default;
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;
  virtual ~HostObject() = default;

  void setOutletSink(OutletSink sink) { sink_ = std::move(sink); }
  // The thread messages must run on; none (the default) runs every message where it arrives.
  void setMainThread(MainThread* mainThread) { mainThread_ = mainThread; }

  // A message as the host delivers it: the first atom is the selector. An empty message
  // carries nothing and is ignored. Off the main thread it is copied and deferred to it.
  void receive(std::span<const Atom> message);
  void receive(const Atom& selector, std::span<const Atom> arguments);

  // Runs `task` now on the main thread, or defers it there from any other thread.
  void runOnMainThread(std::function<void()> task);

  // The host's assist query: the text of inlet or outlet `index`; empty when none exists.
  std::string assist(bool inlet, std::size_t index) const;

  const std::vector<std::string>& messageNames() const { return messageNames_; }
  std::size_t outletCount() const { return outlets_.size(); }
  const Outlet& outlet(std::size_t index) const { return outlets_[index]; }

 protected:
  void addInlet(std::string assist) { inletAssists_.push_back(std::move(assist)); }
  Outlet& addOutlet(std::string type, std::string assist);
  Outlet& ownOutlet(std::size_t index) { return outlets_[index]; }
  void declareMessage(std::string name, MessageHandler handler);
  void declareAnything(AnythingHandler handler);

 private:
  friend class Outlet;
  void dispatch(const Atom& selector, std::span<const Atom> arguments);
  void deliver(int outletIndex, const Atoms& message) const {
    if (sink_) sink_(outletIndex, message);
  }

  struct DeclaredMessage {
    std::string name;
    MessageHandler handler;
  };

  OutletSink sink_;
  MainThread* mainThread_ = nullptr;
  std::vector<std::string> inletAssists_;
  std::deque<Outlet> outlets_;  // a deque keeps outlet references stable
  std::vector<DeclaredMessage> messages_;
  std::vector<std::string> messageNames_;  // declaration order, "anything" included
  AnythingHandler anything_;
};

}  // namespace tw
