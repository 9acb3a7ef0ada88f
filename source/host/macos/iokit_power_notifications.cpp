// System power notifications through IOKit, on the main run loop. Built on macOS only; this
// backend has not been compiled or run on the Linux machines the rest is tested on.
#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOMessage.h>
#include <IOKit/pwr_mgt/IOPMLib.h>

#include <cstdint>

#include "host/power_notifications.hpp"

namespace tw {

namespace {

PowerEvent powerEventFor(natural_t messageType) {
  switch (messageType) {
    case kIOMessageCanSystemSleep:
      return PowerEvent::CanSystemSleep;
    case kIOMessageSystemWillSleep:
      return PowerEvent::SystemWillSleep;
    case kIOMessageSystemHasPoweredOn:
      return PowerEvent::SystemHasPoweredOn;
    default:
      return PowerEvent::Other;
  }
}

// One registration with the root power domain. Its run-loop source sits on the main run
// loop, so notifications arrive on the main thread.
class IOKitPowerRegistration final : public PowerRegistration {
 public:
  explicit IOKitPowerRegistration(PowerCallback callback) : callback_(std::move(callback)) {}
  IOKitPowerRegistration(const IOKitPowerRegistration&) = delete;
  IOKitPowerRegistration& operator=(const IOKitPowerRegistration&) = delete;

  ~IOKitPowerRegistration() override {
    if (source_ != nullptr) CFRunLoopRemoveSource(CFRunLoopGetMain(), source_, kCFRunLoopCommonModes);
    if (notifier_ != IO_OBJECT_NULL) IODeregisterForSystemPower(&notifier_);
    if (rootPort_ != MACH_PORT_NULL) IOServiceClose(rootPort_);
    if (port_ != nullptr) IONotificationPortDestroy(port_);
  }

  // False when the system refuses; the destructor then releases whatever was made.
  bool start() {
    rootPort_ = IORegisterForSystemPower(this, &port_, &IOKitPowerRegistration::onMessage, &notifier_);
    if (rootPort_ == MACH_PORT_NULL) return false;
    source_ = IONotificationPortGetRunLoopSource(port_);
    if (source_ == nullptr) return false;
    CFRunLoopAddSource(CFRunLoopGetMain(), source_, kCFRunLoopCommonModes);
    return true;
  }

  void allowPowerChange(long notificationId) override {
    if (rootPort_ != MACH_PORT_NULL) IOAllowPowerChange(rootPort_, static_cast<intptr_t>(notificationId));
  }

 private:
  static void onMessage(void* refcon, io_service_t, natural_t messageType, void* messageArgument) {
    auto* self = static_cast<IOKitPowerRegistration*>(refcon);
    const auto notificationId = static_cast<long>(reinterpret_cast<intptr_t>(messageArgument));
    try {
      self->callback_(powerEventFor(messageType), notificationId);
    } catch (...) {
      // Nothing may unwind into the run loop.
    }
  }

  PowerCallback callback_;
  io_connect_t rootPort_ = MACH_PORT_NULL;
  IONotificationPortRef port_ = nullptr;
  io_object_t notifier_ = IO_OBJECT_NULL;
  CFRunLoopSourceRef source_ = nullptr;  // owned by the port
};

class IOKitPowerNotifications final : public PowerNotifications {
 public:
  std::unique_ptr<PowerRegistration> registerForSystemPower(PowerCallback callback) override {
    auto registration = std::make_unique<IOKitPowerRegistration>(std::move(callback));
    if (!registration->start()) return nullptr;
    return registration;
  }
};

}  // namespace

std::unique_ptr<PowerNotifications> makeSystemPowerNotifications() {
  return std::make_unique<IOKitPowerNotifications>();
}

}  // namespace tw
