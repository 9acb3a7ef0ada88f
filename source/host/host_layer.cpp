#include "host/host_layer.hpp"

namespace tw {

void Outlet::send(Atoms message) {
  buffer_ = std::move(message);
  owner_.deliver(index_, buffer_);
  buffer_.clear();
}

void HostObject::receive(std::span<const Atom> message) {
  if (message.empty()) return;
  receive(message.front(), message.subspan(1));
}

void HostObject::receive(const Atom& selector, std::span<const Atom> arguments) {
  if (mainThread_ != nullptr && !mainThread_->isCurrent()) {
    // The atoms belong to the caller's stack; the deferred message keeps its own copy.
    Atoms message;
    message.reserve(arguments.size() + 1);
    message.push_back(selector);
    message.insert(message.end(), arguments.begin(), arguments.end());
    mainThread_->post([this, message = std::move(message)] {
      dispatch(message.front(), std::span<const Atom>(message).subspan(1));
    });
    return;
  }
  dispatch(selector, arguments);
}

void HostObject::runOnMainThread(std::function<void()> task) {
  if (mainThread_ != nullptr && !mainThread_->isCurrent())
    mainThread_->post(std::move(task));
  else
    task();
}

void HostObject::dispatch(const Atom& selector, std::span<const Atom> arguments) {
  if (selector.isSymbol()) {
    for (const auto& declared : messages_) {
      if (declared.name == selector.name()) {
        declared.handler(arguments);
        return;
      }
    }
  }
  if (anything_) anything_(selector, arguments);
}

std::string HostObject::assist(bool inlet, std::size_t index) const {
  if (inlet) return index < inletAssists_.size() ? inletAssists_[index] : std::string();
  return index < outlets_.size() ? outlets_[index].assist() : std::string();
}

Outlet& HostObject::addOutlet(std::string type, std::string assist) {
  outlets_.emplace_back(*this, static_cast<int>(outlets_.size()), std::move(type), std::move(assist));
  return outlets_.back();
}

void HostObject::declareMessage(std::string name, MessageHandler handler) {
  messageNames_.push_back(name);
  messages_.push_back({std::move(name), std::move(handler)});
}

void HostObject::declareAnything(AnythingHandler handler) {
  messageNames_.push_back("anything");
  anything_ = std::move(handler);
}

}  // namespace tw
