#pragma once
// Host clocks behind a layer of our own: a timer runs its task once, some time after it was
// set; setting it again moves that time.
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace tw {

class HostTimer {
 public:
  virtual ~HostTimer() = default;  // a destroyed timer never fires
  // Fires the task once, `delay` from now; replaces any earlier setting.
  virtual void delay(std::chrono::milliseconds delay) = 0;
  virtual void cancel() = 0;
};

class HostTimers {
 public:
  virtual ~HostTimers() = default;
  virtual std::unique_ptr<HostTimer> createTimer(std::function<void()> task) = 0;
};

// Timers on a clock that only moves when told to (the command-line host and tests).
class ManualTimers final : public HostTimers {
 public:
  ManualTimers() = default;
  ManualTimers(const ManualTimers&) = delete;
  ManualTimers& operator=(const ManualTimers&) = delete;
  ~ManualTimers() override;

  std::unique_ptr<HostTimer> createTimer(std::function<void()> task) override;

  // Moves the clock forward, firing every timer that falls due, earliest first.
  void advance(std::chrono::milliseconds elapsed);
  std::chrono::milliseconds now() const { return now_; }
  std::size_t pendingTimers() const;

 private:
  class Timer;
  friend class Timer;

  std::vector<Timer*> timers_;
  std::chrono::milliseconds now_{0};
};

}  // namespace tw
