#pragma once
// System power notifications behind a layer of our own: the object only needs to hear that
// the machine is about to sleep (and allow it) or has powered on again.
#include <functional>
#include <memory>
#include <vector>

namespace tw {

enum class PowerEvent { CanSystemSleep, SystemWillSleep, SystemHasPoweredOn, Other };

// One registration for power notifications. Destroying it removes it from the run loop,
// deregisters and releases the notification port.
class PowerRegistration {
 public:
  virtual ~PowerRegistration() = default;
  // Answers a sleep query or announcement so the system does not wait for us.
  virtual void allowPowerChange(long notificationId) = 0;
};

using PowerCallback = std::function<void(PowerEvent event, long notificationId)>;

class PowerNotifications {
 public:
  virtual ~PowerNotifications() = default;
  // Null when the system refuses the registration.
  virtual std::unique_ptr<PowerRegistration> registerForSystemPower(PowerCallback callback) = 0;
};

// Power notifications for a host without a power source of its own (the command-line host,
// tests): events are raised by hand.
class HeadlessPowerNotifications final : public PowerNotifications {
 public:
  HeadlessPowerNotifications() = default;
  HeadlessPowerNotifications(const HeadlessPowerNotifications&) = delete;
  HeadlessPowerNotifications& operator=(const HeadlessPowerNotifications&) = delete;
  ~HeadlessPowerNotifications() override;

  std::unique_ptr<PowerRegistration> registerForSystemPower(PowerCallback callback) override;

  // Delivers an event to every live registration, as the run loop would.
  void raise(PowerEvent event, long notificationId = 0);

  int registrationsMade() const { return registrationsMade_; }
  std::size_t liveRegistrations() const { return live_.size(); }
  const std::vector<long>& allowedChanges() const { return allowed_; }
  // Makes the next registrations fail, as a system without power management would.
  void refuseRegistrations(bool refuse) { refuse_ = refuse; }

 private:
  class Registration;
  friend class Registration;

  std::vector<Registration*> live_;
  std::vector<long> allowed_;
  int registrationsMade_ = 0;
  bool refuse_ = false;
};

// The system's own power notifications: IOKit on macOS; elsewhere a headless source that
// never raises an event.
std::unique_ptr<PowerNotifications> makeSystemPowerNotifications();

}  // namespace tw
