#include "host/power_notifications.hpp"

#include <algorithm>

namespace tw {

class HeadlessPowerNotifications::Registration final : public PowerRegistration {
 public:
  Registration(HeadlessPowerNotifications& owner, PowerCallback callback)
      : owner_(&owner), callback_(std::move(callback)) {
    owner_->live_.push_back(this);
  }
  ~Registration() override {
    if (owner_ != nullptr) std::erase(owner_->live_, this);
  }
  void allowPowerChange(long notificationId) override {
    if (owner_ != nullptr) owner_->allowed_.push_back(notificationId);
  }
  void deliver(PowerEvent event, long notificationId) { callback_(event, notificationId); }
  void detach() { owner_ = nullptr; }

 private:
  HeadlessPowerNotifications* owner_;
  PowerCallback callback_;
};

HeadlessPowerNotifications::~HeadlessPowerNotifications() {
  for (Registration* registration : live_) registration->detach();
}

std::unique_ptr<PowerRegistration> HeadlessPowerNotifications::registerForSystemPower(
    PowerCallback callback) {
  if (refuse_) return nullptr;
  ++registrationsMade_;
  return std::make_unique<Registration>(*this, std::move(callback));
}

void HeadlessPowerNotifications::raise(PowerEvent event, long notificationId) {
  // A callback may end a registration; deliver to a snapshot of those still alive.
  const std::vector<Registration*> snapshot = live_;
  for (Registration* registration : snapshot)
    if (std::find(live_.begin(), live_.end(), registration) != live_.end())
      registration->deliver(event, notificationId);
}

#if !defined(__APPLE__)
std::unique_ptr<PowerNotifications> makeSystemPowerNotifications() {
  return std::make_unique<HeadlessPowerNotifications>();
}
#endif

}  // namespace tw
