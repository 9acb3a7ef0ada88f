#include "host/host_timers.hpp"

#include <algorithm>
#include <optional>

namespace tw {

class ManualTimers::Timer final : public HostTimer {
 public:
  Timer(ManualTimers& owner, std::function<void()> task) : owner_(&owner), task_(std::move(task)) {
    owner_->timers_.push_back(this);
  }
  ~Timer() override {
    if (owner_ != nullptr) std::erase(owner_->timers_, this);
  }
  void delay(std::chrono::milliseconds delay) override {
    if (owner_ != nullptr) due_ = owner_->now_ + delay;
  }
  void cancel() override { due_.reset(); }

  const std::optional<std::chrono::milliseconds>& due() const { return due_; }
  void fire() {
    due_.reset();
    task_();
  }
  void detach() { owner_ = nullptr; }

 private:
  ManualTimers* owner_;
  std::function<void()> task_;
  std::optional<std::chrono::milliseconds> due_;
};

ManualTimers::~ManualTimers() {
  for (Timer* timer : timers_) timer->detach();
}

std::unique_ptr<HostTimer> ManualTimers::createTimer(std::function<void()> task) {
  return std::make_unique<Timer>(*this, std::move(task));
}

std::size_t ManualTimers::pendingTimers() const {
  return static_cast<std::size_t>(
      std::count_if(timers_.begin(), timers_.end(), [](const Timer* t) { return t->due().has_value(); }));
}

void ManualTimers::advance(std::chrono::milliseconds elapsed) {
  const auto target = now_ + elapsed;
  while (true) {
    // A task may create, set or destroy timers, so the earliest is searched afresh each time.
    Timer* next = nullptr;
    for (Timer* timer : timers_)
      if (timer->due() && *timer->due() <= target && (next == nullptr || *timer->due() < *next->due()))
        next = timer;
    if (next == nullptr) break;
    now_ = *next->due();
    next->fire();
  }
  now_ = target;
}

}  // namespace tw
